#include "ui/win32/UpdaterArtWin32.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "ui/win32/DpiWin32.h"

namespace ruvevid::win32 {
namespace {

struct TColour {
  double R = 0;
  double G = 0;
  double B = 0;
};

TColour Mix(const TColour& From, const TColour& To, double T) {
  return {From.R + (To.R - From.R) * T, From.G + (To.G - From.G) * T, From.B + (To.B - From.B) * T};
}

std::uint32_t Pixel(const TColour& C) {
  const auto Channel = [](double V) {
    return static_cast<std::uint32_t>(std::clamp(std::lround(V), 0L, 255L));
  };
  return 0xFF000000u | Channel(C.R) << 16 | Channel(C.G) << 8 | Channel(C.B);
}

// The sky: a vertical gradient with a soft white glow in the upper right, computed per pixel in
// layout units so that every density shows the same picture.
void PaintSky(std::uint32_t* Bits, int Width, int Height, double Factor) {
  const TColour Top{22, 62, 138};
  const TColour Middle{46, 120, 200};
  const TColour Bottom{150, 200, 240};
  const TColour White{255, 255, 255};
  for (int Y = 0; Y < Height; ++Y) {
    const double LayoutY = (Y + 0.5) / Factor;
    const double T = std::clamp(LayoutY / kSidePictureHeight, 0.0, 1.0);
    const TColour Row = T < 0.6 ? Mix(Top, Middle, T / 0.6) : Mix(Middle, Bottom, (T - 0.6) / 0.4);
    for (int X = 0; X < Width; ++X) {
      const double Dx = (X + 0.5) / Factor - 180.0;
      const double Dy = LayoutY - 60.0;
      const double Distance = std::sqrt(Dx * Dx + Dy * Dy);
      const double Glow = Distance < 140.0 ? 70.0 / 255.0 * (1.0 - Distance / 140.0) : 0.0;
      Bits[static_cast<std::size_t>(Y) * static_cast<std::size_t>(Width) +
           static_cast<std::size_t>(X)] = Pixel(Mix(Row, White, Glow));
    }
  }
}

// Draws in layout units from here on: the world transform scales them to the density.
void UseLayoutUnits(HDC Dc, double Factor, double OffsetX = 0, double OffsetY = 0) {
  SetGraphicsMode(Dc, GM_ADVANCED);
  const XFORM Transform{
      static_cast<FLOAT>(Factor), 0, 0, static_cast<FLOAT>(Factor), static_cast<FLOAT>(OffsetX),
      static_cast<FLOAT>(OffsetY)};
  SetWorldTransform(Dc, &Transform);
}

// Multiplies the current transform by a turn of Degrees about (CentreX, CentreY).
void Turn(HDC Dc, double Degrees, double CentreX, double CentreY) {
  const double A = Degrees * std::numbers::pi / 180.0;
  const auto C = static_cast<FLOAT>(std::cos(A));
  const auto S = static_cast<FLOAT>(std::sin(A));
  const auto X = static_cast<FLOAT>(CentreX);
  const auto Y = static_cast<FLOAT>(CentreY);
  const XFORM Rotation{C, S, -S, C, X - C * X + S * Y, Y - S * X - C * Y};
  ModifyWorldTransform(Dc, &Rotation, MWT_LEFTMULTIPLY);
}

HPEN MakePen(COLORREF Colour, int Width, bool Round = false) {
  LOGBRUSH Brush{BS_SOLID, Colour, 0};
  const DWORD Style =
      PS_GEOMETRIC | PS_SOLID | (Round ? PS_ENDCAP_ROUND | PS_JOIN_ROUND : PS_ENDCAP_FLAT);
  return ExtCreatePen(Style, static_cast<DWORD>(Width), &Brush, 0, nullptr);
}

// Selects a pen and a brush for one shape and deletes them afterwards.
class TTools {
 public:
  TTools(HDC Dc, HPEN Pen, HBRUSH Brush)
      : FDc(Dc),
        FPen(Pen),
        FBrush(Brush),
        FOldPen(SelectObject(Dc, Pen)),
        FOldBrush(SelectObject(Dc, Brush)) {}
  ~TTools() {
    SelectObject(FDc, FOldPen);
    SelectObject(FDc, FOldBrush);
    DeleteObject(FPen);
    DeleteObject(FBrush);
  }
  TTools(const TTools&) = delete;
  TTools& operator=(const TTools&) = delete;

 private:
  HDC FDc;
  HPEN FPen;
  HBRUSH FBrush;
  HGDIOBJ FOldPen;
  HGDIOBJ FOldBrush;
};

HPEN NoPen() {
  LOGBRUSH Brush{BS_NULL, 0, 0};
  return ExtCreatePen(PS_GEOMETRIC | PS_NULL, 1, &Brush, 0, nullptr);
}

HBRUSH NoBrush() {
  LOGBRUSH Brush{BS_NULL, 0, 0};
  return CreateBrushIndirect(&Brush);
}

// A rectangle with rounded corners of Radius, as a polygon: unlike RoundRect, a polygon follows
// a turning world transform on every system.
void RoundedBox(HDC Dc, double Left, double Top, double Right, double Bottom, double Radius) {
  constexpr int kCornerSteps = 6;
  const double Centres[4][2] = {{Right - Radius, Top + Radius},
                                {Left + Radius, Top + Radius},
                                {Left + Radius, Bottom - Radius},
                                {Right - Radius, Bottom - Radius}};
  POINT Points[4 * (kCornerSteps + 1)];
  int Count = 0;
  for (int Corner = 0; Corner < 4; ++Corner) {
    for (int Step = 0; Step <= kCornerSteps; ++Step) {
      const double A = (Corner * 90.0 + Step * 90.0 / kCornerSteps) * std::numbers::pi / 180.0;
      Points[Count++] = {static_cast<LONG>(std::lround(Centres[Corner][0] + Radius * std::cos(A))),
                         static_cast<LONG>(std::lround(Centres[Corner][1] - Radius * std::sin(A)))};
    }
  }
  Polygon(Dc, Points, Count);
}

void Line(HDC Dc, int X1, int Y1, int X2, int Y2) {
  MoveToEx(Dc, X1, Y1, nullptr);
  LineTo(Dc, X2, Y2);
}

// A sheet of blank labels, slightly turned, as a label printer feeds it.
void PaintLabelSheet(HDC Dc, int Left, int Top, int Width, int Height) {
  const int SaveId = SaveDC(Dc);
  Turn(Dc, -8, Left + Width / 2.0, Top + Height / 2.0);
  {
    // The shadow: black at a fifth of its strength over the sky beneath.
    TTools Tools(Dc, NoPen(), CreateSolidBrush(RGB(30, 80, 150)));
    RoundedBox(Dc, Left + 4, Top + 5, Left + Width + 4, Top + Height + 5, 6);
  }
  {
    TTools Tools(Dc, NoPen(), CreateSolidBrush(RGB(250, 252, 255)));
    RoundedBox(Dc, Left, Top, Left + Width, Top + Height, 6);
  }
  constexpr int Gap = 8;
  const int LabelHeight = (Height - 5 * Gap) / 4;
  for (int Row = 0; Row < 4; ++Row) {
    const int L = Left + Gap;
    const int T = Top + Gap + Row * (LabelHeight + Gap);
    const int R = Left + Width - Gap;
    const int B = T + LabelHeight;
    {
      TTools Tools(Dc, MakePen(RGB(120, 160, 215), 1),
                   CreateSolidBrush(Row == 1 ? RGB(255, 236, 170) : RGB(235, 243, 255)));
      RoundedBox(Dc, L, T, R, B, 5);
    }
    const int Y = (T + B) / 2;
    {
      TTools Tools(Dc, MakePen(RGB(90, 120, 170), 2, true), NoBrush());
      Line(Dc, L + 10, Y - 5, R - 22, Y - 5);
      Line(Dc, L + 10, Y + 4, R - 40, Y + 4);
    }
    // A small bar code at the right end of each label.
    TTools Tools(Dc, MakePen(RGB(40, 50, 70), 1), NoBrush());
    for (int Bar = 0; Bar < 6; ++Bar) {
      const int X = R - 18 + Bar * 2;
      Line(Dc, X, Y - 8, X, Y + 8);
    }
  }
  RestoreDC(Dc, SaveId);
}

void PaintDownArrow(HDC Dc, int TipX, int TipY, int Size, COLORREF Colour) {
  const int Narrow = Size * 2 / 5;
  const POINT Arrow[] = {{TipX, TipY},
                         {TipX - Size, TipY - Size},
                         {TipX - Narrow, TipY - Size},
                         {TipX - Narrow, TipY - Size * 2},
                         {TipX + Narrow, TipY - Size * 2},
                         {TipX + Narrow, TipY - Size},
                         {TipX + Size, TipY - Size}};
  TTools Tools(Dc, NoPen(), CreateSolidBrush(Colour));
  Polygon(Dc, Arrow, static_cast<int>(std::size(Arrow)));
}

void PaintText(HDC Dc, const wchar_t* Text, int Left, int Top, int Height, int PixelSize, bool Bold,
               COLORREF Colour) {
  HFONT Font =
      MakeFont(ResolveFace({L"Tahoma", L"Segoe UI", L"Arial"}), PixelSize, kLayoutDpi, Bold);
  HGDIOBJ Old = SelectObject(Dc, Font);
  SetBkMode(Dc, TRANSPARENT);
  SetTextColor(Dc, Colour);
  RECT Box{Left, Top, Left + 200, Top + Height};
  DrawTextW(Dc, Text, -1, &Box, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(Dc, Old);
  DeleteObject(Font);
}

// A colour as the glyph shows it: disabled glyphs turn into light greys.
COLORREF GlyphColour(COLORREF Colour, bool Enabled) {
  if (Enabled) return Colour;
  const int Grey = (GetRValue(Colour) * 30 + GetGValue(Colour) * 59 + GetBValue(Colour) * 11) / 100;
  const int Light = (Grey + 2 * 192) / 3;
  return RGB(Light, Light, Light);
}

void PaintCancel(HDC Dc, bool Enabled) {
  {
    TTools Tools(Dc, MakePen(GlyphColour(RGB(150, 20, 20), Enabled), 1),
                 CreateSolidBrush(GlyphColour(RGB(215, 45, 40), Enabled)));
    Ellipse(Dc, 0, 1, 16, 17);
  }
  TTools Tools(Dc, MakePen(RGB(255, 255, 255), 2, true), NoBrush());
  Line(Dc, 5, 5, 11, 11);
  Line(Dc, 11, 5, 5, 11);
}

void PaintRestart(HDC Dc, bool Enabled) {
  const COLORREF Green = GlyphColour(RGB(30, 140, 60), Enabled);
  {
    // The arc runs anticlockwise from 60 degrees over 280 degrees.
    TTools Tools(Dc, MakePen(Green, 2), NoBrush());
    SetArcDirection(Dc, AD_COUNTERCLOCKWISE);
    const double Start = 60.0 * std::numbers::pi / 180.0;
    const double End = 340.0 * std::numbers::pi / 180.0;
    Arc(Dc, 3, 3, 14, 14, static_cast<int>(std::lround(8 + 6 * std::cos(Start))),
        static_cast<int>(std::lround(8 - 6 * std::sin(Start))),
        static_cast<int>(std::lround(8 + 6 * std::cos(End))),
        static_cast<int>(std::lround(8 - 6 * std::sin(End))));
  }
  const POINT Head[] = {{9, 0}, {15, 3}, {10, 7}};
  TTools Tools(Dc, NoPen(), CreateSolidBrush(Green));
  Polygon(Dc, Head, 3);
}

void PaintClose(HDC Dc, bool Enabled) {
  // A door standing open with an arrow leaving through it.
  {
    TTools Tools(Dc, MakePen(GlyphColour(RGB(90, 60, 30), Enabled), 1),
                 CreateSolidBrush(GlyphColour(RGB(200, 150, 90), Enabled)));
    Rectangle(Dc, 1, 1, 10, 15);
  }
  {
    const POINT Leaf[] = {{1, 1}, {6, 3}, {6, 15}, {1, 14}};
    TTools Tools(Dc, MakePen(GlyphColour(RGB(90, 60, 30), Enabled), 1),
                 CreateSolidBrush(GlyphColour(RGB(150, 100, 50), Enabled)));
    Polygon(Dc, Leaf, 4);
  }
  TTools Tools(Dc, MakePen(GlyphColour(RGB(30, 100, 200), Enabled), 2, true), NoBrush());
  Line(Dc, 9, 8, 14, 8);
  Line(Dc, 12, 6, 14, 8);
  Line(Dc, 12, 10, 14, 8);
}

}  // namespace

HBITMAP MakeSidePicture(UINT Dpi) {
  const int Width = Scale(kSidePictureWidth, Dpi);
  const int Height = Scale(kSidePictureHeight, Dpi);
  const double Factor = static_cast<double>(Dpi) / kLayoutDpi;
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof Info.bmiHeader;
  Info.bmiHeader.biWidth = Width;
  Info.bmiHeader.biHeight = -Height;  // top-down
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  Info.bmiHeader.biCompression = BI_RGB;
  void* Bits = nullptr;
  HBITMAP Picture = CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (Picture == nullptr) return nullptr;
  PaintSky(static_cast<std::uint32_t*>(Bits), Width, Height, Factor);

  HDC Dc = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(Dc, Picture);
  UseLayoutUnits(Dc, Factor);
  PaintLabelSheet(Dc, 48, 118, 132, 168);
  PaintDownArrow(Dc, 170, 112, 16, RGB(255, 200, 60));
  PaintText(Dc, L"Ruvevid", 18, 24, 32, 26, true, RGB(255, 255, 255));
  PaintText(Dc, L"Label Maker", 20, 56, 20, 14, false, RGB(220, 235, 255));
  {
    // White at half strength over the sky.
    TTools Tools(Dc, MakePen(RGB(140, 170, 215), 1), NoBrush());
    Line(Dc, 20, 82, 150, 82);
  }
  PaintText(Dc, L"Update", 18, 306, 20, 14, false, RGB(20, 50, 100));
  SelectObject(Dc, Old);
  DeleteDC(Dc);
  return Picture;
}

HICON MakeWindowIcon(int Size) {
  HDC Screen = GetDC(nullptr);
  HBITMAP Colour = CreateCompatibleBitmap(Screen, Size, Size);
  HBITMAP Mask = CreateBitmap(Size, Size, 1, 1, nullptr);
  ReleaseDC(nullptr, Screen);
  const double Factor = Size / 48.0;

  HDC Dc = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(Dc, Mask);
  // The mask: white (transparent) around the rounded face, black over it.
  const RECT All{0, 0, Size, Size};
  FillRect(Dc, &All, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  UseLayoutUnits(Dc, Factor);
  {
    TTools Tools(Dc, NoPen(), CreateSolidBrush(RGB(0, 0, 0)));
    RoundRect(Dc, 2, 2, 47, 47, 18, 18);
  }
  ModifyWorldTransform(Dc, nullptr, MWT_IDENTITY);
  SelectObject(Dc, Colour);
  FillRect(Dc, &All, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  UseLayoutUnits(Dc, Factor);
  {
    TTools Tools(Dc, MakePen(RGB(15, 45, 100), 2), CreateSolidBrush(RGB(42, 100, 182)));
    RoundRect(Dc, 2, 2, 47, 47, 18, 18);
  }
  {
    TTools Tools(Dc, NoPen(), CreateSolidBrush(RGB(250, 252, 255)));
    RoundRect(Dc, 9, 20, 40, 41, 8, 8);
  }
  {
    TTools Tools(Dc, MakePen(RGB(90, 120, 170), 2, true), NoBrush());
    Line(Dc, 14, 27, 30, 27);
    Line(Dc, 14, 33, 25, 33);
  }
  PaintDownArrow(Dc, 34, 22, 8, RGB(255, 200, 60));
  SelectObject(Dc, Old);
  DeleteDC(Dc);

  ICONINFO Info{};
  Info.fIcon = TRUE;
  Info.hbmMask = Mask;
  Info.hbmColor = Colour;
  HICON Icon = CreateIconIndirect(&Info);
  DeleteObject(Mask);
  DeleteObject(Colour);
  return Icon;
}

void PaintGlyph(HDC Dc, TGlyph Glyph, int X, int Y, UINT Dpi, bool Enabled) {
  const int SaveId = SaveDC(Dc);
  UseLayoutUnits(Dc, static_cast<double>(Dpi) / kLayoutDpi, X, Y);
  switch (Glyph) {
    case TGlyph::gCancel:
      PaintCancel(Dc, Enabled);
      break;
    case TGlyph::gRestart:
      PaintRestart(Dc, Enabled);
      break;
    case TGlyph::gClose:
      PaintClose(Dc, Enabled);
      break;
  }
  RestoreDC(Dc, SaveId);
}

}  // namespace ruvevid::win32
