#include "ui/RepaintThrottle.h"

namespace ruvevid {

bool TRepaintThrottle::Admit(Clock::time_point Now) {
  if (Remaining(Now) > Clock::duration::zero()) return false;
  Passed(Now);
  return true;
}

void TRepaintThrottle::Passed(Clock::time_point Now) {
  FHasPassed = true;
  FLastPass = Now;
}

TRepaintThrottle::Clock::duration TRepaintThrottle::Remaining(Clock::time_point Now) const {
  if (!FHasPassed) return Clock::duration::zero();
  const Clock::duration Since = Now - FLastPass;
  return Since >= FMinInterval ? Clock::duration::zero() : FMinInterval - Since;
}

}  // namespace ruvevid
