// The window's pictures on Windows: drawn at the monitor's density, the side picture has the
// layout's size scaled, a dark sky at the top, a light one at the bottom and the white label
// sheet in the middle; the glyphs draw inside their square, in colour or in greys.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ui/win32/DpiWin32.h"
#include "ui/win32/UpdaterArtWin32.h"

namespace ruvevid::win32 {
namespace {

struct TColour {
  int R;
  int G;
  int B;
};

// The pixels of a 32-bit bitmap, top row first.
std::vector<std::uint32_t> PixelsOf(HBITMAP Bitmap, int Width, int Height) {
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof Info.bmiHeader;
  Info.bmiHeader.biWidth = Width;
  Info.bmiHeader.biHeight = -Height;
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  Info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> Pixels(static_cast<std::size_t>(Width) * Height);
  HDC Dc = GetDC(nullptr);
  GetDIBits(Dc, Bitmap, 0, static_cast<UINT>(Height), Pixels.data(), &Info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, Dc);
  return Pixels;
}

TColour At(const std::vector<std::uint32_t>& Pixels, int Width, int X, int Y) {
  const std::uint32_t P = Pixels[static_cast<std::size_t>(Y) * Width + X];
  return {static_cast<int>(P >> 16 & 0xFF), static_cast<int>(P >> 8 & 0xFF),
          static_cast<int>(P & 0xFF)};
}

class SidePicture : public ::testing::TestWithParam<UINT> {};

TEST_P(SidePicture, HasTheScaledSizeAndTheSkyAndTheSheet) {
  const UINT Dpi = GetParam();
  TGdiObject Picture(MakeSidePicture(Dpi));
  ASSERT_NE(Picture.Get(), nullptr);
  BITMAP Info{};
  GetObjectW(Picture.Get(), sizeof Info, &Info);
  const int Width = Scale(kSidePictureWidth, Dpi);
  const int Height = Scale(kSidePictureHeight, Dpi);
  EXPECT_EQ(Info.bmWidth, Width);
  EXPECT_EQ(Info.bmHeight, Height);
  const auto Pixels = PixelsOf(static_cast<HBITMAP>(Picture.Get()), Width, Height);
  const TColour Top = At(Pixels, Width, Scale(5, Dpi), Scale(5, Dpi));
  const TColour Bottom = At(Pixels, Width, Scale(200, Dpi), Scale(335, Dpi));
  EXPECT_GT(Top.B, Top.R + 80) << "a blue sky at the top";
  EXPECT_GT(Bottom.R, Top.R + 60) << "lighter towards the bottom";
  const TColour Sheet = At(Pixels, Width, Scale(114, Dpi), Scale(126, Dpi));
  EXPECT_GT(Sheet.R, 230) << "the label sheet";
  EXPECT_GT(Sheet.G, 230);
  EXPECT_GT(Sheet.B, 230);
}

INSTANTIATE_TEST_SUITE_P(Densities, SidePicture, ::testing::Values(96u, 144u));

struct TGlyphCase {
  TGlyph Glyph;
  bool Enabled;
  bool Coloured;  // some pixel has clearly unequal channels
};

class Glyphs : public ::testing::TestWithParam<TGlyphCase> {};

TEST_P(Glyphs, DrawInsideTheirSquareInColourOrGrey) {
  const TGlyphCase& Case = GetParam();
  constexpr int kSize = 24;
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof Info.bmiHeader;
  Info.bmiHeader.biWidth = kSize;
  Info.bmiHeader.biHeight = -kSize;
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  Info.bmiHeader.biCompression = BI_RGB;
  void* Bits = nullptr;
  HDC Dc = CreateCompatibleDC(nullptr);
  HBITMAP Bitmap = CreateDIBSection(Dc, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
  HGDIOBJ Old = SelectObject(Dc, Bitmap);
  const RECT All{0, 0, kSize, kSize};
  FillRect(Dc, &All, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  PaintGlyph(Dc, Case.Glyph, 4, 4, kLayoutDpi, Case.Enabled);
  GdiFlush();
  const auto* Pixels = static_cast<const std::uint32_t*>(Bits);
  int Drawn = 0;
  int Outside = 0;
  bool Coloured = false;
  for (int Y = 0; Y < kSize; ++Y) {
    for (int X = 0; X < kSize; ++X) {
      const std::uint32_t P = Pixels[Y * kSize + X] & 0xFFFFFF;
      if (P == 0xFFFFFF) continue;
      const bool Inside = X >= 4 && X < 4 + 16 && Y >= 4 && Y < 4 + 17;
      (Inside ? Drawn : Outside) += 1;
      const int R = static_cast<int>(P >> 16 & 0xFF);
      const int G = static_cast<int>(P >> 8 & 0xFF);
      const int B = static_cast<int>(P & 0xFF);
      Coloured = Coloured || std::abs(R - G) > 40 || std::abs(G - B) > 40 || std::abs(R - B) > 40;
    }
  }
  SelectObject(Dc, Old);
  DeleteObject(Bitmap);
  DeleteDC(Dc);
  EXPECT_GT(Drawn, 30);
  EXPECT_EQ(Outside, 0);
  EXPECT_EQ(Coloured, Case.Coloured);
}

INSTANTIATE_TEST_SUITE_P(All, Glyphs,
                         ::testing::Values(TGlyphCase{TGlyph::gCancel, true, true},
                                           TGlyphCase{TGlyph::gCancel, false, false},
                                           TGlyphCase{TGlyph::gRestart, true, true},
                                           TGlyphCase{TGlyph::gRestart, false, false},
                                           TGlyphCase{TGlyph::gClose, true, true},
                                           TGlyphCase{TGlyph::gClose, false, false}));

TEST(WindowIcon, IsMadeInTheAskedSize) {
  HICON Icon = MakeWindowIcon(32);
  ASSERT_NE(Icon, nullptr);
  ICONINFO Info{};
  ASSERT_TRUE(GetIconInfo(Icon, &Info));
  BITMAP Colour{};
  GetObjectW(Info.hbmColor, sizeof Colour, &Colour);
  EXPECT_EQ(Colour.bmWidth, 32);
  EXPECT_EQ(Colour.bmHeight, 32);
  DeleteObject(Info.hbmColor);
  DeleteObject(Info.hbmMask);
  DestroyIcon(Icon);
}

}  // namespace
}  // namespace ruvevid::win32
