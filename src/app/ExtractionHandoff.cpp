#include "app/ExtractionHandoff.h"

#include "app/DownloadFailure.h"
#include "app/FailureTexts.h"
#include "app/InstallTransaction.h"
#include "app/SignedUpdate.h"
#include "app/Updater.h"
#include "archive/base/ArcErrors.h"
#include "archive/zip/UnZip.h"
#include "download/DownloadItem.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"

namespace ruvevid {

namespace {

// The entries the archive's end record lists; 0 when the file is no single zip archive with
// entries (an empty archive, a part of a set, anything else).
std::uint64_t AnnouncedEntries(const TUnZip& UnZip) {
  if (UnZip.ArcType() != TArcType::atZip && UnZip.ArcType() != TArcType::atZipExe) return 0;
  const TZipFormatState& Zip = UnZip.ZipState();
  if (!Zip.HeaderState.Contains(THeaderType::htCentral)) return 0;
  if (Zip.HeaderState.Contains(THeaderType::htEnding64)) return Zip.Headers.Ending64.TotalEntries();
  return Zip.Headers.Ending.TotalEntries();
}

// An output that could not be made or written: the disk is full, the file in the way cannot be
// replaced, or (for an output that could not be made) the entry's name is no name to write.
std::string OutputFailureText(int ECode, const std::string& FileName, const std::string& Folder) {
  if (FileSystemFull(Folder)) return kTextDiskFull;
  if (ECode != ecOpenError) return kTextCannotWrite;
  const std::optional<std::uint32_t> Attr = ReadFileAttributes(FileName);
  if (Attr && (*Attr & (faDirectory | faReadOnly)) != 0) return kTextCannotWrite;
  return kTextDamaged;
}

std::string ExtractionFailureText(int ECode, const std::string& FileName,
                                  const std::string& Folder) {
  switch (ECode) {
    case ecDiskFull:
      return kTextDiskFull;
    case ecOpenError:
    case ecWriteError:
    case ecCloseError:
      return OutputFailureText(ECode, FileName, Folder);
    default:
      return kTextDamaged;
  }
}

}  // namespace

TExtractionHandoff::TExtractionHandoff(TfrmUpdater& Updater)
    : FUpdater(Updater), FUnZip1(std::make_unique<TUnZip>(&Updater.App())) {
  FUnZip1->OnBegin = [this](TZipCommon*, const std::string& FileName, std::int32_t Count,
                            bool& Extract) { UnZip1Begin(FileName, Count, Extract); };
  FUnZip1->OnProgress = [this](TZipCommon*, std::uint8_t ByFile, std::uint8_t ByArchive) {
    UnZip1Progress(ByFile, ByArchive);
  };
  FUnZip1->OnEnd = [this](TZipCommon*, const std::string& FileName, bool CrcPassed) {
    UnZip1End(FileName, CrcPassed);
  };
  FUnZip1->OnError = [this](TZipCommon*, const std::string& FileName, const std::string&,
                            const std::string&, int ECode) { UnZip1Error(FileName, ECode); };
  FUnZip1->OnDeactivate = [this](TZipCommon*) { UnZip1Deactivate(); };
}

TExtractionHandoff::~TExtractionHandoff() = default;

void TExtractionHandoff::Checkpoint(const char* Point) const {
  if (FUpdater.Services().InstallCheckpoint) FUpdater.Services().InstallCheckpoint(Point);
}

void TExtractionHandoff::ItemDownloadEnd(TDownLoadItem& Item) {
  if (!FUpdater.DownloadStarted() || FUpdater.StopRequested()) return;
  IUpdaterView& View = FUpdater.View();
  IApplication& App = FUpdater.App();
  const std::string Folder = FUpdater.Services().ProgramFolder();
  const std::string Archive = Folder + Item.FileName;

  // Only a complete archive goes on: a failed request, an error page, a body cut short or a
  // stalled transfer ends the run, and what was fetched goes.
  if (Item.Outcome != TDownloadOutcome::doOk) {
    DeleteFile(Archive);
    FUpdater.FailRun(DownloadFailureText(Item.Outcome, Item.HttpStatus, Item.ErrorCode, Folder));
    return;
  }
  // A signed update is opened only once its signature holds: nothing of an archive that anyone
  // on the way could have made is parsed.
  if (FUpdater.Signature().Required() &&
      FUpdater.Signature().Check() != TSignatureVerdict::svValid) {
    DeleteFile(Archive);
    FUpdater.FailRun(kTextBadSignature);
    return;
  }

  View.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  View.SetLabDownText(Item.FileName + kTextDownloaded);
  View.RefreshLabDown();
  View.SetBytesVisible(false);
  View.SetGauge1Progress(0);
  View.SetGauge2Progress(0);
  View.SetUnzipVisible(true);
  View.SetUnzipCaption(Item.FileName + kTextExtracting);
  View.RefreshUnzip();

  TUnZip& Unzip = *FUnZip1;
  Unzip.SetArchiveFile(Archive);
  Unzip.ConfirmOverwrites = false;
  Unzip.OverwriteMode = TOverwriteMode::omOverwrite;
  Unzip.FileSpec.clear();
  Unzip.FileSpec.push_back("*.*");
  Unzip.SetExtractDir(Folder);

  if (!DirectoryExists(Folder)) {
    DeleteFile(Archive);
    FUpdater.FailRun(Folder + kTextFolderMissing);
    App.Pause(1000);
    App.ProcessMessages();
    return;
  }

  TInstallTransaction Install(Folder, FUpdater.Services().InstallCheckpoint);
  TStagingRun Run;
  Run.Install = &Install;
  Run.Folder = Folder;
  // Nothing is staged, and no installed file touched, unless the download is a zip archive
  // with entries.
  Run.Announced = AnnouncedEntries(Unzip);
  if (Run.Announced == 0) {
    Fail(Run, kTextNotAnUpdate);
  } else if (!Install.BeginStaging()) {
    Fail(Run, WriteFailureText(Folder));
  } else {
    Unzip.StagingDir = Install.StagingDir();
    FRun = &Run;
    Unzip.Activate();
    FRun = nullptr;
    Unzip.StagingDir.clear();
    Unzip.SetCancel(false);
    // An archive that could not be read at all ends without OnDeactivate.
    if (!Run.Deactivated) {
      Install.Discard();
      if (!FUpdater.StopRequested())
        Fail(Run, Run.Failure.empty() ? kTextNotAnUpdate : Run.Failure);
    }
    App.Pause(500);
  }
  DeleteFile(Archive);
  App.ProcessMessages();
}

void TExtractionHandoff::Fail(TStagingRun& Run, const std::string& Text) {
  if (Run.Install != nullptr) Run.Install->Discard();
  FUpdater.FailRun(Text);
}

void TExtractionHandoff::UnZip1Begin(const std::string& FileName, int /*Count*/, bool& Extract) {
  IUpdaterView& View = FUpdater.View();
  View.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  View.SetButtonEnabled(TUpdaterButton::btnRedown, false);
  View.SetButtonEnabled(TUpdaterButton::btnClose, false);
  if (FRun == nullptr) return;
  // The install's own names are not the update's to write.
  const std::string& Folder = FRun->Folder;
  if (FileName.compare(0, Folder.size(), Folder) == 0 &&
      IsInstallOwnName(FileName.substr(Folder.size()))) {
    Extract = false;
    if (FRun->Failure.empty()) FRun->Failure = kTextDamaged;
  }
}

void TExtractionHandoff::UnZip1Progress(std::uint8_t ProgressByFile,
                                        std::uint8_t ProgressByArchive) {
  IUpdaterView& View = FUpdater.View();
  View.SetGauge1Progress(ProgressByFile);
  View.SetGauge2Progress(ProgressByArchive);
  FUpdater.App().ProcessMessages();
  // A Close handled while staging ends the extraction: nothing will be installed.
  if (FRun != nullptr && FUpdater.StopRequested()) FUnZip1->SetCancel(true);
}

void TExtractionHandoff::UnZip1End(const std::string& /*FileName*/, bool CrcPassed) {
  if (FRun == nullptr) return;
  if (CrcPassed) {
    ++FRun->Passed;
  } else if (FRun->Failure.empty()) {
    FRun->Failure = kTextDamaged;
  }
  Checkpoint("entry staged");
}

void TExtractionHandoff::UnZip1Error(const std::string& FileName, int ECode) {
  if (FRun == nullptr || FUpdater.StopRequested()) return;
  if (FRun->Failure.empty()) FRun->Failure = ExtractionFailureText(ECode, FileName, FRun->Folder);
}

void TExtractionHandoff::UnZip1Deactivate() {
  if (FRun == nullptr) return;
  TStagingRun& Run = *FRun;
  Run.Deactivated = true;
  // Closed while staging: nothing is installed and nothing started.
  if (FUpdater.StopRequested()) {
    Run.Install->Discard();
    return;
  }
  if (Run.Failure.empty() && Run.Passed != Run.Announced) Run.Failure = kTextDamaged;
  if (!Run.Failure.empty()) {
    Fail(Run, Run.Failure);
    return;
  }
  Install(Run);
}

void TExtractionHandoff::Install(TStagingRun& Run) {
  switch (Run.Install->Commit()) {
    case TCommitResult::crCommitted:
      break;
    case TCommitResult::crNotStarted:
      Fail(Run, WriteFailureText(Run.Folder));
      return;
    case TCommitResult::crRolledBack:
      Fail(Run, kTextCannotWrite);
      return;
    case TCommitResult::crBroken:
      // What the undo needs stays where it is for the next start.
      FUpdater.FailRun(kTextCannotWrite);
      return;
  }
  FUpdater.MarkInstalled();

  IUpdaterView& View = FUpdater.View();
  View.SetUnzipCaption(kTextExtracted);
  View.RefreshUnzip();
  FUpdater.App().Pause(500);
  const std::string Application = Run.Folder + kMainApplication;
  // An archive made on Windows carries no execute permission.
  AllowExecution(Application);
  const auto& Launch = FUpdater.Services().LaunchProgram;
  if (!FileExists(Application) || (Launch && !Launch(Application))) {
    FUpdater.LaunchFailed();
    return;
  }
  FUpdater.App().Terminate();
}

}  // namespace ruvevid
