#pragma once
// The updater's window on Windows: the side picture, the status line, the download bar with its
// byte count, the box with the two extraction gauges and the three flat buttons, laid out in
// 96-dpi units and scaled to the density of the monitor the window is on. It carries out the
// view operations of the controller and passes the window's events to the bound handlers.

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/UpdaterView.h"
#include "ui/RepaintThrottle.h"
#include "ui/UpdaterHandlers.h"
#include "ui/win32/DpiWin32.h"
#include "ui/win32/ErrorDisplayWin32.h"

namespace ruvevid::win32 {

class TGauge;

// A control's place in the 96-dpi layout, in the window's client coordinates.
struct TLayoutRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

class TUpdaterWindow : public IUpdaterView {
 public:
  static constexpr int ClientWidth = 657;
  static constexpr int ClientHeight = 341;
  static constexpr int RightPanelLeft = 229;
  static constexpr const wchar_t* kClassName = L"RuvevidUpdaterWindow";

  // Creates the window hidden, laid out for the density of the monitor it starts on.
  explicit TUpdaterWindow(HINSTANCE Instance = GetModuleHandleW(nullptr));
  ~TUpdaterWindow() override;
  TUpdaterWindow(const TUpdaterWindow&) = delete;
  TUpdaterWindow& operator=(const TUpdaterWindow&) = delete;

  void Bind(TUpdaterWindowHandlers Handlers) { FHandlers = std::move(Handlers); }
  // Where the text of an exception raised by a handler goes; the default is the message box.
  void SetErrorDisplay(TErrorDisplay Display) { FErrorDisplay = std::move(Display); }

  // The window's creation: runs FormCreate.
  void Create();
  // Brings the window up, centred on its monitor's work area. The size notification it receives
  // as it is created is handled once the window is on the screen, inside this call: with the
  // controller bound, the whole run happens here.
  void ComeUp();

  // Lays the window out for Dpi: fonts, pictures, every control, and the window's size. Within
  // Suggested when given (the rectangle the system suggests on a density change).
  void ApplyDpi(UINT Dpi, const RECT* Suggested = nullptr);
  UINT Dpi() const { return FDpi; }

  // Keyboard navigation of the window (Tab, Esc, Enter, Space); true when Message was handled.
  // The message loop passes every message here first.
  bool PreTranslateMessage(MSG& Message);

  HWND Handle() const { return FHandle; }
  HWND LabDown() const { return FLabDown; }
  HWND ProgressBar() const { return FProgressBar; }
  HWND BytesLabel() const { return FBytesLabel; }
  HWND StateLabel() const { return FStateLabel; }
  HWND Button(TUpdaterButton Which) const;
  TGauge& Gauge1() { return *FGauge1; }
  TGauge& Gauge2() { return *FGauge2; }
  // The drawn parts: the group box (labUnzip) and the separator (Bevel2), in client pixels.
  RECT UnzipBoxRect() const;
  RECT Bevel2Rect() const;
  bool UnzipVisible() const { return FUnzipVisible; }
  std::string UnzipCaption() const { return FUnzipCaption; }
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

 private:
  struct TQueueRow {
    std::string Caption;
    std::vector<std::string> SubItems;
  };

  static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  static LRESULT CALLBACK ButtonProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam,
                                     UINT_PTR Id, DWORD_PTR Data);
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);
  void CreateControls(HINSTANCE Instance);
  HWND MakeLabel(const wchar_t* Text, DWORD Align, int Id, HINSTANCE Instance);
  HWND MakeButton(const wchar_t* Caption, int Id, HINSTANCE Instance);
  void Place(HWND Control, const TLayoutRect& Layout) const;
  RECT Scaled(const TLayoutRect& Layout) const;
  int TextWidth(HFONT Font, const std::wstring& Text) const;
  void PlaceLabDown();
  void PlaceBytesLabel();
  void ShowBytesText();
  void Paint();
  void EraseBackground(HDC Dc);
  void PaintUnzipBox(HDC Dc);
  void DrawButton(const DRAWITEMSTRUCT& Item);
  void Click(TUpdaterButton Which);
  void Run(std::function<void()> Handler);
  void CloseRequested();
  void CentreOnWorkArea();
  int FilledPixels(int Position) const;

  HWND FHandle = nullptr;
  UINT FDpi = kLayoutDpi;
  TUpdaterWindowHandlers FHandlers;
  TErrorDisplay FErrorDisplay;
  bool FCameUp = false;
  bool FSizeNotificationPending = false;
  SIZE FLastClientSize{0, 0};

  std::wstring FWindowFace;
  std::wstring FBytesFace;
  TGdiObject FWindowFont;
  TGdiObject FBytesFont;
  TGdiObject FSidePicture;
  HICON FBigIcon = nullptr;
  HICON FSmallIcon = nullptr;

  HWND FLabDown = nullptr;
  HWND FProgressBar = nullptr;
  HWND FBytesLabel = nullptr;
  HWND FStateLabel = nullptr;
  HWND FCancel = nullptr;
  HWND FRedown = nullptr;
  HWND FClose = nullptr;
  HWND FHotButton = nullptr;
  std::unique_ptr<TGauge> FGauge1;
  std::unique_ptr<TGauge> FGauge2;

  std::string FLabDownText;
  std::string FUnzipCaption;
  bool FUnzipVisible = false;
  TLayoutRect FBevel2{-3, 257, 433, 2};  // in the right panel's coordinates

  // The byte count changes after every few blocks: its text reaches the label at most about 60
  // times a second. The bar is told only when its filled part moves.
  TRepaintThrottle FBytesTextThrottle;
  std::string FBytesText;
  std::string FShownBytesText;
  int FProgressMax = 100;
  int FProgressPosition = 0;
  int FBarValue = 0;

  std::deque<TQueueRow> FQueue;
};

}  // namespace ruvevid::win32
