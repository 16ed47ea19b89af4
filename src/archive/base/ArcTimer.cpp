#include "archive/base/ArcTimer.h"

#include <utility>

#include "platform/TickCount.h"

namespace ruvevid {

TArcTimer::TArcTimer(TTickSource Source) : FTickSource(std::move(Source)) {}

void TArcTimer::SetTickSource(TTickSource Source) {
  FTickSource = std::move(Source);
}

std::uint32_t TArcTimer::Now() const {
  return FTickSource ? FTickSource() : TickCount();
}

void TArcTimer::Start() {
  FElapsed = 0.0f;
  FPauseDepth = 0;
  FStartTick = Now();
  FRunning = true;
}

void TArcTimer::Stop() {
  if (!FRunning) return;
  FStopTick = Now();
  // A stop inside a pause counts up to the pause only.
  const std::uint32_t End = FPauseDepth > 0 ? FPauseTick : FStopTick;
  FElapsed = static_cast<float>(static_cast<double>(End - FStartTick) / 1000.0);
  FStartTick = 0;
  FPauseDepth = 0;
  FRunning = false;
}

void TArcTimer::Pause() {
  if (!FRunning) return;
  if (FPauseDepth++ == 0) FPauseTick = Now();
}

void TArcTimer::Resume() {
  if (!FRunning || FPauseDepth == 0) return;
  if (--FPauseDepth == 0) FStartTick = Now() + FStartTick - FPauseTick;
}

}  // namespace ruvevid
