#include "app/ExtractionHandoff.h"

#include <sys/stat.h>

#include "app/Updater.h"
#include "archive/base/UnZip.h"
#include "download/DownloadItem.h"
#include "platform/FileSystem.h"

namespace ruvevid {

namespace {

// The size of the file at Path, or -1 when there is none.
long long FetchedSize(const std::string& Path) {
  struct stat status {};
  if (::stat(Path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return static_cast<long long>(status.st_size);
}

}  // namespace

TExtractionHandoff::TExtractionHandoff(TfrmUpdater& Updater)
    : FUpdater(Updater), FUnZip1(std::make_unique<TUnZip>(&Updater.App())) {
  FUnZip1->OnBegin = [this](TZipCommon*, const std::string& FileName, std::int32_t Count,
                            bool& Extract) { UnZip1Begin(FileName, Count, Extract); };
  FUnZip1->OnProgress = [this](TZipCommon*, std::uint8_t ByFile, std::uint8_t ByArchive) {
    UnZip1Progress(ByFile, ByArchive);
  };
  FUnZip1->OnDeactivate = [this](TZipCommon*) { UnZip1Deactivate(); };
}

TExtractionHandoff::~TExtractionHandoff() = default;

void TExtractionHandoff::ItemDownloadEnd(TDownLoadItem& Item) {
  if (!FUpdater.DownloadStarted() || FUpdater.StopRequested()) return;
  IUpdaterView& view = FUpdater.View();
  IApplication& app = FUpdater.App();
  const std::string folder = FUpdater.Services().ProgramFolder();
  const std::string archive = folder + Item.FileName;

  // Only a complete archive is handed to the extraction: a failed request, a missing length or a
  // body cut short would otherwise half-install an update. The partial file goes, and the run
  // ends as a stopped one that the user can restart.
  if (Item.FileSize <= 0 || FetchedSize(archive) != Item.FileSize) {
    DeleteFile(archive);
    FUpdater.TreatAsStopped();
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

  if (DirectoryExists(folder)) {
    unzip.Activate();
    app.Pause(500);
    DeleteFile(archive);
  } else {
    view.SetLabDownText(folder + kTextFolderMissing);
    view.RefreshLabDown();
    DeleteFile(archive);
    app.Pause(1000);
  }
  app.ProcessMessages();
}

void TExtractionHandoff::UnZip1Begin(const std::string& /*FileName*/, int /*Count*/,
                                     bool& /*Extract*/) {
  IUpdaterView& view = FUpdater.View();
  view.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  view.SetButtonEnabled(TUpdaterButton::btnRedown, false);
  view.SetButtonEnabled(TUpdaterButton::btnClose, false);
}

void TExtractionHandoff::UnZip1Progress(std::uint8_t ProgressByFile,
                                        std::uint8_t ProgressByArchive) {
  IUpdaterView& view = FUpdater.View();
  view.SetGauge1Progress(ProgressByFile);
  view.SetGauge2Progress(ProgressByArchive);
  FUpdater.App().ProcessMessages();
}

void TExtractionHandoff::UnZip1Deactivate() {
  IUpdaterView& view = FUpdater.View();
  view.SetUnzipCaption(kTextExtracted);
  view.RefreshUnzip();
  FUpdater.App().Pause(500);
  const std::string application = FUpdater.Services().ProgramFolder() + kMainApplication;
  if (!FileExists(application)) return;
  if (FUpdater.Services().LaunchProgram) FUpdater.Services().LaunchProgram(application);
  FUpdater.App().Terminate();
}

}  // namespace ruvevid
