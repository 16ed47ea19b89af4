#include "app/InstallTransaction.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <system_error>
#include <utility>

#include "platform/FileSystem.h"

namespace ruvevid {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// True when something (a file, a folder, a link, even a dangling one) stands at Path.
bool Stands(const fs::path& Path) {
  std::error_code Error;
  return fs::exists(fs::symlink_status(Path, Error));
}

bool IsFolder(const fs::path& Path) {
  std::error_code Error;
  return fs::is_directory(fs::symlink_status(Path, Error));
}

bool Rename(const fs::path& From, const fs::path& To) {
  std::error_code Error;
  fs::rename(From, To, Error);
  return !Error;
}

bool RemoveTree(const fs::path& Path) {
  std::error_code Error;
  fs::remove_all(Path, Error);
  return !Error;
}

bool WriteText(const fs::path& Path, const std::string& Text, std::ios::openmode Mode) {
  std::ofstream Out(Path, std::ios::binary | Mode);
  Out << Text;
  Out.close();
  return !Out.fail();
}

// Times a sync of the file system holding Folder.
bool TimedSync(const std::string& Folder, std::chrono::microseconds& Took) {
  const Clock::time_point Begin = Clock::now();
  const bool Synced = SyncFileSystem(Folder);
  Took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - Begin);
  return Synced;
}

}  // namespace

TInstallTransaction::TInstallTransaction(std::string ProgramFolder, TInstallCheckpoint Checkpoint)
    : FFolder(std::move(ProgramFolder)), FCheckpoint(std::move(Checkpoint)) {
  if (!FFolder.empty() && FFolder.back() != '/') FFolder += '/';
}

std::string TInstallTransaction::StagingDir() const {
  return FFolder + kStagingFolderName + "/";
}

void TInstallTransaction::Step(const char* Point) const {
  if (FCheckpoint) FCheckpoint(Point);
}

bool TInstallTransaction::BeginStaging() {
  const fs::path Staging = FFolder + kStagingFolderName;
  std::error_code Error;
  return RemoveTree(Staging) && fs::create_directory(Staging, Error) && !Error;
}

void TInstallTransaction::Discard() {
  RemoveTree(FFolder + kStagingFolderName);
}

TInstallJournal TInstallTransaction::ListStagedFiles() const {
  const fs::path Staging = FFolder + kStagingFolderName;
  std::vector<std::string> Files;
  std::vector<std::string> Folders;
  std::error_code Error;
  for (fs::recursive_directory_iterator It(Staging, Error), End; !Error && It != End;
       It.increment(Error)) {
    const std::string Name = fs::relative(It->path(), Staging, Error).generic_string();
    if (Error) break;
    if (It->is_directory(Error)) {
      Folders.push_back(Name);
    } else {
      Files.push_back(Name);
    }
  }
  std::sort(Files.begin(), Files.end());
  std::sort(Folders.begin(), Folders.end());

  TInstallJournal Journal;
  std::set<std::string> Listed;
  // Every folder on the way to a file, and every staged folder, that the program folder lacks;
  // parents come before their children.
  const auto NeedFolder = [&](const std::string& Name) {
    for (std::size_t Slash = Name.find('/');; Slash = Name.find('/', Slash + 1)) {
      const std::string Part = Name.substr(0, Slash);
      if (!IsFolder(FFolder + Part) && Listed.insert(Part).second) Journal.Folders.push_back(Part);
      if (Slash == std::string::npos) break;
    }
  };
  for (const std::string& Folder : Folders) NeedFolder(Folder);
  for (const std::string& File : Files) {
    const std::size_t Slash = File.rfind('/');
    if (Slash != std::string::npos) NeedFolder(File.substr(0, Slash));
    Journal.Moves.push_back({File, Stands(FFolder + File)});
  }
  return Journal;
}

bool TInstallTransaction::WriteJournal(const TInstallJournal& Journal) {
  return WriteText(FFolder + kJournalFileName, Journal.ListText(), std::ios::trunc);
}

bool TInstallTransaction::Mark(TJournalState State) {
  return WriteText(FFolder + kJournalFileName, JournalMark(State), std::ios::app);
}

TCommitResult TInstallTransaction::Commit() {
  const TInstallJournal Journal = ListStagedFiles();
  // Until the committing mark is on the disk nothing has moved: a failure drops the install.
  const auto NotStarted = [this] {
    CleanUp();
    return TCommitResult::crNotStarted;
  };
  if (!WriteJournal(Journal)) return NotStarted();
  Step("journal written");
  if (!TimedSync(FFolder, FListSyncTime)) return NotStarted();
  Step("journal synced");
  if (!Mark(TJournalState::jsCommitting) || !TimedSync(FFolder, FMarkSyncTime)) return NotStarted();
  Step("committing");

  if (!MoveForward(Journal)) {
    return RollBack(Journal) ? TCommitResult::crRolledBack : TCommitResult::crBroken;
  }
  // The moves reach the disk before the journal that could undo them goes.
  SyncFileSystem(FFolder);
  Step("moves synced");
  // The new files are in place. Whatever of backup, staging and journal cannot be removed now
  // is removed by the recovery of a later start.
  CleanUp();
  return TCommitResult::crCommitted;
}

bool TInstallTransaction::RollBack(const TInstallJournal& Journal) {
  Mark(TJournalState::jsRollingBack);
  Step("rolling back");
  return MoveBack(Journal) && CleanUp();
}

// Each move is one rename, and whether it has been made shows in what stands where, so the
// moves can be made again from any point.
bool TInstallTransaction::MoveForward(const TInstallJournal& Journal) {
  const std::string Staging = FFolder + kStagingFolderName + "/";
  const std::string Backup = FFolder + kBackupFolderName + "/";
  std::error_code Error;
  for (const std::string& Folder : Journal.Folders) {
    if (IsFolder(FFolder + Folder)) continue;
    if (!fs::create_directory(FFolder + Folder, Error) || Error) return false;
    Step("folder made");
  }
  for (const TJournalMove& Move : Journal.Moves) {
    const fs::path Staged = Staging + Move.Name;
    const fs::path Target = FFolder + Move.Name;
    const fs::path Saved = Backup + Move.Name;
    if (!Stands(Staged)) continue;  // in place already
    if (Move.Replaces && Stands(Target) && !Stands(Saved)) {
      fs::create_directories(Saved.parent_path(), Error);
      if (Error || !Rename(Target, Saved)) return false;
      Step("old file saved");
    }
    if (!Rename(Staged, Target)) return false;
    Step("new file placed");
  }
  return true;
}

bool TInstallTransaction::MoveBack(const TInstallJournal& Journal) {
  const std::string Staging = FFolder + kStagingFolderName + "/";
  const std::string Backup = FFolder + kBackupFolderName + "/";
  bool Restored = true;
  for (auto Move = Journal.Moves.rbegin(); Move != Journal.Moves.rend(); ++Move) {
    const fs::path Target = FFolder + Move->Name;
    if (Move->Replaces) {
      const fs::path Saved = Backup + Move->Name;
      if (Stands(Saved) && !Rename(Saved, Target)) Restored = false;
    } else if (!Stands(Staging + Move->Name) && Stands(Target)) {
      // The new file was moved in: it goes.
      std::error_code Error;
      if (!fs::remove(Target, Error)) Restored = false;
    }
    Step("file restored");
  }
  for (auto Folder = Journal.Folders.rbegin(); Folder != Journal.Folders.rend(); ++Folder) {
    // Only a folder, and only an empty one: whatever else stands there is not the commit's.
    std::error_code Error;
    if (IsFolder(FFolder + *Folder)) fs::remove(FFolder + *Folder, Error);
  }
  return Restored;
}

bool TInstallTransaction::CleanUp() {
  if (!RemoveTree(FFolder + kBackupFolderName)) return false;
  Step("backup removed");
  if (!RemoveTree(FFolder + kStagingFolderName)) return false;
  Step("staging removed");
  std::error_code Error;
  fs::remove(FFolder + kJournalFileName, Error);
  if (Error) return false;
  Step("journal removed");
  return true;
}

TRecoveryResult TInstallTransaction::Recover() {
  const fs::path JournalPath = FFolder + kJournalFileName;
  if (!Stands(JournalPath)) {
    // Cut short while staging, or while a finished install cleaned up: only leftovers remain.
    if (!Stands(FFolder + kStagingFolderName) && !Stands(FFolder + kBackupFolderName))
      return TRecoveryResult::rrNothingToDo;
    return CleanUp() ? TRecoveryResult::rrRecovered : TRecoveryResult::rrFailed;
  }
  std::ifstream In(JournalPath, std::ios::binary);
  const std::string Text((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  if (In.bad()) return TRecoveryResult::rrFailed;
  In.close();
  const TInstallJournal Journal = TInstallJournal::Parse(Text);
  Step("recovering");
  switch (Journal.State) {
    case TJournalState::jsIncomplete:
    case TJournalState::jsListed:
      // Nothing was moved yet.
      return CleanUp() ? TRecoveryResult::rrRecovered : TRecoveryResult::rrFailed;
    case TJournalState::jsCommitting:
      if (!MoveForward(Journal)) {
        RollBack(Journal);
        return TRecoveryResult::rrFailed;
      }
      SyncFileSystem(FFolder);
      return CleanUp() ? TRecoveryResult::rrRecovered : TRecoveryResult::rrFailed;
    case TJournalState::jsRollingBack:
      return MoveBack(Journal) && CleanUp() ? TRecoveryResult::rrRecovered
                                            : TRecoveryResult::rrFailed;
  }
  return TRecoveryResult::rrFailed;
}

}  // namespace ruvevid
