#include "ui/QtApplication.h"

#include <QCoreApplication>
#include <thread>

namespace ruvevid {

TQtApplication::TQtApplication(Clock::duration MinPumpInterval)
    : FMinPumpInterval(MinPumpInterval) {}

void TQtApplication::ProcessMessages() {
  const Clock::time_point Now = Clock::now();
  if (FHasPassed && Now - FLastPass < FMinPumpInterval) return;
  FHasPassed = true;
  FLastPass = Now;
  ++FPasses;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TQtApplication::Terminate() {
  FTerminated = true;
  QCoreApplication::quit();
}

void TQtApplication::Pause(std::uint32_t Milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

}  // namespace ruvevid
