#include "ui/win32/GaugeWin32.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace ruvevid::win32 {
namespace {

int Truncate(double Value) {
  constexpr double Low = std::numeric_limits<int>::min();
  constexpr double High = std::numeric_limits<int>::max();
  if (std::isnan(Value)) return 0;
  return static_cast<int>(std::trunc(std::clamp(Value, Low, High)));
}

// Fills from (Left, Top) to (Right, Bottom), right and bottom edges excluded; nothing when empty.
void FillEdges(HDC Dc, int Left, int Top, int Right, int Bottom, COLORREF Colour) {
  if (Right <= Left || Bottom <= Top) return;
  const RECT Area{Left, Top, Right, Bottom};
  SetBkColor(Dc, Colour);
  ExtTextOutW(Dc, 0, 0, ETO_OPAQUE, &Area, nullptr, 0, nullptr);
}

// The same font without smoothing: every pixel of the text is either inverted or left alone.
HFONT UnsmoothedFont(HFONT Font) {
  LOGFONTW Description{};
  if (Font == nullptr || GetObjectW(Font, sizeof Description, &Description) == 0) {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof Description, &Description);
  }
  Description.lfQuality = NONANTIALIASED_QUALITY;
  return CreateFontIndirectW(&Description);
}

void PaintText(HDC Dc, const RECT& Inner, const TGaugeLook& Look) {
  const std::wstring Text = std::to_wstring(Look.Percentage) + L"%";
  HDC Mask = CreateCompatibleDC(Dc);
  HBITMAP Bits = CreateCompatibleBitmap(Dc, Look.Width, Look.Height);
  HGDIOBJ OldBits = SelectObject(Mask, Bits);
  HFONT Font = UnsmoothedFont(Look.Font);
  HGDIOBJ OldFont = SelectObject(Mask, Font);

  const RECT All{0, 0, Look.Width, Look.Height};
  FillRect(Mask, &All, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SIZE Extent{};
  GetTextExtentPoint32W(Mask, Text.c_str(), static_cast<int>(Text.size()), &Extent);
  TEXTMETRICW Metric{};
  GetTextMetricsW(Mask, &Metric);
  const int X = (Inner.right - Inner.left + 1 - Extent.cx) / 2;
  const int Y = (Inner.bottom - Inner.top + 1 - Metric.tmHeight) / 2;
  IntersectClipRect(Mask, Inner.left, Inner.top, Inner.right, Inner.bottom);
  SetBkMode(Mask, TRANSPARENT);
  SetTextColor(Mask, RGB(255, 255, 255));
  SetTextAlign(Mask, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutW(Mask, X, Y, Text.c_str(), static_cast<int>(Text.size()));

  BitBlt(Dc, 0, 0, Look.Width, Look.Height, Mask, 0, 0, SRCINVERT);

  SelectObject(Mask, OldFont);
  DeleteObject(Font);
  SelectObject(Mask, OldBits);
  DeleteObject(Bits);
  DeleteDC(Mask);
}

}  // namespace

int GaugePercentage(int MinValue, int MaxValue, int Progress) {
  if (MaxValue == MinValue) return 0;
  const double Range = static_cast<double>(MaxValue) - static_cast<double>(MinValue);
  return Truncate((static_cast<double>(Progress) - static_cast<double>(MinValue)) * 100.0 / Range);
}

int GaugeFilledLength(int Length, int Percent) {
  return Truncate(Length * (Percent * 0.01));
}

void PaintGauge(HDC Dc, const TGaugeLook& Look) {
  FillEdges(Dc, 0, 0, Look.Width, Look.Height, RGB(0, 0, 0));
  RECT Inner{0, 0, Look.Width, Look.Height};
  if (Look.Border) Inner = {1, 1, Look.Width - 1, Look.Height - 1};
  // The bar is combined with a black image, so it lands as drawn; its filled part runs to the
  // filled length of the inner width measured from the control's left edge, like the frame's
  // drawing rules have it.
  const int W = Inner.right - Inner.left + 1;
  const int H = Inner.bottom - Inner.top + 1;
  FillEdges(Dc, Inner.left, Inner.top, Inner.right, Inner.bottom, Look.BackColor);
  const int FillSize = std::min(GaugeFilledLength(W, Look.Percentage), W);
  if (FillSize > 0) {
    FillEdges(Dc, Inner.left, Inner.top, std::min<int>(FillSize, Inner.right),
              std::min<int>(H, Inner.bottom), Look.ForeColor);
  }
  if (Look.ShowText) PaintText(Dc, Inner, Look);
}

void TGauge::RegisterGaugeClass(HINSTANCE Instance) {
  WNDCLASSEXW Class{};
  if (GetClassInfoExW(Instance, kClassName, &Class)) return;
  Class.cbSize = sizeof Class;
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = Instance;
  Class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  Class.lpszClassName = kClassName;
  RegisterClassExW(&Class);
}

TGauge::TGauge(HWND Parent, HINSTANCE Instance, int Id) {
  RegisterGaugeClass(Instance);
  FHandle = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 100, 100, Parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), Instance, this);
}

TGauge::~TGauge() {
  if (FHandle != nullptr) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(FHandle);
  }
}

void TGauge::SetProgress(int Value) {
  const int Before = Percentage();
  Value = std::clamp(Value, FMinValue, FMaxValue);
  if (Value == FProgress) return;
  FProgress = Value;
  if (Percentage() != Before) Invalidate();
}

void TGauge::SetForeColor(COLORREF Value) {
  if (Value == FForeColor) return;
  FForeColor = Value;
  Invalidate();
}

void TGauge::SetFont(HFONT Font) {
  FFont = Font;
  Invalidate();
}

TGaugeLook TGauge::Look() const {
  RECT Client{};
  GetClientRect(FHandle, &Client);
  TGaugeLook Look;
  Look.Width = std::max<int>(Client.right, 1);
  Look.Height = std::max<int>(Client.bottom, 1);
  Look.ForeColor = FForeColor;
  Look.BackColor = FBackColor;
  Look.Percentage = Percentage();
  Look.Font = FFont;
  return Look;
}

// The request is queued: the window system paints it at its next pass together with every
// other change, so a burst of progress steps costs one paint.
void TGauge::Invalidate() {
  ++FRepaintRequests;
  if (FHandle != nullptr) InvalidateRect(FHandle, nullptr, FALSE);
}

// Drawn off-screen and copied in one piece, so the bar never flickers through black.
void TGauge::Paint() {
  PAINTSTRUCT Paint{};
  HDC Dc = BeginPaint(FHandle, &Paint);
  const TGaugeLook Current = Look();
  HDC Memory = CreateCompatibleDC(Dc);
  HBITMAP Bits = CreateCompatibleBitmap(Dc, Current.Width, Current.Height);
  HGDIOBJ Old = SelectObject(Memory, Bits);
  PaintGauge(Memory, Current);
  BitBlt(Dc, 0, 0, Current.Width, Current.Height, Memory, 0, 0, SRCCOPY);
  SelectObject(Memory, Old);
  DeleteObject(Bits);
  DeleteDC(Memory);
  EndPaint(FHandle, &Paint);
}

LRESULT CALLBACK TGauge::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    const auto* Create = reinterpret_cast<const CREATESTRUCTW*>(LParam);
    SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Create->lpCreateParams));
  }
  auto* Gauge = reinterpret_cast<TGauge*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (Gauge != nullptr) {
    switch (Message) {
      case WM_ERASEBKGND:
        return 1;  // every pixel is painted
      case WM_PAINT:
        Gauge->FHandle = Window;
        Gauge->Paint();
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(Window, Message, WParam, LParam);
}

}  // namespace ruvevid::win32
