#pragma once
// Decides when the window may run a paint pass: at most one per interval (about 60 a second).
// Changes made in between are painted together at the next admitted pass.

#include <chrono>

namespace ruvevid {

class TRepaintThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  explicit TRepaintThrottle(Clock::duration MinInterval = std::chrono::milliseconds(16))
      : FMinInterval(MinInterval) {}

  // True when a paint pass may run at Now; the pass is then counted as made at Now.
  bool Admit(Clock::time_point Now);
  // Counts a pass that ran at Now without asking (a "paint at once").
  void Passed(Clock::time_point Now);
  // How long after Now the next pass may run (zero when it may run at once).
  Clock::duration Remaining(Clock::time_point Now) const;

 private:
  Clock::duration FMinInterval;
  Clock::time_point FLastPass{};
  bool FHasPassed = false;
};

}  // namespace ruvevid
