// The gauge control: defaults, the setter rules, the range errors and what it paints.

#include <gtest/gtest.h>

#include <QPixmap>
#include <string>

#include "QtTestApp.h"
#include "ui/Gauge.h"

namespace ruvevid {
namespace {

class Gauge : public test::QtTest {
 protected:
  TGauge FGauge;
};

std::string MessageOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const EInvalidOperation& Error) {
    return Error.what();
  }
  return "(nothing raised)";
}

TEST_F(Gauge, StartsWithTheDefaults) {
  EXPECT_EQ(FGauge.MinValue(), 0);
  EXPECT_EQ(FGauge.MaxValue(), 100);
  EXPECT_EQ(FGauge.Progress(), 0);
  EXPECT_EQ(FGauge.Kind(), TGaugeKind::gkHorizontalBar);
  EXPECT_TRUE(FGauge.ShowText());
  EXPECT_EQ(FGauge.BorderStyle(), TBorderStyle::bsSingle);
  EXPECT_EQ(FGauge.ForeColor(), QColor(Qt::black));
  EXPECT_EQ(FGauge.BackColor(), QColor(Qt::white));
  EXPECT_EQ(FGauge.size(), QSize(100, 100));
  EXPECT_TRUE(FGauge.testAttribute(Qt::WA_OpaquePaintEvent));
  EXPECT_EQ(FGauge.Percentage(), 0);
}

TEST_F(Gauge, ProgressIsClampedToTheRange) {
  FGauge.SetMinValue(10);
  FGauge.SetMaxValue(20);
  FGauge.SetProgress(5);
  EXPECT_EQ(FGauge.Progress(), 10);
  FGauge.SetProgress(25);
  EXPECT_EQ(FGauge.Progress(), 20);
  EXPECT_EQ(FGauge.Percentage(), 100);
  FGauge.SetProgress(15);
  EXPECT_EQ(FGauge.Percentage(), 50);
}

TEST_F(Gauge, ProgressWithinTheSameWholePercentDoesNotRepaint) {
  FGauge.SetMaxValue(1000);
  const int Before = FGauge.RepaintRequests();
  FGauge.SetProgress(501);  // 50%
  EXPECT_EQ(FGauge.RepaintRequests(), Before + 1);
  FGauge.SetProgress(505);  // still 50%
  FGauge.SetProgress(509);
  EXPECT_EQ(FGauge.Progress(), 509);
  EXPECT_EQ(FGauge.RepaintRequests(), Before + 1);
  FGauge.SetProgress(510);  // 51%
  EXPECT_EQ(FGauge.RepaintRequests(), Before + 2);
}

TEST_F(Gauge, SettersIgnoreTheCurrentValue) {
  const int Before = FGauge.RepaintRequests();
  FGauge.SetKind(TGaugeKind::gkHorizontalBar);
  FGauge.SetShowText(true);
  FGauge.SetBorderStyle(TBorderStyle::bsSingle);
  FGauge.SetForeColor(Qt::black);
  FGauge.SetBackColor(Qt::white);
  FGauge.SetMinValue(0);
  FGauge.SetMaxValue(100);
  FGauge.SetProgress(0);
  FGauge.SetProgress(-5);  // clamped to the current value
  EXPECT_EQ(FGauge.RepaintRequests(), Before);

  FGauge.SetKind(TGaugeKind::gkPie);
  FGauge.SetShowText(false);
  FGauge.SetBorderStyle(TBorderStyle::bsNone);
  FGauge.SetForeColor(Qt::blue);
  FGauge.SetBackColor(Qt::yellow);
  FGauge.SetColor(Qt::gray);
  EXPECT_EQ(FGauge.RepaintRequests(), Before + 6);
}

TEST_F(Gauge, MinValueAboveMaxValueFails) {
  EXPECT_EQ(MessageOf([this] { FGauge.SetMinValue(101); }),
            "Value must be between -2147483647 and 99");
  EXPECT_EQ(FGauge.MinValue(), 0);
  FGauge.SetMaxValue(50);
  EXPECT_EQ(MessageOf([this] { FGauge.SetMinValue(60); }),
            "Value must be between -2147483647 and 49");
}

TEST_F(Gauge, MaxValueBelowMinValueFails) {
  FGauge.SetMinValue(10);
  EXPECT_EQ(MessageOf([this] { FGauge.SetMaxValue(9); }),
            "Value must be between 11 and 2147483647");
  EXPECT_EQ(FGauge.MaxValue(), 100);
}

TEST_F(Gauge, WhileLoadingTheRangeMayCross) {
  FGauge.SetLoading(true);
  FGauge.SetMinValue(150);
  EXPECT_EQ(FGauge.MinValue(), 150);
  EXPECT_EQ(FGauge.Progress(), 150) << "raised to the new minimum";
  FGauge.SetMaxValue(200);
  FGauge.SetLoading(false);
  EXPECT_EQ(FGauge.Percentage(), 0);
}

TEST_F(Gauge, EqualEndsShowZeroPercent) {
  FGauge.SetProgress(40);
  FGauge.SetMaxValue(40);
  FGauge.SetMinValue(40);
  EXPECT_EQ(FGauge.Percentage(), 0);
  EXPECT_EQ(FGauge.Progress(), 40);
}

TEST_F(Gauge, NewLimitsPullProgressAlong) {
  FGauge.SetProgress(80);
  FGauge.SetMaxValue(60);
  EXPECT_EQ(FGauge.Progress(), 60);
  FGauge.SetMinValue(-10);
  FGauge.SetProgress(-5);
  FGauge.SetMinValue(0);
  EXPECT_EQ(FGauge.Progress(), 0);
}

TEST_F(Gauge, PaintsItsRenderedImage) {
  FGauge.resize(352, 17);
  FGauge.SetForeColor(Qt::blue);
  FGauge.SetProgress(37);
  const QImage Painted = FGauge.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(Painted, FGauge.Render());
  EXPECT_EQ(FGauge.Render().pixel(1, 1), 0xFF0000FFu);
}

}  // namespace
}  // namespace ruvevid
