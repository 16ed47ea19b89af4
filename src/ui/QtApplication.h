#pragma once
// The application object on Qt: the message pump, the terminate request and the blocking pause
// that the controller and the engines call.

#include <chrono>
#include <cstdint>

#include "platform/Application.h"

namespace ruvevid {

class TQtApplication : public IApplication {
 public:
  using Clock = std::chrono::steady_clock;

  // A pump call that comes less than MinPumpInterval after the last event-loop pass returns
  // without another pass: the download and the extraction pump after every small block, and a
  // pass costs more than the block.
  explicit TQtApplication(Clock::duration MinPumpInterval = std::chrono::milliseconds(1));

  void ProcessMessages() override;
  // Sets the flag and asks a running message loop to end. Qt ignores that request while no
  // loop runs, so the program entry reads Terminated before it starts one.
  void Terminate() override;
  bool Terminated() const override { return FTerminated; }
  void Pause(std::uint32_t Milliseconds) override;

  // Event-loop passes made so far.
  std::uint64_t Passes() const { return FPasses; }

 private:
  Clock::duration FMinPumpInterval;
  Clock::time_point FLastPass{};
  bool FHasPassed = false;
  bool FTerminated = false;
  std::uint64_t FPasses = 0;
};

}  // namespace ruvevid
