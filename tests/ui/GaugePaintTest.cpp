// The gauge's drawing, pixel by pixel, for every kind.

#include <gtest/gtest.h>

#include <QImage>
#include <climits>

#include "QtTestApp.h"
#include "ui/GaugePaint.h"

namespace ruvevid {
namespace {

constexpr QRgb Black = 0xFF000000;
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Blue = 0xFF0000FF;
constexpr QRgb Yellow = 0xFFFFFF00;  // the complement of blue
constexpr QRgb Grey = 0xFFC0C0C0;
constexpr QRgb Red = 0xFFFF0000;

class GaugePaint : public test::QtTest {
 protected:
  // The updater's gauges: 352 x 17, single border, blue on white.
  static TGaugeLook UpdaterLook(int Percentage, bool ShowText) {
    TGaugeLook Look;
    Look.Size = QSize(352, 17);
    Look.ForeColor = QColor(Blue);
    Look.Percentage = Percentage;
    Look.ShowText = ShowText;
    Look.Font.setFamily(QStringLiteral("NanumGothic"));
    Look.Font.setPixelSize(13);
    return Look;
  }
};

// Counts the pixels of the rectangle (inclusive bounds) that have the colour.
int CountColour(const QImage& Image, QRgb Colour, int X0, int Y0, int X1, int Y1) {
  int Count = 0;
  for (int Y = Y0; Y <= Y1; ++Y) {
    for (int X = X0; X <= X1; ++X) Count += Image.pixel(X, Y) == Colour ? 1 : 0;
  }
  return Count;
}

bool FrameIsBlack(const QImage& Image) {
  const int Right = Image.width() - 1;
  const int Bottom = Image.height() - 1;
  return CountColour(Image, Black, 0, 0, Right, 0) == Image.width() &&
         CountColour(Image, Black, 0, Bottom, Right, Bottom) == Image.width() &&
         CountColour(Image, Black, 0, 0, 0, Bottom) == Image.height() &&
         CountColour(Image, Black, Right, 0, Right, Bottom) == Image.height();
}

struct PercentageCase {
  int MinValue;
  int MaxValue;
  int Progress;
  int Expected;
};

class GaugePercentageTable : public ::testing::TestWithParam<PercentageCase> {};

TEST_P(GaugePercentageTable, TruncatesTowardZero) {
  const PercentageCase& Case = GetParam();
  EXPECT_EQ(GaugePercentage(Case.MinValue, Case.MaxValue, Case.Progress), Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GaugePercentageTable,
    ::testing::Values(PercentageCase{0, 100, 0, 0}, PercentageCase{0, 100, 50, 50},
                      PercentageCase{0, 100, 100, 100}, PercentageCase{0, 3, 1, 33},
                      PercentageCase{0, 3, 2, 66}, PercentageCase{-10, 10, 0, 50},
                      PercentageCase{5, 5, 5, 0}, PercentageCase{0, 1000, 999, 99},
                      PercentageCase{-INT_MAX, INT_MAX, -1, 49},
                      PercentageCase{INT_MIN, INT_MAX, INT_MAX, 100}));

TEST(GaugeFilledLength, MultipliesThePercentFirst) {
  EXPECT_EQ(GaugeFilledLength(351, 50), 175);
  EXPECT_EQ(GaugeFilledLength(351, 100), 351);
  EXPECT_EQ(GaugeFilledLength(351, 0), 0);
  EXPECT_EQ(GaugeFilledLength(16, 99), 15);
  EXPECT_EQ(GaugeFilledLength(100, 33), 33);
}

TEST_F(GaugePaint, HalfBarFillsUpToColumn174) {
  const QImage Image = RenderGauge(UpdaterLook(50, false));
  ASSERT_EQ(Image.size(), QSize(352, 17));
  EXPECT_TRUE(FrameIsBlack(Image));
  EXPECT_EQ(CountColour(Image, Blue, 1, 1, 174, 15), 174 * 15);
  EXPECT_EQ(CountColour(Image, White, 175, 1, 350, 15), 176 * 15);
}

TEST_F(GaugePaint, FullBarFillsTheWholeInnerArea) {
  const QImage Image = RenderGauge(UpdaterLook(100, false));
  EXPECT_TRUE(FrameIsBlack(Image));
  EXPECT_EQ(CountColour(Image, Blue, 1, 1, 350, 15), 350 * 15);
}

TEST_F(GaugePaint, EmptyBarIsWhiteInsideAndTextIsBlack) {
  const QImage Bare = RenderGauge(UpdaterLook(0, false));
  EXPECT_EQ(CountColour(Bare, White, 1, 1, 350, 15), 350 * 15);

  const QImage Image = RenderGauge(UpdaterLook(0, true));
  EXPECT_TRUE(FrameIsBlack(Image));
  const int Whites = CountColour(Image, White, 1, 1, 350, 15);
  const int Blacks = CountColour(Image, Black, 1, 1, 350, 15);
  EXPECT_EQ(Whites + Blacks, 350 * 15) << "only black text on white";
  EXPECT_GT(Blacks, 10);
  // The text "0%" sits in the middle.
  EXPECT_EQ(CountColour(Image, Black, 1, 1, 150, 15), 0);
  EXPECT_EQ(CountColour(Image, Black, 200, 1, 350, 15), 0);
}

TEST_F(GaugePaint, TextInvertsBarAndBackground) {
  const QImage Image = RenderGauge(UpdaterLook(50, true));
  const int Blues = CountColour(Image, Blue, 1, 1, 350, 15);
  const int Whites = CountColour(Image, White, 1, 1, 350, 15);
  const int Yellows = CountColour(Image, Yellow, 1, 1, 350, 15);
  const int Blacks = CountColour(Image, Black, 1, 1, 350, 15);
  EXPECT_EQ(Blues + Whites + Yellows + Blacks, 350 * 15);
  // "50%" straddles the end of the bar: yellow over blue, black over white.
  EXPECT_GT(Yellows, 5);
  EXPECT_GT(Blacks, 5);
  EXPECT_EQ(CountColour(Image, Yellow, 175, 1, 350, 15), 0);
  EXPECT_EQ(CountColour(Image, Black, 1, 1, 174, 15), 0);
}

TEST_F(GaugePaint, TextIsCentredOnTheBitmap) {
  const QImage Image = RenderGauge(UpdaterLook(100, true));
  int Left = 352;
  int Right = -1;
  for (int Y = 1; Y <= 15; ++Y) {
    for (int X = 1; X <= 350; ++X) {
      if (Image.pixel(X, Y) == Yellow) {
        Left = std::min(Left, X);
        Right = std::max(Right, X);
      }
    }
  }
  ASSERT_GE(Right, Left);
  EXPECT_NEAR((Left + Right) / 2.0, 351 / 2.0, 3.0);
}

TEST_F(GaugePaint, NoBorderPaintsTheEdges) {
  TGaugeLook Look = UpdaterLook(0, false);
  Look.BorderStyle = TBorderStyle::bsNone;
  const QImage Image = RenderGauge(Look);
  EXPECT_EQ(CountColour(Image, White, 0, 0, 351, 16), 352 * 17);
  Look.Percentage = 100;
  EXPECT_EQ(CountColour(RenderGauge(Look), Blue, 0, 0, 351, 16), 352 * 17);
}

TEST_F(GaugePaint, VerticalBarGrowsUpwards) {
  TGaugeLook Look;
  Look.Size = QSize(20, 102);  // inner area 18 x 100, H = 101
  Look.Kind = TGaugeKind::gkVerticalBar;
  Look.ShowText = false;
  Look.ForeColor = QColor(Blue);
  Look.Percentage = 50;
  QImage Image = RenderGauge(Look);
  EXPECT_TRUE(FrameIsBlack(Image));
  // FillSize = trunc(101 * 0.5) = 50: rows 51 .. 100 are filled.
  EXPECT_EQ(CountColour(Image, White, 1, 1, 18, 50), 18 * 50);
  EXPECT_EQ(CountColour(Image, Blue, 1, 51, 18, 100), 18 * 50);

  Look.Percentage = 100;  // FillSize is capped at H - 1 = 100: the whole inner area
  Image = RenderGauge(Look);
  EXPECT_EQ(CountColour(Image, Blue, 1, 1, 18, 100), 18 * 100);

  Look.Percentage = 0;
  Image = RenderGauge(Look);
  EXPECT_EQ(CountColour(Image, White, 1, 1, 18, 100), 18 * 100);
}

TEST_F(GaugePaint, TextKindShowsOnlyTheBackground) {
  TGaugeLook Look = UpdaterLook(70, false);
  Look.Kind = TGaugeKind::gkText;
  const QImage Image = RenderGauge(Look);
  EXPECT_EQ(CountColour(Image, White, 1, 1, 350, 15), 350 * 15);
  Look.ShowText = true;
  EXPECT_GT(CountColour(RenderGauge(Look), Black, 1, 1, 350, 15), 10);
}

class GaugeRoundKinds : public GaugePaint {
 protected:
  static TGaugeLook Round(TGaugeKind Kind, int Percentage) {
    TGaugeLook Look;
    Look.Size = QSize(101, 101);
    Look.Kind = Kind;
    Look.ShowText = false;
    Look.ForeColor = QColor(Red);
    Look.BackColor = QColor(White);
    Look.Color = QColor(Grey);
    Look.Percentage = Percentage;
    return Look;
  }
};

TEST_F(GaugeRoundKinds, PieGrowsClockwiseFromTwelve) {
  QImage Image = RenderGauge(Round(TGaugeKind::gkPie, 25));
  EXPECT_TRUE(FrameIsBlack(Image));
  EXPECT_EQ(Image.pixel(3, 3), Grey) << "surround in Color";
  EXPECT_EQ(Image.pixel(70, 30), Red) << "upper right quarter filled";
  EXPECT_EQ(Image.pixel(30, 30), White) << "upper left quarter empty";
  EXPECT_EQ(Image.pixel(70, 70), White) << "lower right quarter empty";

  Image = RenderGauge(Round(TGaugeKind::gkPie, 75));
  EXPECT_EQ(Image.pixel(70, 30), Red);
  EXPECT_EQ(Image.pixel(70, 70), Red);
  EXPECT_EQ(Image.pixel(30, 70), Red);
  EXPECT_EQ(Image.pixel(30, 30), White);

  Image = RenderGauge(Round(TGaugeKind::gkPie, 100));
  for (const QPoint P : {QPoint(30, 30), QPoint(70, 30), QPoint(30, 70), QPoint(70, 70)}) {
    EXPECT_EQ(Image.pixel(P), Red) << P.x() << "," << P.y();
  }
  EXPECT_EQ(Image.pixel(3, 3), Grey);

  Image = RenderGauge(Round(TGaugeKind::gkPie, 0));
  EXPECT_EQ(Image.pixel(50, 50), White);
  EXPECT_EQ(Image.pixel(1, 50), Red) << "outline at the left edge";
}

TEST_F(GaugeRoundKinds, NeedleSweepsFromLeftToRight) {
  QImage Image = RenderGauge(Round(TGaugeKind::gkNeedle, 0));
  EXPECT_TRUE(FrameIsBlack(Image));
  EXPECT_EQ(Image.pixel(50, 50), White) << "dial face";
  EXPECT_EQ(Image.pixel(50, 99), Red) << "base line on the last inner row";
  EXPECT_EQ(Image.pixel(20, 99), Red);
  EXPECT_EQ(Image.pixel(3, 3), Grey) << "surround in Color";

  Image = RenderGauge(Round(TGaugeKind::gkNeedle, 50));
  int NeedlePixels = 0;
  for (int Y = 10; Y < 95; ++Y) NeedlePixels += Image.pixel(50, Y) == Red ? 1 : 0;
  EXPECT_GT(NeedlePixels, 80) << "needle straight up";
  EXPECT_EQ(Image.pixel(30, 60), White);

  // At 25% the needle runs from (50, 99) to (15, 29): through x = 32.5 on row 64.
  Image = RenderGauge(Round(TGaugeKind::gkNeedle, 25));
  EXPECT_GT(CountColour(Image, Red, 30, 64, 35, 64), 0) << "needle up and to the left";
  EXPECT_EQ(CountColour(Image, Red, 40, 64, 90, 64), 0);
}

}  // namespace
}  // namespace ruvevid
