#include "ui/win32/ApplicationWin32.h"

namespace ruvevid::win32 {

TApplication::TApplication(Clock::duration MinPumpInterval) : FMinPumpInterval(MinPumpInterval) {}

void TApplication::Dispatch(MSG& Message) {
  if (FFilter && FFilter(Message)) return;
  TranslateMessage(&Message);
  DispatchMessageW(&Message);
}

void TApplication::ProcessMessages() {
  const Clock::time_point Now = Clock::now();
  if (FHasPassed && Now - FLastPass < FMinPumpInterval) return;
  FHasPassed = true;
  FLastPass = Now;
  ++FPasses;
  MSG Message{};
  while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
    if (Message.message == WM_QUIT) {
      // The loop that would have seen it is not running yet: remember it for Run.
      FTerminated = true;
      return;
    }
    Dispatch(Message);
  }
}

void TApplication::Terminate() {
  if (!FTerminated) PostQuitMessage(0);
  FTerminated = true;
}

void TApplication::Pause(std::uint32_t Milliseconds) {
  Sleep(Milliseconds);
}

void TApplication::Run() {
  MSG Message{};
  while (!FTerminated) {
    const BOOL Got = GetMessageW(&Message, nullptr, 0, 0);
    if (Got <= 0) break;
    Dispatch(Message);
  }
  FTerminated = true;
}

}  // namespace ruvevid::win32
