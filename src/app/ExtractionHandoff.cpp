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
  IUpdaterView& view = FUpdater.View();
  IApplication& app = FUpdater.App();
  const std::string folder = FUpdater.Services().ProgramFolder();
  const std::string archive = folder + Item.FileName;

  // Only a complete archive goes on: a failed request, an error page, a body cut short or a
  // stalled transfer ends the run, and what was fetched goes.
  if (Item.Outcome != TDownloadOutcome::doOk) {
    DeleteFile(archive);
    FUpdater.FailRun(DownloadFailureText(Item.Outcome, Item.HttpStatus, Item.ErrorCode, folder));
    return;
  }
  // A signed update is opened only once its signature holds: nothing of an archive that anyone
  // on the way could have made is parsed.
  if (FUpdater.Signature().Required() &&
      FUpdater.Signature().Check() != TSignatureVerdict::svValid) {
    DeleteFile(archive);
    FUpdater.FailRun(kTextBadSignature);
    return;
  }

  view.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  view.SetLabDownText(Item.FileName + kTextDownloaded);
  view.RefreshLabDown();
  view.SetBytesVisible(false);
  view.SetGauge1Progress(0);
  view.SetGauge2Progress(0);
  view.SetUnzipVisible(true);
  view.SetUnzipCaption(Item.FileName + kTextExtracting);
  view.RefreshUnzip();

  TUnZip& unzip = *FUnZip1;
  unzip.SetArchiveFile(archive);
  unzip.ConfirmOverwrites = false;
  unzip.OverwriteMode = TOverwriteMode::omOverwrite;
  unzip.FileSpec.clear();
  unzip.FileSpec.push_back("*.*");
  unzip.SetExtractDir(folder);

  if (!DirectoryExists(folder)) {
    DeleteFile(archive);
    FUpdater.FailRun(folder + kTextFolderMissing);
    app.Pause(1000);
    app.ProcessMessages();
    return;
  }

  TInstallTransaction Install(folder, FUpdater.Services().InstallCheckpoint);
  TStagingRun Run;
  Run.Install = &Install;
  Run.Folder = folder;
  // Nothing is staged, and no installed file touched, unless the download is a zip archive
  // with entries.
  Run.Announced = AnnouncedEntries(unzip);
  if (Run.Announced == 0) {
    Fail(Run, kTextNotAnUpdate);
  } else if (!Install.BeginStaging()) {
    Fail(Run, WriteFailureText(folder));
  } else {
    unzip.StagingDir = Install.StagingDir();
    FRun = &Run;
    unzip.Activate();
    FRun = nullptr;
    unzip.StagingDir.clear();
    unzip.SetCancel(false);
    // An archive that could not be read at all ends without OnDeactivate.
    if (!Run.Deactivated) {
      Install.Discard();
      if (!FUpdater.StopRequested())
        Fail(Run, Run.Failure.empty() ? kTextNotAnUpdate : Run.Failure);
    }
    app.Pause(500);
  }
  DeleteFile(archive);
  app.ProcessMessages();
}

void TExtractionHandoff::Fail(TStagingRun& Run, const std::string& Text) {
  if (Run.Install != nullptr) Run.Install->Discard();
  FUpdater.FailRun(Text);
}

void TExtractionHandoff::UnZip1Begin(const std::string& FileName, int /*Count*/, bool& Extract) {
  IUpdaterView& view = FUpdater.View();
  view.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  view.SetButtonEnabled(TUpdaterButton::btnRedown, false);
  view.SetButtonEnabled(TUpdaterButton::btnClose, false);
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
  IUpdaterView& view = FUpdater.View();
  view.SetGauge1Progress(ProgressByFile);
  view.SetGauge2Progress(ProgressByArchive);
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

  IUpdaterView& view = FUpdater.View();
  view.SetUnzipCaption(kTextExtracted);
  view.RefreshUnzip();
  FUpdater.App().Pause(500);
  const std::string application = Run.Folder + kMainApplication;
  // An archive made on Windows carries no execute permission.
  AllowExecution(application);
  const auto& Launch = FUpdater.Services().LaunchProgram;
  if (!FileExists(application) || (Launch && !Launch(application))) {
    FUpdater.LaunchFailed();
    return;
  }
  FUpdater.App().Terminate();
}

}  // namespace ruvevid
