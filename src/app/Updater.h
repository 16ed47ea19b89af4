#pragma once
// The updater's controller: the state of the main window and the handlers that drive one run
// (terminate the running application, fetch the update archive, hand it to extraction, start the
// application, quit), against the window's view and the application object.

#include <cstdint>
#include <memory>
#include <string>

#include "app/SignedUpdate.h"
#include "app/TransferProgress.h"
#include "app/UpdaterServices.h"
#include "app/UpdaterView.h"
#include "download/WinHTTPDownload.h"
#include "platform/Application.h"
#include "platform/FolderLock.h"

namespace ruvevid {

// Fixed values of the updater.
inline constexpr const char* kApplicationTitle = "RuvuradUduru";
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
  // While a request waits on the network: the window's messages are handled, unless a stop is
  // pending, which ends the wait instead.
  void WinHTTPDownloadIdle(TWinHTTPDownload* Sender);

  // Ends the run as a failed one: the status line says why, the start step then records the stop
  // (keeping that text), and Restart is offered.
  void FailRun(const std::string& Text);
  // The new files are in place: from now on the run cannot be stopped, and a Close only ends the
  // program.
  void MarkInstalled();
  // The installed program could not be started: the status line says so and only Close is
  // offered; no stop is recorded.
  void LaunchFailed();

  // The program's exit status: 0 when the update was installed and the program started, 1 for
  // any run that failed, was stopped or could not begin.
  int ExitCode() const { return FInstalled && !FLaunchFailed ? 0 : 1; }

  bool DownloadStarted() const { return FDownloadStarted; }
  bool StopRequested() const { return FStopRequested; }
  bool DownloadRunning() const { return FDownloadRunning; }
  bool Installed() const { return FInstalled; }
  TSignedUpdate& Signature() { return FSignature; }
  const std::string& FailureText() const { return FFailureText; }
  TWinHTTPDownload& WinHTTPDownload() { return *FWinHTTPDownload; }
  const TUpdaterServices& Services() const { return FServices; }
  IUpdaterView& View() { return FView; }
  IApplication& App() { return FApp; }

 private:
  void StartQueuedDownloads();
  bool QueueHolds(const std::string& Caption) const;
  // Takes the program folder's lock and puts right an install that was cut short; false (with
  // the reason shown and only Close offered) when the run must not begin.
  bool PrepareProgramFolder();
  // Fetches the signature of the archive at ArchiveUrl; false (the run failed or was stopped)
  // when there is none to check the archive with.
  bool FetchSignature(const std::string& ArchiveUrl);
  // Shows Text and offers only Close: the run does not begin.
  void Refuse(const std::string& Text);
  void OfferOnlyClose(const std::string& Text);
  std::uint32_t Now() const;

  IUpdaterView& FView;
  IApplication& FApp;
  TUpdaterServices FServices;
  std::unique_ptr<TWinHTTPDownload> FWinHTTPDownload;
  std::unique_ptr<TExtractionHandoff> FHandoff;
  char FThousandsSeparator;

  TTransferProgress FProgress;
  TSignedUpdate FSignature;
  // Held from the creation until the program ends, so no second updater works on the folder.
  TFolderLock FFolderLock;

  bool FDownloadStarted = false;
  bool FStopRequested = false;
  // Why the run failed; empty for a run that has not failed (a user's stop included).
  std::string FFailureText;
  bool FInstalled = false;
  bool FLaunchFailed = false;
  // The start found the folder in another updater's hands or could not put it right.
  bool FRefused = false;
  // True while Download runs: a Restart or a size notification pumped from inside a transfer must
  // not disturb the item in use.
  bool FDownloadRunning = false;
};

}  // namespace ruvevid
