#include "app/Updater.h"

#include <optional>
#include <utility>

#include "app/DownloadFailure.h"
#include "app/ExtractionHandoff.h"
#include "app/FailureTexts.h"
#include "app/InstallTransaction.h"
#include "app/NumberFormat.h"
#include "platform/TickCount.h"

namespace ruvevid {

namespace {

// Marks the span of a running Download, on every path out of it.
class TRunningFlag {
 public:
  explicit TRunningFlag(bool& Flag) : FFlag(Flag) { FFlag = true; }
  ~TRunningFlag() { FFlag = false; }
  TRunningFlag(const TRunningFlag&) = delete;
  TRunningFlag& operator=(const TRunningFlag&) = delete;

 private:
  bool& FFlag;
};

}  // namespace

TfrmUpdater::TfrmUpdater(IUpdaterView& View, IApplication& App, TUpdaterServices Services)
    : FView(View),
      FApp(App),
      FServices(std::move(Services)),
      FWinHTTPDownload(std::make_unique<TWinHTTPDownload>(FServices.Transport)),
      FThousandsSeparator(UserThousandsSeparator()),
      FProgress(FThousandsSeparator),
      FSignature(FServices.UpdatePublicKey) {
  FHandoff = std::make_unique<TExtractionHandoff>(*this);
  TWinHTTPDownload& Download = *FWinHTTPDownload;
  Download.OnDownloadEnd = [this](TWinHTTPDownload* Sender) { WinHTTPDownloadDownloadEnd(Sender); };
  Download.OnItemDownloadBegin = [this](TWinHTTPDownload* Sender, TDownLoadItem* AItem) {
    WinHTTPDownloadItemDownloadBegin(Sender, AItem);
  };
  Download.OnItemDownloadProgress = [this](TWinHTTPDownload* Sender, TDownLoadItem* AItem,
                                           std::int32_t CurrentBytes, std::int32_t TotalBytes) {
    WinHTTPDownloadItemDownloadProgress(Sender, AItem, CurrentBytes, TotalBytes);
  };
  Download.OnItemDownloadEnd = [this](TWinHTTPDownload* Sender, TDownLoadItem* AItem) {
    WinHTTPDownloadItemDownloadEnd(Sender, AItem);
  };
  Download.OnIdle = [this](TWinHTTPDownload* Sender) { WinHTTPDownloadIdle(Sender); };
  Download.OnItemData = [this](TWinHTTPDownload*, TDownLoadItem*, const void* Data,
                               std::size_t Count) {
    if (FSignature.Required()) FSignature.Absorb(Data, Count);
  };
}

TfrmUpdater::~TfrmUpdater() = default;

void TfrmUpdater::FormCreate() {
  FDownloadStarted = false;
  FStopRequested = false;
  if (!PrepareProgramFolder()) return;
  if (FServices.IsProcessRunning && FServices.IsProcessRunning(kMainApplicationImage)) {
    if (FServices.KillProcess) FServices.KillProcess(kMainApplicationImage);
  }
}

bool TfrmUpdater::PrepareProgramFolder() {
  const std::string Folder = FServices.ProgramFolder ? FServices.ProgramFolder() : std::string();
  switch (FFolderLock.Acquire(Folder)) {
    case TFolderLockResult::flBusy:
      Refuse(kTextBusy);
      return false;
    case TFolderLockResult::flFailed:
      // A folder that cannot even be opened holds no install to put right; creating the
      // archive in it will fail and say so.
      return true;
    case TFolderLockResult::flLocked:
      break;
  }
  TInstallTransaction Install(Folder, FServices.InstallCheckpoint);
  if (Install.Recover() == TRecoveryResult::rrFailed) {
    Refuse(kTextCannotWrite);
    return false;
  }
  return true;
}

void TfrmUpdater::Refuse(const std::string& Text) {
  FRefused = true;
  OfferOnlyClose(Text);
}

void TfrmUpdater::OfferOnlyClose(const std::string& Text) {
  FView.SetLabDownText(Text);
  FView.RefreshLabDown();
  FView.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  FView.SetButtonEnabled(TUpdaterButton::btnRedown, false);
  FView.SetButtonEnabled(TUpdaterButton::btnClose, true);
}

std::uint32_t TfrmUpdater::Now() const {
  return FServices.TickCount ? FServices.TickCount() : TickCount();
}

void TfrmUpdater::FormResize() {
  FView.SetBevel2Bounds(0, FView.CancelButtonTop() - 18, FView.RightPanelWidth());
  // The item collection is left alone here: the queue step clears it before every download, and
  // a size notification pumped from inside a transfer must not take the item in use away.
  WinHTTPDownloadDownloadEnd(FWinHTTPDownload.get());
}

bool TfrmUpdater::FormCloseQuery() {
  btnCloseClick();
  return true;
}

void TfrmUpdater::WinHTTPDownloadDownloadEnd(TWinHTTPDownload* /*Sender*/) {
  if (FRefused) return;
  if (FStopRequested) {
    if (FServices.WriteSetting) {
      FServices.WriteSetting(kSettingsFile, kSettingsSection, kSettingsKey, kSettingsValue);
    }
    // A failed run keeps saying why it failed; only the user's own stop says it was stopped.
    FView.SetLabDownText(FFailureText.empty() ? kTextStoppedRun : FFailureText);
    FView.RefreshLabDown();
    FApp.Pause(1000);
  }
  if (FStopRequested || FDownloadStarted) return;
  // The archive is queued once: a Restart fetches it again instead of once per earlier start.
  if (!QueueHolds(FServices.UrlText)) FView.AddQueueRow(FServices.UrlText, {"", ""});
  FDownloadStarted = true;
  if (FView.QueueRowCount() >= 1) StartQueuedDownloads();
}

bool TfrmUpdater::QueueHolds(const std::string& Caption) const {
  for (int Row = 0; Row < FView.QueueRowCount(); ++Row) {
    if (FView.QueueRowCaption(Row) == Caption) return true;
  }
  return false;
}

void TfrmUpdater::StartQueuedDownloads() {
  FView.SetUnzipVisible(false);
  if (FView.QueueRowCount() == 0) return;
  TDownLoadItems& Items = FWinHTTPDownload->DownLoadItems();
  Items.Clear();
  const std::string Folder = FServices.ProgramFolder ? FServices.ProgramFolder() : std::string();
  for (int Row = 0; Row < FView.QueueRowCount(); ++Row) {
    TDownLoadItem* Item = Items.Add();
    Item->SetURL(FView.QueueRowCaption(Row));
    Item->Data = FView.QueueRowData(Row);
    Item->SetLocalDir(Folder);
  }
  // A run that ends without OnDownloadEnd (no signature to check the archive with, or an archive
  // that could not be written) records its stop here, as OnDownloadEnd would have.
  bool EndedEarly = false;
  {
    const TRunningFlag Running(FDownloadRunning);
    if (FSignature.Required() && !FetchSignature(Items.Items(0)->URL())) {
      EndedEarly = true;
    } else {
      try {
        FWinHTTPDownload->Download();
      } catch (const EInOutError&) {
        // The item's end has already failed the run and said why. Anything else is unexpected
        // and goes to the error display.
        if (!FStopRequested) throw;
        EndedEarly = true;
      }
    }
  }
  if (EndedEarly) WinHTTPDownloadDownloadEnd(FWinHTTPDownload.get());
}

bool TfrmUpdater::FetchSignature(const std::string& ArchiveUrl) {
  const TFetchedText Fetched =
      FWinHTTPDownload->FetchToMemory(ArchiveUrl + kSignatureSuffix, kMaxSignatureBytes);
  switch (Fetched.Outcome) {
    case TDownloadOutcome::doOk:
      if (Fetched.Body.size() > kMaxSignatureBytes) break;
      FSignature.Begin(Fetched.Body);
      return true;
    case TDownloadOutcome::doStopped:
      return false;  // the user's own stop
    case TDownloadOutcome::doHttpError:
      if (Fetched.HttpStatus == 404 || Fetched.HttpStatus == 410) break;  // no signature
      [[fallthrough]];
    default: {
      const std::string Folder = FServices.ProgramFolder ? FServices.ProgramFolder() : "";
      FailRun(DownloadFailureText(Fetched.Outcome, Fetched.HttpStatus, 0, Folder));
      return false;
    }
  }
  FailRun(kTextBadSignature);
  return false;
}

void TfrmUpdater::WinHTTPDownloadItemDownloadBegin(TWinHTTPDownload* /*Sender*/,
                                                   TDownLoadItem* AItem) {
  if (!FDownloadStarted) return;
  FView.SetUnzipVisible(false);
  FView.SetProgressMax(AItem->FileSize);
  FView.SetBytesText("0 / " + FormatKBytes(AItem->FileSize, FThousandsSeparator) + " KBytes");
  FView.SetBytesVisible(true);
  FProgress.Begin(AItem->FileSize, Now());
  FApp.ProcessMessages();
}

void TfrmUpdater::WinHTTPDownloadItemDownloadProgress(TWinHTTPDownload* /*Sender*/,
                                                      TDownLoadItem* /*AItem*/,
                                                      std::int32_t CurrentBytes,
                                                      std::int32_t /*TotalBytes*/) {
  if (FStopRequested) {
    FWinHTTPDownload->Stop();
    return;
  }
  if (!FDownloadStarted) return;
  FView.SetButtonEnabled(TUpdaterButton::btnCancel, true);
  FView.SetProgressPosition(CurrentBytes);
  if (const std::optional<std::string> Text = FProgress.Block(CurrentBytes, Now())) {
    FView.SetBytesText(*Text);
  }
  FApp.ProcessMessages();
}

void TfrmUpdater::WinHTTPDownloadIdle(TWinHTTPDownload* /*Sender*/) {
  // As in the progress step: once a stop is pending nothing is pumped, so a Restart cannot act
  // while the download runs.
  if (FStopRequested) {
    FWinHTTPDownload->Stop();
    return;
  }
  FApp.ProcessMessages();
}

void TfrmUpdater::WinHTTPDownloadItemDownloadEnd(TWinHTTPDownload* /*Sender*/,
                                                 TDownLoadItem* AItem) {
  FHandoff->ItemDownloadEnd(*AItem);
}

void TfrmUpdater::btnCancelClick() {
  FView.SetLabDownText(kTextCancelled);
  FView.RefreshLabDown();
  FView.SetUnzipVisible(false);
  FStopRequested = true;
  // At once: a transfer waiting for the server ends now, not when the next block comes.
  FWinHTTPDownload->Stop();
  FView.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  FView.SetButtonEnabled(TUpdaterButton::btnRedown, true);
}

void TfrmUpdater::FailRun(const std::string& Text) {
  FFailureText = Text;
  FStopRequested = true;
  FView.SetLabDownText(Text);
  FView.RefreshLabDown();
  FView.SetUnzipVisible(false);
  FView.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  FView.SetButtonEnabled(TUpdaterButton::btnRedown, true);
  FView.SetButtonEnabled(TUpdaterButton::btnClose, true);
}

void TfrmUpdater::MarkInstalled() {
  FInstalled = true;
  // A Close that came while the files were being put in place comes too late to stop anything:
  // the new version is started and no stop is recorded.
  FStopRequested = false;
}

void TfrmUpdater::LaunchFailed() {
  FLaunchFailed = true;
  OfferOnlyClose(kTextCannotStart);
}

void TfrmUpdater::btnRedownClick() {
  // A Restart clicked while Download still runs (possible only when messages are pumped between
  // a Cancel and the end of the transfer) is ignored: the button stays enabled for a later click.
  if (FDownloadRunning) return;
  FView.SetLabDownText(kTextDownloading);
  FView.RefreshLabDown();
  FView.SetUnzipVisible(false);
  FStopRequested = false;
  FDownloadStarted = false;
  FFailureText.clear();
  FView.SetButtonEnabled(TUpdaterButton::btnCancel, true);
  FView.SetButtonEnabled(TUpdaterButton::btnRedown, false);
  FWinHTTPDownload->DownLoadItems().Clear();
  WinHTTPDownloadDownloadEnd(FWinHTTPDownload.get());
}

void TfrmUpdater::btnCloseClick() {
  // Once installed, or when the run never began, there is nothing to stop or record.
  if (!FInstalled && !FRefused) {
    FStopRequested = true;
    FWinHTTPDownload->Stop();
  }
  FApp.Terminate();
}

}  // namespace ruvevid
