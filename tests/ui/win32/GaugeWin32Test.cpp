// The gauge's drawing on Windows, pixel by pixel: rendered into memory, the frame is black, the
// bar is filled to the percentage of its inner width, and the percentage text inverts every
// pixel it covers (yellow over the blue fill, black over the white rest).

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/win32/DpiWin32.h"
#include "ui/win32/GaugeWin32.h"

namespace ruvevid::win32 {
namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kYellow = 0xFFFF00;

// The gauge rendered into a 32-bit memory bitmap, as 0xRRGGBB values row by row.
class TRendered {
 public:
  explicit TRendered(const TGaugeLook& Look) : FWidth(Look.Width), FHeight(Look.Height) {
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof Info.bmiHeader;
    Info.bmiHeader.biWidth = Look.Width;
    Info.bmiHeader.biHeight = -Look.Height;
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = 32;
    Info.bmiHeader.biCompression = BI_RGB;
    void* Bits = nullptr;
    HDC Dc = CreateCompatibleDC(nullptr);
    HBITMAP Bitmap = CreateDIBSection(Dc, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
    HGDIOBJ Old = SelectObject(Dc, Bitmap);
    PaintGauge(Dc, Look);
    GdiFlush();
    const auto* Pixels = static_cast<const std::uint32_t*>(Bits);
    FPixels.assign(Pixels, Pixels + static_cast<std::size_t>(Look.Width) * Look.Height);
    SelectObject(Dc, Old);
    DeleteObject(Bitmap);
    DeleteDC(Dc);
  }

  std::uint32_t At(int X, int Y) const {
    return FPixels[static_cast<std::size_t>(Y) * FWidth + X] & 0xFFFFFF;
  }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

 private:
  int FWidth;
  int FHeight;
  std::vector<std::uint32_t> FPixels;
};

class GaugeFont : public ::testing::Test {
 protected:
  GaugeFont() : FFont(MakeFont(ResolveFace({L"Malgun Gothic", L"NanumGothic"}), 13, kLayoutDpi)) {}

  TGaugeLook Look(int Percentage, bool ShowText = true) const {
    TGaugeLook Result;
    Result.Width = 352;
    Result.Height = 17;
    Result.ForeColor = RGB(0, 0, 255);
    Result.BackColor = RGB(255, 255, 255);
    Result.Percentage = Percentage;
    Result.ShowText = ShowText;
    Result.Font = FFont.Font();
    return Result;
  }

  TGdiObject FFont;
};

struct TSplitCase {
  int Percentage;
  int FillEnd;  // the first inner column that is not filled: trunc(351 * Percentage / 100)
};

class GaugeSplit : public GaugeFont, public ::testing::WithParamInterface<TSplitCase> {};

TEST_P(GaugeSplit, FrameIsBlackAndFillEndsAtThePercentage) {
  const TSplitCase& Case = GetParam();
  const TRendered Image(Look(Case.Percentage, false));
  for (int X = 0; X < Image.Width(); ++X) {
    EXPECT_EQ(Image.At(X, 0), kBlack) << X;
    EXPECT_EQ(Image.At(X, Image.Height() - 1), kBlack) << X;
  }
  for (int Y = 0; Y < Image.Height(); ++Y) {
    EXPECT_EQ(Image.At(0, Y), kBlack) << Y;
    EXPECT_EQ(Image.At(Image.Width() - 1, Y), kBlack) << Y;
  }
  for (int Y = 1; Y < Image.Height() - 1; ++Y) {
    for (int X = 1; X < Image.Width() - 1; ++X) {
      ASSERT_EQ(Image.At(X, Y), X < Case.FillEnd ? kBlue : kWhite) << X << "," << Y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Percentages, GaugeSplit,
                         ::testing::Values(TSplitCase{0, 0}, TSplitCase{1, 3}, TSplitCase{35, 122},
                                           TSplitCase{62, 217}, TSplitCase{100, 351}));

struct TTextCase {
  int Percentage;
  bool TextOverFill;   // the text lies (partly) over the blue fill
  bool TextOverBlank;  // the text lies (partly) over the white rest
};

class GaugeText : public GaugeFont, public ::testing::WithParamInterface<TTextCase> {};

// Every inner pixel is either what the bar has there or its exact inverse; the inverted ones
// are the text, in the middle of the gauge.
TEST_P(GaugeText, TextInvertsWhatLiesUnderIt) {
  const TTextCase& Case = GetParam();
  const TRendered Bar(Look(Case.Percentage, false));
  const TRendered Image(Look(Case.Percentage, true));
  int OverFill = 0;
  int OverBlank = 0;
  int Left = Image.Width();
  int Right = 0;
  for (int Y = 1; Y < Image.Height() - 1; ++Y) {
    for (int X = 1; X < Image.Width() - 1; ++X) {
      const std::uint32_t Under = Bar.At(X, Y);
      const std::uint32_t Shown = Image.At(X, Y);
      if (Shown == Under) continue;
      ASSERT_EQ(Shown, Under ^ 0xFFFFFFu) << X << "," << Y;
      OverFill += Shown == kYellow;
      OverBlank += Shown == kBlack;
      Left = std::min(Left, X);
      Right = std::max(Right, X);
    }
  }
  EXPECT_EQ(OverFill > 0, Case.TextOverFill);
  EXPECT_EQ(OverBlank > 0, Case.TextOverBlank);
  ASSERT_LE(Left, Right) << "no text drawn";
  // Centred: as much room on either side, give or take the rounding of the halves.
  EXPECT_NEAR(Left - 1, Image.Width() - 2 - Right, 3);
}

INSTANTIATE_TEST_SUITE_P(Percentages, GaugeText,
                         ::testing::Values(TTextCase{0, false, true}, TTextCase{35, false, true},
                                           TTextCase{50, true, true}, TTextCase{62, true, false},
                                           TTextCase{100, true, false}));

struct TPercentCase {
  int Min;
  int Max;
  int Progress;
  int Expected;
};

class GaugePercent : public ::testing::TestWithParam<TPercentCase> {};

TEST_P(GaugePercent, TruncatesTheShareOfTheRange) {
  const TPercentCase& Case = GetParam();
  EXPECT_EQ(GaugePercentage(Case.Min, Case.Max, Case.Progress), Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(Ranges, GaugePercent,
                         ::testing::Values(TPercentCase{0, 100, 50, 50}, TPercentCase{0, 3, 1, 33},
                                           TPercentCase{0, 3, 2, 66}, TPercentCase{10, 20, 15, 50},
                                           TPercentCase{5, 5, 5, 0},
                                           TPercentCase{-100, 100, 0, 50}));

struct TProgressStep {
  int Value;
  int Shown;          // the progress after the step (clamped to 0 .. 100)
  int RepaintsAfter;  // repaint requests counted so far
};

class GaugeControl : public ::testing::Test {
 protected:
  GaugeControl() {
    FParent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 100, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~GaugeControl() override { DestroyWindow(FParent); }

  HWND FParent = nullptr;
};

// A repaint is asked for only when the shown percentage changes.
TEST_F(GaugeControl, RepaintsOnlyWhenThePercentageChanges) {
  TGauge Gauge(FParent, GetModuleHandleW(nullptr), 1);
  const int Before = Gauge.RepaintRequests();
  const TProgressStep Steps[] = {{10, 10, 1}, {10, 10, 1}, {150, 100, 2},
                                 {-5, 0, 3},  {0, 0, 3},   {99, 99, 4}};
  for (const TProgressStep& Step : Steps) {
    Gauge.SetProgress(Step.Value);
    EXPECT_EQ(Gauge.Progress(), Step.Shown) << Step.Value;
    EXPECT_EQ(Gauge.RepaintRequests() - Before, Step.RepaintsAfter) << Step.Value;
  }
}

}  // namespace
}  // namespace ruvevid::win32
