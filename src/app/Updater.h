#pragma once
// The updater's controller: the state of the main window and the handlers that drive one run
// (terminate the running application, fetch the update archive, hand it to extraction, start the
// application, quit), against the window's view and the application object.

#include <cstdint>
#include <memory>
#include <string>

#include "app/UpdaterServices.h"
#include "app/UpdaterView.h"
#include "download/WinHTTPDownload.h"
#include "platform/Application.h"

namespace ruvevid {

// Fixed values of the updater.
inline constexpr const char* kApplicationTitle = "RuvuradUduru";
inline constexpr const char* kArchivePath = ":280/HTTP/Ruvevid/Roduvov0.zip";
inline constexpr const char* kMainApplicationImage = "RovuzurA.exe";
inline constexpr const char* kSettingsFile = "Daz";
inline constexpr const char* kSettingsSection = "Update";
inline constexpr const char* kSettingsKey = "Work";
inline constexpr const char* kSettingsValue = "False";

// Status texts.
inline constexpr const char* kTextStoppedRun = "다운로드가 중지 되었습니다";
inline constexpr const char* kTextCancelled = "다운로드가 중지되었습니다";
inline constexpr const char* kTextDownloading = "설치 파일을 다운받고 있습니다";

class TExtractionHandoff;

class TfrmUpdater {
 public:
  TfrmUpdater(IUpdaterView& View, IApplication& App,
              TUpdaterServices Services = DefaultUpdaterServices());
  ~TfrmUpdater();
  TfrmUpdater(const TfrmUpdater&) = delete;
  TfrmUpdater& operator=(const TfrmUpdater&) = delete;

  // Window handlers.
  void FormCreate();
  void FormResize();
  bool FormCloseQuery();  // the close is always allowed
  void btnCancelClick();
  void btnRedownClick();
  void btnCloseClick();

  // Download component handlers; WinHTTPDownloadDownloadEnd is also the start step.
  void WinHTTPDownloadDownloadEnd(TWinHTTPDownload* Sender);
  void WinHTTPDownloadItemDownloadBegin(TWinHTTPDownload* Sender, TDownLoadItem* AItem);
  void WinHTTPDownloadItemDownloadProgress(TWinHTTPDownload* Sender, TDownLoadItem* AItem,
                                           std::int32_t CurrentBytes, std::int32_t TotalBytes);
  void WinHTTPDownloadItemDownloadEnd(TWinHTTPDownload* Sender, TDownLoadItem* AItem);

  // Ends the run as a stopped one after a fetch that cannot be installed: the start step then
  // records the stop and shows the stopped text, and Restart is offered.
  void TreatAsStopped();

  bool DownloadStarted() const { return FDownloadStarted; }
  bool StopRequested() const { return FStopRequested; }
  bool DownloadRunning() const { return FDownloadRunning; }
  TWinHTTPDownload& WinHTTPDownload() { return *FWinHTTPDownload; }
  const TUpdaterServices& Services() const { return FServices; }
  IUpdaterView& View() { return FView; }
  IApplication& App() { return FApp; }

 private:
  void StartQueuedDownloads();
  bool QueueHolds(const std::string& Caption) const;

  IUpdaterView& FView;
  IApplication& FApp;
  TUpdaterServices FServices;
  std::unique_ptr<TWinHTTPDownload> FWinHTTPDownload;
  std::unique_ptr<TExtractionHandoff> FHandoff;
  char FThousandsSeparator;

  bool FDownloadStarted = false;
  bool FStopRequested = false;
  // True while Download runs: a Restart or a size notification pumped from inside a transfer must
  // not disturb the item in use.
  bool FDownloadRunning = false;
};

}  // namespace ruvevid
