// The application object on Windows: the pump handles what is queued and returns, a quit
// message ends the program's loop, and a terminate request made before the loop keeps it from
// starting.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>

#include "ui/win32/ApplicationWin32.h"

namespace ruvevid::win32 {
namespace {

// A message-only window that counts the messages it is sent through the queue.
class TCounter {
 public:
  TCounter() {
    FHandle = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  ~TCounter() { DestroyWindow(FHandle); }
  TCounter(const TCounter&) = delete;
  TCounter& operator=(const TCounter&) = delete;
  HWND Handle() const { return FHandle; }

 private:
  HWND FHandle;
};

TEST(ApplicationWin32, PumpDispatchesWhatIsQueuedThroughTheFilter) {
  TApplication App(std::chrono::milliseconds(0));
  TCounter Target;
  int Seen = 0;
  App.SetMessageFilter([&Seen, &Target](MSG& Message) {
    if (Message.hwnd == Target.Handle() && Message.message == WM_APP) ++Seen;
    return Message.message == WM_APP;
  });
  for (int Index = 0; Index < 3; ++Index) PostMessageW(Target.Handle(), WM_APP, 0, 0);
  App.ProcessMessages();
  EXPECT_EQ(Seen, 3);
  App.ProcessMessages();
  EXPECT_EQ(Seen, 3) << "nothing is handled twice";
  EXPECT_EQ(App.Passes(), 2u);
  EXPECT_FALSE(App.Terminated());
}

TEST(ApplicationWin32, PumpCallsInQuickSuccessionMakeOnePass) {
  TApplication App(std::chrono::hours(1));
  App.ProcessMessages();
  App.ProcessMessages();
  App.ProcessMessages();
  EXPECT_EQ(App.Passes(), 1u);
}

TEST(ApplicationWin32, QuitSeenByThePumpTerminates) {
  TApplication App(std::chrono::milliseconds(0));
  PostQuitMessage(0);
  App.ProcessMessages();
  EXPECT_TRUE(App.Terminated());
  App.Run();  // returns at once
  EXPECT_TRUE(App.Terminated());
}

TEST(ApplicationWin32, TerminateEndsTheLoopFromAHandler) {
  TApplication App(std::chrono::milliseconds(0));
  TCounter Target;
  int Seen = 0;
  App.SetMessageFilter([&](MSG& Message) {
    if (Message.message != WM_APP) return false;
    ++Seen;
    App.Terminate();
    return true;
  });
  PostMessageW(Target.Handle(), WM_APP, 0, 0);
  App.Run();
  EXPECT_EQ(Seen, 1);
  EXPECT_TRUE(App.Terminated());
  // The quit message Terminate posted is not left for a later loop to trip over.
  MSG Left{};
  while (PeekMessageW(&Left, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST(ApplicationWin32, PauseBlocksForAboutTheTime) {
  TApplication App;
  const auto Start = std::chrono::steady_clock::now();
  App.Pause(30);
  EXPECT_GE(std::chrono::steady_clock::now() - Start, std::chrono::milliseconds(25));
}

}  // namespace
}  // namespace ruvevid::win32
