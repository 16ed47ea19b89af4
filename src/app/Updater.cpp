#include "app/Updater.h"

#include <utility>

#include "app/ExtractionHandoff.h"
#include "app/NumberFormat.h"

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
      FThousandsSeparator(UserThousandsSeparator()) {
  FHandoff = std::make_unique<TExtractionHandoff>(*this);
  TWinHTTPDownload& download = *FWinHTTPDownload;
  download.OnDownloadEnd = [this](TWinHTTPDownload* Sender) { WinHTTPDownloadDownloadEnd(Sender); };
  download.OnItemDownloadBegin = [this](TWinHTTPDownload* Sender, TDownLoadItem* AItem) {
    WinHTTPDownloadItemDownloadBegin(Sender, AItem);
  };
  download.OnItemDownloadProgress = [this](TWinHTTPDownload* Sender, TDownLoadItem* AItem,
                                           std::int32_t CurrentBytes, std::int32_t TotalBytes) {
    WinHTTPDownloadItemDownloadProgress(Sender, AItem, CurrentBytes, TotalBytes);
  };
  download.OnItemDownloadEnd = [this](TWinHTTPDownload* Sender, TDownLoadItem* AItem) {
    WinHTTPDownloadItemDownloadEnd(Sender, AItem);
  };
}

TfrmUpdater::~TfrmUpdater() = default;

void TfrmUpdater::FormCreate() {
  FDownloadStarted = false;
  FStopRequested = false;
  if (FServices.IsProcessRunning && FServices.IsProcessRunning(kMainApplicationImage)) {
    if (FServices.KillProcess) FServices.KillProcess(kMainApplicationImage);
  }
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
  if (FStopRequested) {
    if (FServices.WriteSetting) {
      FServices.WriteSetting(kSettingsFile, kSettingsSection, kSettingsKey, kSettingsValue);
    }
    FView.SetLabDownText(kTextStoppedRun);
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
  for (int row = 0; row < FView.QueueRowCount(); ++row) {
    if (FView.QueueRowCaption(row) == Caption) return true;
  }
  return false;
}

void TfrmUpdater::StartQueuedDownloads() {
  FView.SetUnzipVisible(false);
  if (FView.QueueRowCount() == 0) return;
  TDownLoadItems& items = FWinHTTPDownload->DownLoadItems();
  items.Clear();
  const std::string folder = FServices.ProgramFolder ? FServices.ProgramFolder() : std::string();
  for (int row = 0; row < FView.QueueRowCount(); ++row) {
    TDownLoadItem* item = items.Add();
    item->SetURL(FView.QueueRowCaption(row));
    item->Data = FView.QueueRowData(row);
    item->SetLocalDir(folder);
  }
  TRunningFlag running(FDownloadRunning);
  FWinHTTPDownload->Download();
}

void TfrmUpdater::WinHTTPDownloadItemDownloadBegin(TWinHTTPDownload* /*Sender*/,
                                                   TDownLoadItem* AItem) {
  if (!FDownloadStarted) return;
  FView.SetUnzipVisible(false);
  FView.SetProgressMax(AItem->FileSize);
  FView.SetBytesText("0 / " + FormatKBytes(AItem->FileSize, FThousandsSeparator) + " KBytes");
  FView.SetBytesVisible(true);
  FApp.ProcessMessages();
}

void TfrmUpdater::WinHTTPDownloadItemDownloadProgress(TWinHTTPDownload* /*Sender*/,
                                                      TDownLoadItem* AItem,
                                                      std::int32_t CurrentBytes,
                                                      std::int32_t /*TotalBytes*/) {
  if (FStopRequested) {
    FWinHTTPDownload->Stop();
    return;
  }
  if (!FDownloadStarted) return;
  FView.SetButtonEnabled(TUpdaterButton::btnCancel, true);
  FView.SetProgressPosition(CurrentBytes);
  FView.SetBytesText(FormatKBytes(CurrentBytes, FThousandsSeparator) + " / " +
                     FormatKBytes(AItem->FileSize, FThousandsSeparator) + " KBytes");
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
  FView.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  FView.SetButtonEnabled(TUpdaterButton::btnRedown, true);
}

void TfrmUpdater::TreatAsStopped() {
  FStopRequested = true;
  FView.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  FView.SetButtonEnabled(TUpdaterButton::btnRedown, true);
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
  FView.SetButtonEnabled(TUpdaterButton::btnCancel, true);
  FView.SetButtonEnabled(TUpdaterButton::btnRedown, false);
  FWinHTTPDownload->DownLoadItems().Clear();
  WinHTTPDownloadDownloadEnd(FWinHTTPDownload.get());
}

void TfrmUpdater::btnCloseClick() {
  FStopRequested = true;
  FWinHTTPDownload->Stop();
  FApp.Terminate();
}

}  // namespace ruvevid
