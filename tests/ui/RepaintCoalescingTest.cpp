// Progress that changes after every small block must not cost a paint per block: the window
// paints at most about 60 times a second, while the refresh operations paint at once.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <iostream>
#include <string>

#include "QtTestApp.h"
#include "ui/Gauge.h"
#include "ui/QtApplication.h"
#include "ui/UpdaterWindow.h"

namespace ruvevid {
namespace {

class RepaintCoalescing : public test::QtTest {
 protected:
  RepaintCoalescing() {
    FWindow.ComeUp();
    test::SpinEventLoop(50);  // the first paint of the whole window
  }

  TQtApplication FApp;  // pumps at most once a millisecond, as in the program
  TUpdaterWindow FWindow;
};

TEST_F(RepaintCoalescing, ManyProgressStepsCostFewPaints) {
  test::TPaintCounter Paints;
  auto* Bytes = FWindow.findChild<QLabel*>(QStringLiteral("lblBytes"));
  auto* Bar = FWindow.findChild<QProgressBar*>(QStringLiteral("pBar"));
  ASSERT_TRUE(Bytes != nullptr && Bar != nullptr);
  Paints.Watch(Bytes);
  Paints.Watch(Bar);

  constexpr int Total = 2'000'000'000;
  FWindow.SetProgressMax(Total);
  QElapsedTimer Clock;
  Clock.start();
  int Steps = 0;
  while (Clock.elapsed() < 300) {
    ++Steps;
    FWindow.SetProgressPosition(Steps * 255);
    FWindow.SetBytesText(std::to_string(Steps * 255 / 1024) + " / 1,953,125 KBytes");
    FApp.ProcessMessages();
  }
  const qint64 Elapsed = Clock.elapsed();
  test::SpinEventLoop(40);  // the last held paint
  std::cout << "[ figures  ] " << Steps << " progress steps in " << Elapsed << " ms ("
            << Elapsed * 1000.0 / Steps << " us a step), " << Paints.Count() << " paints\n";

  // Two widgets, each painted at most once per pass: at most about 2 * 60 * 0.3 s.
  const int MostPasses = static_cast<int>(Elapsed / 16) + 3;
  EXPECT_LE(Paints.Count(), 2 * MostPasses) << Steps << " steps in " << Elapsed << " ms";
  EXPECT_GE(Paints.Count(), 2) << "the changes are painted";
  EXPECT_GT(Steps, 20 * Paints.Count());
  EXPECT_EQ(FWindow.ProgressPosition(), Steps * 255) << "the state itself is current";
  EXPECT_LE(Steps * 255 - Bar->value(), Total / Bar->width()) << "the bar within a pixel";
  EXPECT_EQ(FWindow.BytesText(), std::to_string(Steps * 255 / 1024) + " / 1,953,125 KBytes");
  EXPECT_EQ(Bytes->text().toStdString(), FWindow.BytesText());
}

TEST_F(RepaintCoalescing, GaugesFollowTheSameRule) {
  test::TPaintCounter Paints;
  auto* Gauge = FWindow.findChild<TGauge*>(QStringLiteral("Gauge1"));
  ASSERT_NE(Gauge, nullptr);
  FWindow.SetUnzipVisible(true);
  test::SpinEventLoop(40);
  Paints.Watch(Gauge);
  QElapsedTimer Clock;
  Clock.start();
  int Steps = 0;
  while (Clock.elapsed() < 200) {
    FWindow.SetGauge1Progress(Steps++ % 101);  // a new percentage at every step
    FApp.ProcessMessages();
  }
  test::SpinEventLoop(40);
  EXPECT_LE(Paints.Count(), static_cast<int>(Clock.elapsed() / 16) + 3) << Steps << " steps";
  EXPECT_GE(Paints.Count(), 1);
}

TEST_F(RepaintCoalescing, RefreshPaintsAtOnce) {
  test::TPaintCounter Paints;
  auto* Status = FWindow.findChild<QLabel*>(QStringLiteral("labDown"));
  ASSERT_NE(Status, nullptr);
  Paints.Watch(Status);
  for (int Round = 1; Round <= 5; ++Round) {
    FWindow.SetLabDownText("Round " + std::to_string(Round));
    FWindow.RefreshLabDown();  // no event processing in between
    EXPECT_EQ(Paints.Count(), Round);
  }

  test::TPaintCounter BoxPaints;
  FWindow.SetUnzipVisible(true);
  test::SpinEventLoop(40);
  auto* Box = FWindow.findChild<QWidget*>(QStringLiteral("labUnzip"));
  BoxPaints.Watch(Box);
  FWindow.SetUnzipCaption("압축을 풀었습니다. 설치를 진행합니다.");
  FWindow.RefreshUnzip();
  EXPECT_EQ(BoxPaints.Count(), 1);
}

}  // namespace
}  // namespace ruvevid
