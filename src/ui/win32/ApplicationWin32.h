#pragma once
// The application object on Windows: the message pump, the terminate request and the blocking
// pause that the controller and the engines call, and the program's message loop.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/Application.h"

namespace ruvevid::win32 {

class TApplication : public IApplication {
 public:
  using Clock = std::chrono::steady_clock;
  // Sees each message before it is dispatched; true when it handled it (keyboard navigation).
  using TMessageFilter = std::function<bool(MSG& Message)>;

  // A pump call that comes less than MinPumpInterval after the last pass returns without
  // another pass: the download and the extraction pump after every small block, and a pass
  // costs more than the block.
  explicit TApplication(Clock::duration MinPumpInterval = std::chrono::milliseconds(1));

  void SetMessageFilter(TMessageFilter Filter) { FFilter = std::move(Filter); }

  void ProcessMessages() override;
  // Sets the flag and posts the quit message that ends the message loop.
  void Terminate() override;
  bool Terminated() const override { return FTerminated; }
  void Pause(std::uint32_t Milliseconds) override;

  // Runs the message loop until Terminate, or until the quit message arrives; returns at once
  // when the application is already terminated.
  void Run();

  std::uint64_t Passes() const { return FPasses; }

 private:
  void Dispatch(MSG& Message);

  Clock::duration FMinPumpInterval;
  Clock::time_point FLastPass{};
  bool FHasPassed = false;
  bool FTerminated = false;
  std::uint64_t FPasses = 0;
  TMessageFilter FFilter;
};

}  // namespace ruvevid::win32
