// The application object on Qt: pumping, the throttled pump, terminating and pausing.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <chrono>

#include "QtTestApp.h"
#include "ui/QtApplication.h"

namespace ruvevid {
namespace {

using namespace std::chrono_literals;

class QtApplication : public test::QtTest {};

TEST_F(QtApplication, ProcessMessagesHandlesWhatIsPending) {
  TQtApplication App(0ms);
  int Fired = 0;
  QTimer::singleShot(0, [&Fired] { ++Fired; });
  App.ProcessMessages();
  EXPECT_EQ(Fired, 1);
  EXPECT_EQ(App.Passes(), 1u);
  App.ProcessMessages();
  EXPECT_EQ(App.Passes(), 2u);
}

TEST_F(QtApplication, PumpsCloserThanTheIntervalAreSkipped) {
  TQtApplication App(1h);
  App.ProcessMessages();
  int Fired = 0;
  QTimer::singleShot(0, [&Fired] { ++Fired; });
  for (int I = 0; I < 100; ++I) App.ProcessMessages();
  EXPECT_EQ(App.Passes(), 1u);
  EXPECT_EQ(Fired, 0);
  test::SpinEventLoop(1);
  EXPECT_EQ(Fired, 1);
}

TEST_F(QtApplication, PumpsAgainOnceTheIntervalHasPassed) {
  TQtApplication App(2ms);
  App.ProcessMessages();
  std::this_thread::sleep_for(3ms);
  App.ProcessMessages();
  EXPECT_EQ(App.Passes(), 2u);
}

TEST_F(QtApplication, TerminateBeforeTheLoopOnlySetsTheFlag) {
  TQtApplication App;
  EXPECT_FALSE(App.Terminated());
  App.Terminate();
  EXPECT_TRUE(App.Terminated());
}

TEST_F(QtApplication, TerminateEndsARunningLoop) {
  TQtApplication App;
  QTimer::singleShot(0, [&App] { App.Terminate(); });
  QTimer Guard;
  Guard.setSingleShot(true);
  bool TimedOut = false;
  QObject::connect(&Guard, &QTimer::timeout, [&TimedOut] {
    TimedOut = true;
    QCoreApplication::exit(1);
  });
  Guard.start(5000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(TimedOut);
  EXPECT_TRUE(App.Terminated());
}

TEST_F(QtApplication, PauseBlocksWithoutPumping) {
  TQtApplication App;
  int Fired = 0;
  QTimer::singleShot(0, [&Fired] { ++Fired; });
  const auto Start = std::chrono::steady_clock::now();
  App.Pause(40);
  EXPECT_GE(std::chrono::steady_clock::now() - Start, 40ms);
  EXPECT_EQ(Fired, 0);
  test::SpinEventLoop(1);
  EXPECT_EQ(Fired, 1);
}

}  // namespace
}  // namespace ruvevid
