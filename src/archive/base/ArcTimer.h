#pragma once
// Measures the elapsed time of an extraction run, leaving out the time spent in the application's
// handlers (every call that waits for the application pauses the timer around it).

#include <cstdint>
#include <functional>

namespace ruvevid {

class TArcTimer {
 public:
  using TTickSource = std::function<std::uint32_t()>;

  // Ticks from the platform's millisecond counter unless a source is given (tests pass a fake).
  explicit TArcTimer(TTickSource Source = nullptr);

  // Elapsed := 0 and the clock starts.
  void Start();
  // While running: Elapsed := seconds since Start, less the paused time; the timer stops.
  void Stop();
  // While running: the clock stands still until the matching Resume. Pauses nest: only the
  // outermost Pause and Resume count, so nested waits are left out exactly once.
  void Pause();
  void Resume();

  bool Running() const { return FRunning; }
  bool Paused() const { return FPauseDepth > 0; }
  float Elapsed() const { return FElapsed; }
  std::uint32_t StartTick() const { return FStartTick; }
  std::uint32_t StopTick() const { return FStopTick; }
  std::uint32_t PauseTick() const { return FPauseTick; }

  void SetTickSource(TTickSource Source);

 private:
  std::uint32_t Now() const;

  TTickSource FTickSource;
  std::uint32_t FStartTick = 0;
  std::uint32_t FStopTick = 0;
  std::uint32_t FPauseTick = 0;
  int FPauseDepth = 0;
  bool FRunning = false;
  float FElapsed = 0.0f;
};

// Pauses a timer for the lifetime of the object (resumed on every path).
class TTimerPause {
 public:
  explicit TTimerPause(TArcTimer& Timer) : FTimer(Timer) { FTimer.Pause(); }
  ~TTimerPause() { FTimer.Resume(); }
  TTimerPause(const TTimerPause&) = delete;
  TTimerPause& operator=(const TTimerPause&) = delete;

 private:
  TArcTimer& FTimer;
};

}  // namespace ruvevid
