#pragma once
// The application object of the engines and the controller without a window: it counts the
// message pumps, runs a test's code at each one and records pauses and the terminate request.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/Application.h"

namespace ruvevid::test {

class FakeApplication : public IApplication {
 public:
  void ProcessMessages() override {
    ++Pumps;
    if (OnPump) OnPump(Pumps);
  }
  void Terminate() override { TerminateRequested = true; }
  bool Terminated() const override { return TerminateRequested; }
  void Pause(std::uint32_t Milliseconds) override { Pauses.push_back(Milliseconds); }

  // Called at every pump with the pump's number (1 for the first): the place where clicks, size
  // notifications and cancel requests arrive in the middle of a run.
  std::function<void(int)> OnPump;
  int Pumps = 0;
  bool TerminateRequested = false;
  std::vector<std::uint32_t> Pauses;
};

}  // namespace ruvevid::test
