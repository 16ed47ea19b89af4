#include "ui/win32/UpdaterWindowWin32.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "platform/WideText.h"
#include "ui/win32/GaugeWin32.h"
#include "ui/win32/UpdaterArtWin32.h"

namespace ruvevid::win32 {
namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

enum TControlId : int {
  kLabDownId = 101,
  kProgressBarId,
  kBytesLabelId,
  kGauge1Id,
  kStateLabelId,
  kGauge2Id,
  kCancelId,
  kRedownId,
  kCloseId,
};

constexpr UINT_PTR kBytesTextTimer = 1;
constexpr UINT_PTR kButtonSubclass = 1;

// The 96-dpi layout, in client coordinates (the right panel's controls moved by its left edge).
constexpr int kPanel = TUpdaterWindow::RightPanelLeft;
constexpr TLayoutRect kSidePicture{0, 0, 227, 341};
constexpr TLayoutRect kLabDown{kPanel + 21, 19, 184, 17};
constexpr TLayoutRect kProgressBar{kPanel + 20, 43, 385, 17};
constexpr int kBytesRight = kPanel + 398;
constexpr TLayoutRect kBytesLabel{kBytesRight - 3, 76, 3, 13};
constexpr TLayoutRect kUnzipBox{kPanel + 20, 96, 388, 122};
constexpr TLayoutRect kGauge1{kUnzipBox.Left + 18, kUnzipBox.Top + 30, 352, 17};
constexpr TLayoutRect kStateLabel{kUnzipBox.Left + 18, kUnzipBox.Top + 58, 83, 17};
constexpr TLayoutRect kGauge2{kUnzipBox.Left + 18, kUnzipBox.Top + 81, 352, 17};
constexpr int kButtonTop = 275;
constexpr TLayoutRect kCancel{kPanel + 176, kButtonTop, 73, 45};
constexpr TLayoutRect kRedown{kPanel + 256, kButtonTop, 73, 45};
constexpr TLayoutRect kClose{kPanel + 336, kButtonTop, 73, 45};

constexpr const char* kTitle = "Ruvevid Label Maker 설치하기";
constexpr const char* kInitialLabDown = "설치 파일을 다운받고 있습니다";
constexpr const char* kInitialUnzip = "업데이트할 파일을 풀고 있습니다";
constexpr const char* kStateText = "전체 진행상태";

HBRUSH FaceBrush() {
  return GetSysColorBrush(COLOR_BTNFACE);
}

TGlyph GlyphOf(int Id) {
  switch (Id) {
    case kCancelId:
      return TGlyph::gCancel;
    case kRedownId:
      return TGlyph::gRestart;
    default:
      return TGlyph::gClose;
  }
}

}  // namespace

TUpdaterWindow::TUpdaterWindow(HINSTANCE Instance)
    : FErrorDisplay([this](const std::string& Message) { ShowDefaultError(FHandle, Message); }) {
  INITCOMMONCONTROLSEX Controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&Controls);

  WNDCLASSEXW Class{};
  if (!GetClassInfoExW(Instance, kClassName, &Class)) {
    Class.cbSize = sizeof Class;
    Class.lpfnWndProc = WindowProc;
    Class.hInstance = Instance;
    Class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    Class.lpszClassName = kClassName;
    RegisterClassExW(&Class);
  }
  FWindowFace = ResolveFace(
      {L"맑은 고딕", L"Malgun Gothic", L"NanumGothic", L"NanumBarunGothic", L"Noto Sans CJK KR"});
  FBytesFace = ResolveFace({L"Microsoft Sans Serif", L"MS Sans Serif", L"NanumGothic"});

  FHandle =
      CreateWindowExW(kExStyle, kClassName, Utf8ToWide(kTitle).c_str(), kStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, ClientWidth, ClientHeight, nullptr, nullptr, Instance, this);
  FBigIcon = MakeWindowIcon(GetSystemMetrics(SM_CXICON));
  FSmallIcon = MakeWindowIcon(GetSystemMetrics(SM_CXSMICON));
  SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FBigIcon));
  SendMessageW(FHandle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(FSmallIcon));
  CreateControls(Instance);
  ApplyDpi(WindowDpi(FHandle));
}

TUpdaterWindow::~TUpdaterWindow() {
  FGauge1.reset();
  FGauge2.reset();
  if (FHandle != nullptr) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(FHandle);
  }
  if (FBigIcon != nullptr) DestroyIcon(FBigIcon);
  if (FSmallIcon != nullptr) DestroyIcon(FSmallIcon);
}

HWND TUpdaterWindow::MakeLabel(const wchar_t* Text, DWORD Align, int Id, HINSTANCE Instance) {
  return CreateWindowExW(0, L"STATIC", Text, WS_CHILD | WS_VISIBLE | SS_NOPREFIX | Align, 0, 0, 1,
                         1, FHandle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), Instance,
                         nullptr);
}

HWND TUpdaterWindow::MakeButton(const wchar_t* Caption, int Id, HINSTANCE Instance) {
  HWND Button = CreateWindowExW(
      0, L"BUTTON", Caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, 0, 1, 1, FHandle,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), Instance, nullptr);
  // Flat until the mouse is over it: the subclass follows the mouse for the raised edge.
  SetWindowSubclass(Button, ButtonProc, kButtonSubclass, reinterpret_cast<DWORD_PTR>(this));
  return Button;
}

void TUpdaterWindow::CreateControls(HINSTANCE Instance) {
  FLabDown = MakeLabel(Utf8ToWide(kInitialLabDown).c_str(), SS_LEFT, kLabDownId, Instance);
  FLabDownText = kInitialLabDown;
  FProgressBar = CreateWindowExW(
      0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 0, 0, 1, 1, FHandle,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressBarId)), Instance, nullptr);
  SendMessageW(FProgressBar, PBM_SETRANGE32, 0, FProgressMax);
  SendMessageW(FProgressBar, PBM_SETPOS, 0, 0);
  FBytesLabel = MakeLabel(L"", SS_RIGHT, kBytesLabelId, Instance);

  FUnzipCaption = kInitialUnzip;
  FGauge1 = std::make_unique<TGauge>(FHandle, Instance, kGauge1Id);
  FStateLabel = MakeLabel(Utf8ToWide(kStateText).c_str(), SS_LEFT, kStateLabelId, Instance);
  FGauge2 = std::make_unique<TGauge>(FHandle, Instance, kGauge2Id);
  FGauge1->SetForeColor(kBlue);
  FGauge2->SetForeColor(kBlue);
  // The box starts hidden, and with it what it holds.
  ShowWindow(FStateLabel, SW_HIDE);

  FCancel = MakeButton(L"취소", kCancelId, Instance);
  FRedown = MakeButton(L"재시작", kRedownId, Instance);
  FClose = MakeButton(L"종료", kCloseId, Instance);
  EnableWindow(FRedown, FALSE);
}

RECT TUpdaterWindow::Scaled(const TLayoutRect& Layout) const {
  const int Left = Scale(Layout.Left, FDpi);
  const int Top = Scale(Layout.Top, FDpi);
  return {Left, Top, Left + Scale(Layout.Width, FDpi), Top + Scale(Layout.Height, FDpi)};
}

void TUpdaterWindow::Place(HWND Control, const TLayoutRect& Layout) const {
  const RECT Area = Scaled(Layout);
  SetWindowPos(Control, nullptr, Area.left, Area.top, Area.right - Area.left,
               Area.bottom - Area.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

int TUpdaterWindow::TextWidth(HFONT Font, const std::wstring& Text) const {
  HDC Dc = GetDC(FHandle);
  HGDIOBJ Old = SelectObject(Dc, Font);
  // Measured the way the label draws it.
  RECT Extent{0, 0, 0, 0};
  DrawTextW(Dc, Text.c_str(), static_cast<int>(Text.size()), &Extent,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(Dc, Old);
  ReleaseDC(FHandle, Dc);
  return Extent.right - Extent.left;
}

void TUpdaterWindow::ApplyDpi(UINT Dpi, const RECT* Suggested) {
  FDpi = Dpi == 0 ? kLayoutDpi : Dpi;
  FWindowFont.Reset(MakeFont(FWindowFace, 13, FDpi));
  FBytesFont.Reset(MakeFont(FBytesFace, 11, FDpi));
  FSidePicture.Reset(MakeSidePicture(FDpi));
  for (HWND Control : {FLabDown, FStateLabel, FCancel, FRedown, FClose}) {
    SendMessageW(Control, WM_SETFONT, reinterpret_cast<WPARAM>(FWindowFont.Get()), FALSE);
  }
  SendMessageW(FBytesLabel, WM_SETFONT, reinterpret_cast<WPARAM>(FBytesFont.Get()), FALSE);
  FGauge1->SetFont(FWindowFont.Font());
  FGauge2->SetFont(FWindowFont.Font());

  PlaceLabDown();
  Place(FProgressBar, kProgressBar);
  PlaceBytesLabel();
  Place(FGauge1->Handle(), kGauge1);
  Place(FStateLabel, kStateLabel);
  Place(FGauge2->Handle(), kGauge2);
  Place(FCancel, kCancel);
  Place(FRedown, kRedown);
  Place(FClose, kClose);

  if (Suggested != nullptr) {
    SetWindowPos(FHandle, nullptr, Suggested->left, Suggested->top,
                 Suggested->right - Suggested->left, Suggested->bottom - Suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The suggested rectangle is the system's estimate: the client area is made exact either way.
  const SIZE Frame = FrameSizeForClient(Scale(ClientWidth, FDpi), Scale(ClientHeight, FDpi), kStyle,
                                        kExStyle, FDpi);
  SetWindowPos(FHandle, nullptr, 0, 0, Frame.cx, Frame.cy,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  // A system that measures the frame at another density than it draws it gets the difference
  // added, so the client area comes out exact.
  RECT Client{};
  GetClientRect(FHandle, &Client);
  const int MissingWidth = Scale(ClientWidth, FDpi) - Client.right;
  const int MissingHeight = Scale(ClientHeight, FDpi) - Client.bottom;
  if (MissingWidth != 0 || MissingHeight != 0) {
    SetWindowPos(FHandle, nullptr, 0, 0, Frame.cx + MissingWidth, Frame.cy + MissingHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
  InvalidateRect(FHandle, nullptr, TRUE);
}

// The label sizes itself to its text.
void TUpdaterWindow::PlaceLabDown() {
  TEXTMETRICW Metric{};
  HDC Dc = GetDC(FHandle);
  HGDIOBJ Old = SelectObject(Dc, FWindowFont.Get());
  GetTextMetricsW(Dc, &Metric);
  SelectObject(Dc, Old);
  ReleaseDC(FHandle, Dc);
  const int Width = TextWidth(FWindowFont.Font(), Utf8ToWide(FLabDownText));
  const int Height = std::max<int>(Scale(kLabDown.Height, FDpi), Metric.tmHeight);
  // Without the old picture: it showed the previous text at the previous size.
  SetWindowPos(FLabDown, nullptr, Scale(kLabDown.Left, FDpi), Scale(kLabDown.Top, FDpi), Width,
               Height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
  InvalidateRect(FLabDown, nullptr, TRUE);
}

// Right-aligned and sized to its text: the right edge stays at 398 of the right panel.
void TUpdaterWindow::PlaceBytesLabel() {
  const std::wstring Text = Utf8ToWide(FShownBytesText);
  const int Width =
      Text.empty() ? Scale(kBytesLabel.Width, FDpi) : TextWidth(FBytesFont.Font(), Text);
  const int Right = Scale(kBytesRight, FDpi);
  SetWindowPos(FBytesLabel, nullptr, Right - Width, Scale(kBytesLabel.Top, FDpi), Width,
               Scale(kBytesLabel.Height, FDpi), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
  InvalidateRect(FBytesLabel, nullptr, TRUE);
}

void TUpdaterWindow::Run(std::function<void()> Handler) {
  // Copied: the handler outlives a rebinding made while it runs.
  RunGuarded(Handler, FErrorDisplay);
}

void TUpdaterWindow::Create() {
  Run(FHandlers.FormCreate);
}

void TUpdaterWindow::CentreOnWorkArea() {
  MONITORINFO Monitor{};
  Monitor.cbSize = sizeof Monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(FHandle, MONITOR_DEFAULTTOPRIMARY), &Monitor)) return;
  RECT Frame{};
  GetWindowRect(FHandle, &Frame);
  const RECT& Work = Monitor.rcWork;
  const int Left = Work.left + (Work.right - Work.left - (Frame.right - Frame.left)) / 2;
  const int Top = Work.top + (Work.bottom - Work.top - (Frame.bottom - Frame.top)) / 2;
  SetWindowPos(FHandle, nullptr, Left, Top, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TUpdaterWindow::ComeUp() {
  CentreOnWorkArea();
  ShowWindow(FHandle, SW_SHOW);
  UpdateWindow(FHandle);
  FCameUp = true;
  if (FSizeNotificationPending) {
    FSizeNotificationPending = false;
    Run(FHandlers.FormResize);
  }
}

HWND TUpdaterWindow::Button(TUpdaterButton Which) const {
  switch (Which) {
    case TUpdaterButton::btnCancel:
      return FCancel;
    case TUpdaterButton::btnRedown:
      return FRedown;
    case TUpdaterButton::btnClose:
      return FClose;
  }
  return nullptr;
}

RECT TUpdaterWindow::UnzipBoxRect() const {
  return Scaled(kUnzipBox);
}

// Bevel2 lies in the right panel and is cut off at its edges.
RECT TUpdaterWindow::Bevel2Rect() const {
  RECT Area = Scaled({kPanel + FBevel2.Left, FBevel2.Top, FBevel2.Width, FBevel2.Height});
  Area.left = std::max<LONG>(Area.left, Scale(kPanel, FDpi));
  Area.right = std::min<LONG>(Area.right, Scale(ClientWidth, FDpi));
  return Area;
}

bool TUpdaterWindow::PreTranslateMessage(MSG& Message) {
  if (FHandle == nullptr || !IsWindowVisible(FHandle)) return false;
  if (Message.hwnd != FHandle && !IsChild(FHandle, Message.hwnd)) return false;
  return IsDialogMessageW(FHandle, &Message) != FALSE;
}

void TUpdaterWindow::Click(TUpdaterButton Which) {
  HWND Pressed = Button(Which);
  if (Pressed == nullptr || !IsWindowEnabled(Pressed) || !IsWindowVisible(Pressed)) return;
  switch (Which) {
    case TUpdaterButton::btnCancel:
      Run(FHandlers.btnCancelClick);
      break;
    case TUpdaterButton::btnRedown:
      Run(FHandlers.btnRedownClick);
      break;
    case TUpdaterButton::btnClose:
      Run(FHandlers.btnCloseClick);
      break;
  }
}

void TUpdaterWindow::CloseRequested() {
  bool CanClose = true;
  const bool Ran = RunGuarded(
      [this, &CanClose] {
        if (FHandlers.FormCloseQuery) CanClose = FHandlers.FormCloseQuery();
      },
      FErrorDisplay);
  if (!Ran || !CanClose) return;
  // The window goes away and the message loop ends; the window itself lives on until its owner
  // is done with it, so a view operation that still comes is harmless.
  ShowWindow(FHandle, SW_HIDE);
  PostQuitMessage(0);
}

void TUpdaterWindow::EraseBackground(HDC Dc) {
  RECT Client{};
  GetClientRect(FHandle, &Client);
  const RECT Picture = Scaled(kSidePicture);
  // Everything but the picture, which covers its part itself.
  RECT Right = Client;
  Right.left = Picture.right;
  FillRect(Dc, &Right, FaceBrush());
  RECT Below = Client;
  Below.top = Picture.bottom;
  Below.right = Picture.right;
  FillRect(Dc, &Below, FaceBrush());
}

void TUpdaterWindow::PaintUnzipBox(HDC Dc) {
  const RECT Box = Scaled(kUnzipBox);
  HGDIOBJ Old = SelectObject(Dc, FWindowFont.Get());
  TEXTMETRICW Metric{};
  GetTextMetricsW(Dc, &Metric);
  RECT Frame = Box;
  Frame.top += Metric.tmHeight / 2;
  DrawEdge(Dc, &Frame, EDGE_ETCHED, BF_RECT);
  const std::wstring Caption = Utf8ToWide(FUnzipCaption);
  const int Indent = Scale(8, FDpi);
  const int Pad = Scale(2, FDpi);
  const int Width = TextWidth(FWindowFont.Font(), Caption);
  RECT Title{Box.left + Indent - Pad, Box.top, Box.left + Indent + Width + Pad,
             Box.top + Metric.tmHeight};
  Title.right = std::min(Title.right, Box.right - Indent);
  SetBkColor(Dc, GetSysColor(COLOR_BTNFACE));
  SetTextColor(Dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkMode(Dc, OPAQUE);
  ExtTextOutW(Dc, Box.left + Indent, Box.top, ETO_OPAQUE | ETO_CLIPPED, &Title, Caption.c_str(),
              static_cast<UINT>(Caption.size()), nullptr);
  SelectObject(Dc, Old);
}

void TUpdaterWindow::Paint() {
  PAINTSTRUCT Paint{};
  HDC Dc = BeginPaint(FHandle, &Paint);
  const RECT Picture = Scaled(kSidePicture);
  HDC Memory = CreateCompatibleDC(Dc);
  HGDIOBJ Old = SelectObject(Memory, FSidePicture.Get());
  BitBlt(Dc, 0, 0, Picture.right, Picture.bottom, Memory, 0, 0, SRCCOPY);
  SelectObject(Memory, Old);
  DeleteDC(Memory);

  // Bevel1: the sunken vertical line between the picture and the right panel.
  const int Line = std::max(1, Scale(1, FDpi));
  const int Bevel1 = Picture.right;
  RECT Shadow{Bevel1, 0, Bevel1 + Line, Picture.bottom};
  FillRect(Dc, &Shadow, GetSysColorBrush(COLOR_BTNSHADOW));
  RECT Light{Bevel1 + Line, 0, Bevel1 + 2 * Line, Picture.bottom};
  FillRect(Dc, &Light, GetSysColorBrush(COLOR_BTNHIGHLIGHT));

  // Bevel2: the sunken horizontal separator above the buttons.
  const RECT Bevel2 = Bevel2Rect();
  if (Bevel2.right > Bevel2.left) {
    RECT Top{Bevel2.left, Bevel2.top, Bevel2.right, Bevel2.top + Line};
    FillRect(Dc, &Top, GetSysColorBrush(COLOR_BTNSHADOW));
    RECT Bottom{Bevel2.left, Bevel2.top + Line, Bevel2.right, Bevel2.top + 2 * Line};
    FillRect(Dc, &Bottom, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
  }
  if (FUnzipVisible) PaintUnzipBox(Dc);
  EndPaint(FHandle, &Paint);
}

// A tool button with the glyph above its caption: flat, raised under the mouse, sunken while
// pressed.
void TUpdaterWindow::DrawButton(const DRAWITEMSTRUCT& Item) {
  HDC Dc = Item.hDC;
  RECT Area = Item.rcItem;
  FillRect(Dc, &Area, FaceBrush());
  const bool Enabled = (Item.itemState & ODS_DISABLED) == 0;
  const bool Pressed = (Item.itemState & ODS_SELECTED) != 0;
  if (Enabled && Pressed) {
    DrawEdge(Dc, &Area, BDR_SUNKENOUTER, BF_RECT);
  } else if (Enabled && Item.hwndItem == FHotButton) {
    DrawEdge(Dc, &Area, BDR_RAISEDINNER, BF_RECT);
  }
  const int Shift = Pressed ? 1 : 0;

  wchar_t Caption[32] = L"";
  const int Length = GetWindowTextW(Item.hwndItem, Caption, static_cast<int>(std::size(Caption)));
  HGDIOBJ Old = SelectObject(Dc, FWindowFont.Get());
  TEXTMETRICW Metric{};
  GetTextMetricsW(Dc, &Metric);
  const TGlyph Glyph = GlyphOf(static_cast<int>(Item.CtlID));
  const int GlyphWidth = Scale(16, FDpi);
  const int GlyphHeight = Scale(Glyph == TGlyph::gCancel ? 17 : 16, FDpi);
  const int Gap = Scale(3, FDpi);
  const int Content = GlyphHeight + Gap + Metric.tmHeight;
  const int Top = Area.top + (Area.bottom - Area.top - Content) / 2 + Shift;
  const int GlyphLeft = Area.left + (Area.right - Area.left - GlyphWidth) / 2 + Shift;
  PaintGlyph(Dc, Glyph, GlyphLeft, Top, FDpi, Enabled);

  RECT Text{Area.left + Shift, Top + GlyphHeight + Gap, Area.right + Shift,
            Top + GlyphHeight + Gap + Metric.tmHeight};
  SetBkMode(Dc, TRANSPARENT);
  if (Enabled) {
    SetTextColor(Dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(Dc, Caption, Length, &Text, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  } else {
    // The engraved look of a disabled caption.
    RECT Engraved = Text;
    OffsetRect(&Engraved, 1, 1);
    SetTextColor(Dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextW(Dc, Caption, Length, &Engraved, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(Dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(Dc, Caption, Length, &Text, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(Dc, Old);
  if ((Item.itemState & ODS_FOCUS) != 0 && (Item.itemState & ODS_NOFOCUSRECT) == 0) {
    RECT Focus = Area;
    InflateRect(&Focus, -Scale(3, FDpi), -Scale(3, FDpi));
    DrawFocusRect(Dc, &Focus);
  }
}

LRESULT TUpdaterWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(WParam));
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC Dc = reinterpret_cast<HDC>(WParam);
      const auto Control = reinterpret_cast<HWND>(LParam);
      SetBkColor(Dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(
          Dc, Control == FLabDown || Control == FBytesLabel ? kBlue : GetSysColor(COLOR_BTNTEXT));
      return reinterpret_cast<LRESULT>(FaceBrush());
    }
    case WM_DRAWITEM:
      DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(LParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(WParam)) {
        case kCancelId:
          Click(TUpdaterButton::btnCancel);
          return 0;
        case kRedownId:
          Click(TUpdaterButton::btnRedown);
          return 0;
        case kCloseId:
          Click(TUpdaterButton::btnClose);
          return 0;
        case IDCANCEL:  // Esc is Cancel while Cancel can be pressed
          Click(TUpdaterButton::btnCancel);
          return 0;
        case IDOK: {  // Enter presses the button that has the focus
          const HWND Focus = GetFocus();
          if (Focus == FCancel) Click(TUpdaterButton::btnCancel);
          if (Focus == FRedown) Click(TUpdaterButton::btnRedown);
          if (Focus == FClose) Click(TUpdaterButton::btnClose);
          return 0;
        }
        default:
          break;
      }
      break;
    case WM_TIMER:
      if (WParam == kBytesTextTimer) {
        KillTimer(FHandle, kBytesTextTimer);
        FBytesTextThrottle.Passed(TRepaintThrottle::Clock::now());
        ShowBytesText();
        return 0;
      }
      break;
    case WM_SIZE: {
      if (WParam == SIZE_MINIMIZED) return 0;
      const SIZE Size{LOWORD(LParam), HIWORD(LParam)};
      const bool Changed = Size.cx != FLastClientSize.cx || Size.cy != FLastClientSize.cy;
      FLastClientSize = Size;
      if (!Changed) return 0;
      if (!FCameUp) {
        // The window is not on the screen yet: ComeUp hands the notification on once it is
        // there to be seen while the run goes on.
        FSizeNotificationPending = true;
        return 0;
      }
      Run(FHandlers.FormResize);
      return 0;
    }
    case WM_DPICHANGED:
      ApplyDpi(HIWORD(WParam), reinterpret_cast<const RECT*>(LParam));
      return 0;
    case WM_CLOSE:
      CloseRequested();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(FHandle, Message, WParam, LParam);
}

LRESULT CALLBACK TUpdaterWindow::WindowProc(HWND Window, UINT Message, WPARAM WParam,
                                            LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    auto* Created = static_cast<TUpdaterWindow*>(
        reinterpret_cast<const CREATESTRUCTW*>(LParam)->lpCreateParams);
    Created->FHandle = Window;
    SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Created));
  }
  auto* Self = reinterpret_cast<TUpdaterWindow*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (Self == nullptr) return DefWindowProcW(Window, Message, WParam, LParam);
  return Self->HandleMessage(Message, WParam, LParam);
}

LRESULT CALLBACK TUpdaterWindow::ButtonProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam,
                                            UINT_PTR /*Id*/, DWORD_PTR Data) {
  auto* Self = reinterpret_cast<TUpdaterWindow*>(Data);
  switch (Message) {
    case WM_MOUSEMOVE:
      if (Self->FHotButton != Window) {
        HWND Before = Self->FHotButton;
        Self->FHotButton = Window;
        TRACKMOUSEEVENT Track{sizeof Track, TME_LEAVE, Window, 0};
        TrackMouseEvent(&Track);
        if (Before != nullptr) InvalidateRect(Before, nullptr, FALSE);
        InvalidateRect(Window, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      if (Self->FHotButton == Window) {
        Self->FHotButton = nullptr;
        InvalidateRect(Window, nullptr, FALSE);
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(Window, ButtonProc, kButtonSubclass);
      break;
    default:
      break;
  }
  return DefSubclassProc(Window, Message, WParam, LParam);
}

void TUpdaterWindow::SetLabDownText(const std::string& Text) {
  FLabDownText = Text;
  SetWindowTextW(FLabDown, Utf8ToWide(Text).c_str());
  PlaceLabDown();
}

void TUpdaterWindow::RefreshLabDown() {
  RedrawWindow(FLabDown, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  UpdateWindow(FHandle);
}

void TUpdaterWindow::SetBytesText(const std::string& Text) {
  if (Text == FBytesText) return;
  FBytesText = Text;
  const auto Now = TRepaintThrottle::Clock::now();
  if (FBytesTextThrottle.Admit(Now)) {
    ShowBytesText();
  } else {
    const auto Wait =
        std::chrono::ceil<std::chrono::milliseconds>(FBytesTextThrottle.Remaining(Now));
    // Setting the timer again only moves its due time: one text is shown when it fires.
    SetTimer(FHandle, kBytesTextTimer, static_cast<UINT>(std::max<long long>(Wait.count(), 1)),
             nullptr);
  }
}

void TUpdaterWindow::ShowBytesText() {
  KillTimer(FHandle, kBytesTextTimer);
  if (FBytesText == FShownBytesText) return;
  FShownBytesText = FBytesText;
  SetWindowTextW(FBytesLabel, Utf8ToWide(FShownBytesText).c_str());
  PlaceBytesLabel();
}

void TUpdaterWindow::SetBytesVisible(bool Visible) {
  ShowBytesText();
  ShowWindow(FBytesLabel, Visible ? SW_SHOWNA : SW_HIDE);
}

int TUpdaterWindow::FilledPixels(int Position) const {
  if (FProgressMax <= 0) return 0;
  RECT Bar{};
  GetClientRect(FProgressBar, &Bar);
  return static_cast<int>(std::int64_t{Position} * Bar.right / FProgressMax);
}

void TUpdaterWindow::SetProgressMax(int Max) {
  FProgressMax = std::max(Max, 0);
  SendMessageW(FProgressBar, PBM_SETRANGE32, 0, FProgressMax);
  FProgressPosition = std::clamp(FProgressPosition, 0, FProgressMax);
  FBarValue = FProgressPosition;
  SendMessageW(FProgressBar, PBM_SETPOS, static_cast<WPARAM>(FBarValue), 0);
}

// Telling the bar its value costs more than a block of the transfer, so the bar hears of a new
// position only when its filled part grows or shrinks by a pixel, or reaches either end.
void TUpdaterWindow::SetProgressPosition(int Position) {
  Position = std::clamp(Position, 0, FProgressMax);
  if (Position == FProgressPosition) return;
  FProgressPosition = Position;
  if (Position == 0 || Position == FProgressMax ||
      FilledPixels(Position) != FilledPixels(FBarValue)) {
    FBarValue = Position;
    SendMessageW(FProgressBar, PBM_SETPOS, static_cast<WPARAM>(Position), 0);
  }
}

void TUpdaterWindow::SetUnzipCaption(const std::string& Caption) {
  FUnzipCaption = Caption;
  const RECT Box = UnzipBoxRect();
  InvalidateRect(FHandle, &Box, TRUE);
}

void TUpdaterWindow::RefreshUnzip() {
  const RECT Box = UnzipBoxRect();
  RedrawWindow(FHandle, &Box, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TUpdaterWindow::SetUnzipVisible(bool Visible) {
  if (Visible == FUnzipVisible) return;
  FUnzipVisible = Visible;
  const int Show = Visible ? SW_SHOWNA : SW_HIDE;
  ShowWindow(FGauge1->Handle(), Show);
  ShowWindow(FStateLabel, Show);
  ShowWindow(FGauge2->Handle(), Show);
  const RECT Box = UnzipBoxRect();
  InvalidateRect(FHandle, &Box, TRUE);
}

void TUpdaterWindow::SetGauge1Progress(int Progress) {
  FGauge1->SetProgress(Progress);
}

void TUpdaterWindow::SetGauge2Progress(int Progress) {
  FGauge2->SetProgress(Progress);
}

void TUpdaterWindow::SetButtonEnabled(TUpdaterButton Which, bool Enabled) {
  HWND Control = Button(Which);
  if (Control != nullptr) EnableWindow(Control, Enabled ? TRUE : FALSE);
}

void TUpdaterWindow::SetBevel2Bounds(int Left, int Top, int Width) {
  RECT Before = Bevel2Rect();
  InvalidateRect(FHandle, &Before, TRUE);
  FBevel2 = {Left, Top, Width, FBevel2.Height};
  RECT After = Bevel2Rect();
  InvalidateRect(FHandle, &After, TRUE);
}

int TUpdaterWindow::CancelButtonTop() const {
  return kButtonTop;
}

int TUpdaterWindow::RightPanelWidth() const {
  return ClientWidth - RightPanelLeft;
}

void TUpdaterWindow::AddQueueRow(const std::string& Caption,
                                 const std::vector<std::string>& SubItems) {
  FQueue.push_back({Caption, SubItems});
}

int TUpdaterWindow::QueueRowCount() const {
  return static_cast<int>(FQueue.size());
}

std::string TUpdaterWindow::QueueRowCaption(int Row) const {
  if (Row < 0 || Row >= QueueRowCount()) return {};
  return FQueue[static_cast<std::size_t>(Row)].Caption;
}

void* TUpdaterWindow::QueueRowData(int Row) {
  if (Row < 0 || Row >= QueueRowCount()) return nullptr;
  return &FQueue[static_cast<std::size_t>(Row)];
}

}  // namespace ruvevid::win32
