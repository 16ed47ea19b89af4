#pragma once
// The updater's window: the side picture, the status line, the download bar with its byte count,
// the box with the two extraction gauges and the three flat buttons. It carries out the view
// operations of the controller and passes the window's events to the bound handlers.

#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "app/UpdaterView.h"
#include "ui/ErrorDisplay.h"
#include "ui/RepaintThrottle.h"
#include "ui/UpdaterHandlers.h"

class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QToolButton;
class QTreeWidget;

namespace ruvevid {

class TGauge;

class TUpdaterWindow : public QWidget, public IUpdaterView {
 public:
  static constexpr int ClientWidth = 657;
  static constexpr int ClientHeight = 341;

  explicit TUpdaterWindow(QWidget* Parent = nullptr);
  ~TUpdaterWindow() override;
  TUpdaterWindow(const TUpdaterWindow&) = delete;
  TUpdaterWindow& operator=(const TUpdaterWindow&) = delete;

  void Bind(TUpdaterWindowHandlers Handlers) { FHandlers = std::move(Handlers); }
  // Where the text of an exception raised by a handler goes; the default is the message box.
  void SetErrorDisplay(TErrorDisplay Display) { FErrorDisplay = std::move(Display); }

  // The window's creation: runs FormCreate.
  void Create();
  // Brings the window up, centred on the screen. The size notification it receives as it comes
  // up is handled once the window is on the screen, inside this call: with the controller bound,
  // the whole run happens here.
  void ComeUp();

  // What the view operations last set, current even while a control shows it a moment later.
  int ProgressPosition() const { return FProgressPosition; }
  const std::string& BytesText() const { return FBytesText; }

  // IUpdaterView
  void SetLabDownText(const std::string& Text) override;
  void RefreshLabDown() override;
  void SetBytesText(const std::string& Text) override;
  void SetBytesVisible(bool Visible) override;
  void SetProgressMax(int Max) override;
  void SetProgressPosition(int Position) override;
  void SetUnzipCaption(const std::string& Caption) override;
  void RefreshUnzip() override;
  void SetUnzipVisible(bool Visible) override;
  void SetGauge1Progress(int Progress) override;
  void SetGauge2Progress(int Progress) override;
  void SetButtonEnabled(TUpdaterButton Button, bool Enabled) override;
  void SetBevel2Bounds(int Left, int Top, int Width) override;
  int CancelButtonTop() const override;
  int RightPanelWidth() const override;
  void AddQueueRow(const std::string& Caption, const std::vector<std::string>& SubItems) override;
  int QueueRowCount() const override;
  std::string QueueRowCaption(int Row) const override;
  void* QueueRowData(int Row) override;

 protected:
  bool event(QEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  void BuildLeftSide();
  void BuildRightPanel();
  void BuildExtractionBox();
  void BuildQueueList();
  void BuildButtons();
  void SetTabOrder();
  QToolButton* MakeButton(const char* Name, const QString& Caption, const QImage& Glyph, int Left,
                          const std::function<void()> TUpdaterWindowHandlers::*Handler);
  void Run(std::function<void()> Handler);
  void PaintAtOnce(QWidget* Widget);
  void PaintDeferred();
  void CentreOnScreen();
  void ShowBytesText();
  int FilledPixels(int Position) const;

  TUpdaterWindowHandlers FHandlers;
  TErrorDisplay FErrorDisplay;
  TRepaintThrottle FPaintThrottle;
  QTimer FDeferredPaint;
  bool FPaintingAtOnce = false;
  bool FCameUp = false;
  bool FSizeNotificationPending = false;
  // The byte count changes after every few blocks: its text reaches the label at most about 60
  // times a second. The bar is told only when its filled part moves.
  TRepaintThrottle FBytesTextThrottle;
  QTimer FDeferredBytesText;
  std::string FBytesText;
  int FProgressPosition = 0;

  QWidget* Panel2 = nullptr;
  QLabel* Image1 = nullptr;
  QFrame* Bevel1 = nullptr;
  QWidget* pnlRight = nullptr;
  QLabel* labDown = nullptr;
  QProgressBar* pBar = nullptr;
  QLabel* lblBytes = nullptr;
  QGroupBox* labUnzip = nullptr;
  TGauge* Gauge1 = nullptr;
  QLabel* lbState = nullptr;
  TGauge* Gauge2 = nullptr;
  QTreeWidget* DownList = nullptr;
  QFrame* Bevel2 = nullptr;
  QToolButton* btnCancel = nullptr;
  QToolButton* btnRedown = nullptr;
  QToolButton* btnClose = nullptr;
};

}  // namespace ruvevid
