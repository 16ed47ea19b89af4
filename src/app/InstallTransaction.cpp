#include "app/InstallTransaction.h"

#include <set>
#include <utility>

#include "platform/FileSystem.h"

namespace ruvevid {

namespace {

using Clock = std::chrono::steady_clock;

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
  const std::string Staging = FFolder + kStagingFolderName;
  return RemoveTree(Staging) && CreateFolder(Staging);
}

void TInstallTransaction::Discard() {
  RemoveTree(FFolder + kStagingFolderName);
}

std::optional<TInstallJournal> TInstallTransaction::ListStagedFiles() const {
  // A staging folder that cannot be read to the end is no install: placing part of it would
  // leave a program that is neither the old nor the new one.
  const std::optional<TFolderListing> Staged = ListFolderTree(FFolder + kStagingFolderName);
  if (!Staged) return std::nullopt;
  const std::vector<std::string>& Files = Staged->Files;
  const std::vector<std::string>& Folders = Staged->Folders;

  TInstallJournal Journal;
  std::set<std::string> Listed;
  // Every folder on the way to a file, and every staged folder, that the program folder lacks;
  // parents come before their children.
  const auto NeedFolder = [&](const std::string& Name) {
    for (std::size_t Slash = Name.find('/');; Slash = Name.find('/', Slash + 1)) {
      const std::string Part = Name.substr(0, Slash);
      if (!IsRealFolder(FFolder + Part) && Listed.insert(Part).second)
        Journal.Folders.push_back(Part);
      if (Slash == std::string::npos) break;
    }
  };
  for (const std::string& Folder : Folders) NeedFolder(Folder);
  for (const std::string& File : Files) {
    const std::size_t Slash = File.rfind('/');
    if (Slash != std::string::npos) NeedFolder(File.substr(0, Slash));
    Journal.Moves.push_back({File, PathOccupied(FFolder + File)});
  }
  return Journal;
}

bool TInstallTransaction::WriteJournal(const TInstallJournal& Journal) {
  return WriteWholeFile(FFolder + kJournalFileName, Journal.ListText());
}

bool TInstallTransaction::Mark(TJournalState State) {
  return AppendToFile(FFolder + kJournalFileName, JournalMark(State));
}

TCommitResult TInstallTransaction::Commit() {
  // Until the committing mark is on the disk nothing has moved: a failure drops the install.
  const auto NotStarted = [this] {
    CleanUp();
    return TCommitResult::crNotStarted;
  };
  const std::optional<TInstallJournal> Listed = ListStagedFiles();
  if (!Listed) return NotStarted();
  const TInstallJournal& Journal = *Listed;
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
  for (const std::string& Folder : Journal.Folders) {
    if (IsRealFolder(FFolder + Folder)) continue;
    if (!CreateFolder(FFolder + Folder)) return false;
    Step("folder made");
  }
  for (const TJournalMove& Move : Journal.Moves) {
    const std::string Staged = Staging + Move.Name;
    const std::string Target = FFolder + Move.Name;
    const std::string Saved = Backup + Move.Name;
    if (!PathOccupied(Staged)) continue;  // in place already
    if (Move.Replaces && PathOccupied(Target) && !PathOccupied(Saved)) {
      if (!CreateFolders(Saved.substr(0, Saved.rfind('/'))) || !RenamePath(Target, Saved))
        return false;
      Step("old file saved");
    }
    if (!RenamePath(Staged, Target)) return false;
    Step("new file placed");
  }
  return true;
}

bool TInstallTransaction::MoveBack(const TInstallJournal& Journal) {
  const std::string Staging = FFolder + kStagingFolderName + "/";
  const std::string Backup = FFolder + kBackupFolderName + "/";
  bool Restored = true;
  for (auto Move = Journal.Moves.rbegin(); Move != Journal.Moves.rend(); ++Move) {
    const std::string Target = FFolder + Move->Name;
    if (Move->Replaces) {
      const std::string Saved = Backup + Move->Name;
      if (PathOccupied(Saved) && !RenamePath(Saved, Target)) Restored = false;
    } else if (!PathOccupied(Staging + Move->Name) && PathOccupied(Target)) {
      // The new file was moved in: it goes.
      if (!RemovePath(Target)) Restored = false;
    }
    Step("file restored");
  }
  for (auto Folder = Journal.Folders.rbegin(); Folder != Journal.Folders.rend(); ++Folder) {
    // Only a folder, and only an empty one: whatever else stands there is not the commit's.
    if (IsRealFolder(FFolder + *Folder)) RemovePath(FFolder + *Folder);
  }
  return Restored;
}

bool TInstallTransaction::CleanUp() {
  if (!RemoveTree(FFolder + kBackupFolderName)) return false;
  Step("backup removed");
  if (!RemoveTree(FFolder + kStagingFolderName)) return false;
  Step("staging removed");
  if (!RemovePath(FFolder + kJournalFileName)) return false;
  Step("journal removed");
  return true;
}

TRecoveryResult TInstallTransaction::Recover() {
  const std::string JournalPath = FFolder + kJournalFileName;
  if (!PathOccupied(JournalPath)) {
    // Cut short while staging, or while a finished install cleaned up: only leftovers remain.
    if (!PathOccupied(FFolder + kStagingFolderName) && !PathOccupied(FFolder + kBackupFolderName))
      return TRecoveryResult::rrNothingToDo;
    return CleanUp() ? TRecoveryResult::rrRecovered : TRecoveryResult::rrFailed;
  }
  const std::optional<std::string> Text = ReadWholeFile(JournalPath);
  if (!Text) return TRecoveryResult::rrFailed;
  const TInstallJournal Journal = TInstallJournal::Parse(*Text);
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
