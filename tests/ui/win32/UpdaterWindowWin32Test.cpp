// The updater's window on Windows: its layout at 96 dpi (the window definition's pixels) and at
// 144 dpi (every place and size scaled by one and a half), and the view operations the
// controller performs, seen on the controls.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/WideText.h"
#include "ui/win32/GaugeWin32.h"
#include "ui/win32/UpdaterWindowWin32.h"

namespace ruvevid::win32 {
namespace {

// PBM_GETPOS of the common controls: the position the progress bar shows.
constexpr UINT kProgressGetPosition = WM_USER + 8;

RECT ClientRectOf(HWND Control) {
  RECT Area{};
  GetWindowRect(Control, &Area);
  MapWindowPoints(nullptr, GetParent(Control), reinterpret_cast<POINT*>(&Area), 2);
  return Area;
}

TLayoutRect LayoutOf(const RECT& Area) {
  return {Area.left, Area.top, Area.right - Area.left, Area.bottom - Area.top};
}

TLayoutRect ScaledLayout(const TLayoutRect& Layout, UINT Dpi) {
  return {Scale(Layout.Left, Dpi), Scale(Layout.Top, Dpi), Scale(Layout.Width, Dpi),
          Scale(Layout.Height, Dpi)};
}

std::string Text(HWND Control) {
  wchar_t Buffer[512] = L"";
  GetWindowTextW(Control, Buffer, 512);
  return WideToUtf8(Buffer);
}

void ExpectLayout(const TLayoutRect& Actual, const TLayoutRect& Expected, const char* Name) {
  EXPECT_EQ(Actual.Left, Expected.Left) << Name;
  EXPECT_EQ(Actual.Top, Expected.Top) << Name;
  EXPECT_EQ(Actual.Width, Expected.Width) << Name;
  EXPECT_EQ(Actual.Height, Expected.Height) << Name;
}

class UpdaterWindowWin32 : public ::testing::Test {
 protected:
  UpdaterWindowWin32() {
    FHandlers.FormResize = [this] {
      ++FResizes;
      FWindow.SetBevel2Bounds(0, FWindow.CancelButtonTop() - 18, FWindow.RightPanelWidth());
    };
    FWindow.Bind(FHandlers);
    FWindow.SetErrorDisplay([this](const std::string& Message) { FErrors.push_back(Message); });
  }

  TUpdaterWindowHandlers FHandlers;
  TUpdaterWindow FWindow;
  int FResizes = 0;
  std::vector<std::string> FErrors;
};

// The fixed controls, in 96-dpi client coordinates.
struct TPlaceCase {
  const char* Name;
  HWND (*Control)(TUpdaterWindow& Window);
  TLayoutRect Layout;
};

const TPlaceCase kPlaces[] = {
    {"pBar", [](TUpdaterWindow& W) { return W.ProgressBar(); }, {249, 43, 385, 17}},
    {"Gauge1", [](TUpdaterWindow& W) { return W.Gauge1().Handle(); }, {267, 126, 352, 17}},
    {"lbState", [](TUpdaterWindow& W) { return W.StateLabel(); }, {267, 154, 83, 17}},
    {"Gauge2", [](TUpdaterWindow& W) { return W.Gauge2().Handle(); }, {267, 177, 352, 17}},
    {"btnCancel",
     [](TUpdaterWindow& W) { return W.Button(TUpdaterButton::btnCancel); },
     {405, 275, 73, 45}},
    {"btnRedown",
     [](TUpdaterWindow& W) { return W.Button(TUpdaterButton::btnRedown); },
     {485, 275, 73, 45}},
    {"btnClose",
     [](TUpdaterWindow& W) { return W.Button(TUpdaterButton::btnClose); },
     {565, 275, 73, 45}},
};

class WindowLayout : public UpdaterWindowWin32, public ::testing::WithParamInterface<UINT> {};

TEST_P(WindowLayout, ControlsSitAtTheScaledPlaces) {
  const UINT Dpi = GetParam();
  FWindow.ApplyDpi(Dpi);
  FWindow.ComeUp();
  RECT Client{};
  GetClientRect(FWindow.Handle(), &Client);
  EXPECT_EQ(Client.right, Scale(657, Dpi));
  EXPECT_EQ(Client.bottom, Scale(341, Dpi));
  for (const TPlaceCase& Case : kPlaces) {
    ExpectLayout(LayoutOf(ClientRectOf(Case.Control(FWindow))), ScaledLayout(Case.Layout, Dpi),
                 Case.Name);
  }
  ExpectLayout(LayoutOf(FWindow.UnzipBoxRect()), ScaledLayout({249, 96, 388, 122}, Dpi),
               "labUnzip");
  // The size notification laid Bevel2 across the right panel above the buttons.
  EXPECT_GE(FResizes, 1);
  ExpectLayout(LayoutOf(FWindow.Bevel2Rect()), ScaledLayout({229, 257, 428, 2}, Dpi), "Bevel2");
  // labDown starts at its place and is as wide as its text; lblBytes keeps its right edge.
  const RECT LabDown = ClientRectOf(FWindow.LabDown());
  EXPECT_EQ(LabDown.left, Scale(250, Dpi));
  EXPECT_EQ(LabDown.top, Scale(19, Dpi));
  EXPECT_GE(LabDown.bottom - LabDown.top, Scale(17, Dpi));
  EXPECT_GT(LabDown.right - LabDown.left, Scale(100, Dpi));
  const RECT Bytes = ClientRectOf(FWindow.BytesLabel());
  EXPECT_EQ(Bytes.right, Scale(627, Dpi));
  EXPECT_EQ(Bytes.top, Scale(76, Dpi));
  EXPECT_EQ(Bytes.bottom - Bytes.top, Scale(13, Dpi));
}

INSTANTIATE_TEST_SUITE_P(Densities, WindowLayout, ::testing::Values(96u, 120u, 144u));

// A move to a monitor of another density: the window takes the new density from the message
// and lays itself out again.
TEST_F(UpdaterWindowWin32, DensityChangeMessageScalesTheLayout) {
  FWindow.ApplyDpi(96);
  RECT Frame{};
  GetWindowRect(FWindow.Handle(), &Frame);
  RECT Suggested{Frame.left, Frame.top, Frame.left + 1000, Frame.top + 560};
  SendMessageW(FWindow.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&Suggested));
  EXPECT_EQ(FWindow.Dpi(), 144u);
  RECT Client{};
  GetClientRect(FWindow.Handle(), &Client);
  EXPECT_EQ(Client.right, 986);
  EXPECT_EQ(Client.bottom, 512);
  ExpectLayout(LayoutOf(ClientRectOf(FWindow.ProgressBar())), {374, 65, 578, 26}, "pBar");
}

TEST_F(UpdaterWindowWin32, StartsWithTheDefinitionsTextsAndStates) {
  EXPECT_EQ(Text(FWindow.LabDown()), "설치 파일을 다운받고 있습니다");
  EXPECT_EQ(Text(FWindow.StateLabel()), "전체 진행상태");
  EXPECT_EQ(FWindow.UnzipCaption(), "업데이트할 파일을 풀고 있습니다");
  EXPECT_FALSE(FWindow.UnzipVisible());
  EXPECT_FALSE(IsWindowVisible(FWindow.Gauge1().Handle()));
  EXPECT_EQ(Text(FWindow.Button(TUpdaterButton::btnCancel)), "취소");
  EXPECT_EQ(Text(FWindow.Button(TUpdaterButton::btnRedown)), "재시작");
  EXPECT_EQ(Text(FWindow.Button(TUpdaterButton::btnClose)), "종료");
  EXPECT_TRUE(IsWindowEnabled(FWindow.Button(TUpdaterButton::btnCancel)));
  EXPECT_FALSE(IsWindowEnabled(FWindow.Button(TUpdaterButton::btnRedown)));
  EXPECT_TRUE(IsWindowEnabled(FWindow.Button(TUpdaterButton::btnClose)));
  EXPECT_EQ(Text(FWindow.Handle()), "Ruvevid Label Maker 설치하기");
}

TEST_F(UpdaterWindowWin32, StatusLineTakesTheTextAndItsWidth) {
  const RECT Before = ClientRectOf(FWindow.LabDown());
  FWindow.SetLabDownText("Roduvov0.zip의 압축을 풀고 있는 중입니다....");
  FWindow.RefreshLabDown();
  EXPECT_EQ(Text(FWindow.LabDown()), "Roduvov0.zip의 압축을 풀고 있는 중입니다....");
  const RECT After = ClientRectOf(FWindow.LabDown());
  EXPECT_GT(After.right - After.left, Before.right - Before.left);
  FWindow.SetLabDownText("");
  EXPECT_EQ(Text(FWindow.LabDown()), "");
}

TEST_F(UpdaterWindowWin32, ByteCountIsRightAlignedAndShown) {
  FWindow.SetBytesText("600 / 1,500 KBytes");
  FWindow.SetBytesVisible(true);
  EXPECT_EQ(FWindow.BytesText(), "600 / 1,500 KBytes");
  EXPECT_EQ(Text(FWindow.BytesLabel()), "600 / 1,500 KBytes");
  EXPECT_TRUE(IsWindowVisible(FWindow.BytesLabel()) || !IsWindowVisible(FWindow.Handle()));
  const RECT Bytes = ClientRectOf(FWindow.BytesLabel());
  EXPECT_EQ(Bytes.right, 627);
  EXPECT_GT(Bytes.right - Bytes.left, 40);
  // A second text within the interval waits, and SetBytesVisible shows it at once.
  FWindow.SetBytesText("700 / 1,500 KBytes");
  FWindow.SetBytesVisible(false);
  EXPECT_EQ(Text(FWindow.BytesLabel()), "700 / 1,500 KBytes");
  EXPECT_EQ(GetWindowLongW(FWindow.BytesLabel(), GWL_STYLE) & WS_VISIBLE, 0);
}

struct TBarStep {
  int Max;       // a new maximum before the step; 0: none
  int Position;  // the position the view sets
  int Shown;     // the bar's position afterwards
};

TEST_F(UpdaterWindowWin32, ProgressBarFollowsWhenItsFilledPartMoves) {
  const TBarStep Steps[] = {
      {1'536'000, 614'400, 614'400},  // 40%: many pixels on
      {0, 614'500, 614'400},          // less than a pixel further: the bar is not told
      {0, 1'536'000, 1'536'000},      // the end is always shown
      {100, 50, 50},                  // a new range clamps the position, then it moves
      {0, 250, 100},                  // clamped to the range
  };
  for (const TBarStep& Step : Steps) {
    if (Step.Max != 0) FWindow.SetProgressMax(Step.Max);
    FWindow.SetProgressPosition(Step.Position);
    EXPECT_EQ(SendMessageW(FWindow.ProgressBar(), kProgressGetPosition, 0, 0), Step.Shown)
        << Step.Position;
  }
  EXPECT_EQ(FWindow.ProgressPosition(), 100);
}

TEST_F(UpdaterWindowWin32, ExtractionBoxShowsItsCaptionAndGauges) {
  FWindow.ComeUp();
  FWindow.SetUnzipVisible(true);
  FWindow.SetUnzipCaption("Roduvov0.zip의 압축을 풀고 있는 중입니다....");
  FWindow.RefreshUnzip();
  FWindow.SetGauge1Progress(62);
  FWindow.SetGauge2Progress(135);
  EXPECT_TRUE(FWindow.UnzipVisible());
  EXPECT_EQ(FWindow.UnzipCaption(), "Roduvov0.zip의 압축을 풀고 있는 중입니다....");
  EXPECT_TRUE(IsWindowVisible(FWindow.Gauge1().Handle()));
  EXPECT_TRUE(IsWindowVisible(FWindow.StateLabel()));
  EXPECT_TRUE(IsWindowVisible(FWindow.Gauge2().Handle()));
  EXPECT_EQ(FWindow.Gauge1().Progress(), 62);
  EXPECT_EQ(FWindow.Gauge2().Progress(), 100);
  FWindow.SetUnzipVisible(false);
  EXPECT_FALSE(IsWindowVisible(FWindow.Gauge2().Handle()));
}

struct TEnableCase {
  TUpdaterButton Button;
  bool Enabled;
};

class ButtonEnabling : public UpdaterWindowWin32,
                       public ::testing::WithParamInterface<TEnableCase> {};

TEST_P(ButtonEnabling, FollowsTheView) {
  const TEnableCase& Case = GetParam();
  FWindow.SetButtonEnabled(Case.Button, !Case.Enabled);
  FWindow.SetButtonEnabled(Case.Button, Case.Enabled);
  EXPECT_EQ(IsWindowEnabled(FWindow.Button(Case.Button)) != FALSE, Case.Enabled);
}

INSTANTIATE_TEST_SUITE_P(Buttons, ButtonEnabling,
                         ::testing::Values(TEnableCase{TUpdaterButton::btnCancel, false},
                                           TEnableCase{TUpdaterButton::btnCancel, true},
                                           TEnableCase{TUpdaterButton::btnRedown, true},
                                           TEnableCase{TUpdaterButton::btnRedown, false},
                                           TEnableCase{TUpdaterButton::btnClose, false},
                                           TEnableCase{TUpdaterButton::btnClose, true}));

// A click reaches its handler only while the button is enabled; Esc is Cancel.
TEST_F(UpdaterWindowWin32, ClicksAndEscReachTheHandlers) {
  int Cancels = 0;
  int Restarts = 0;
  FHandlers.btnCancelClick = [&Cancels] { ++Cancels; };
  FHandlers.btnRedownClick = [&Restarts] { ++Restarts; };
  FWindow.Bind(FHandlers);
  FWindow.ComeUp();  // a button is pressed only while it can be seen
  HWND Cancel = FWindow.Button(TUpdaterButton::btnCancel);
  HWND Redown = FWindow.Button(TUpdaterButton::btnRedown);
  SendMessageW(FWindow.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Cancel), BN_CLICKED),
               reinterpret_cast<LPARAM>(Cancel));
  SendMessageW(FWindow.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Redown), BN_CLICKED),
               reinterpret_cast<LPARAM>(Redown));
  SendMessageW(FWindow.Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  EXPECT_EQ(Cancels, 2);
  EXPECT_EQ(Restarts, 0) << "Restart is disabled at the start";
  FWindow.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  SendMessageW(FWindow.Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  EXPECT_EQ(Cancels, 2);
}

TEST_F(UpdaterWindowWin32, HandlerFailureGoesToTheErrorDisplay) {
  FHandlers.FormCloseQuery = []() -> bool { throw std::runtime_error("close failed"); };
  FWindow.Bind(FHandlers);
  FWindow.ComeUp();
  SendMessageW(FWindow.Handle(), WM_CLOSE, 0, 0);
  ASSERT_EQ(FErrors.size(), 1u);
  EXPECT_EQ(FErrors[0], "close failed");
  EXPECT_TRUE(IsWindowVisible(FWindow.Handle())) << "a failed close query keeps the window";
}

TEST_F(UpdaterWindowWin32, QueueRowsKeepTheirCaptionsAndIdentity) {
  FWindow.AddQueueRow("http://example.test/a.zip", {"0", "", "", ""});
  FWindow.AddQueueRow("http://example.test/b.zip", {});
  void* First = FWindow.QueueRowData(0);
  for (int Row = 0; Row < 50; ++Row) FWindow.AddQueueRow("x", {});
  EXPECT_EQ(FWindow.QueueRowCount(), 52);
  EXPECT_EQ(FWindow.QueueRowCaption(1), "http://example.test/b.zip");
  EXPECT_EQ(FWindow.QueueRowData(0), First);
  EXPECT_NE(FWindow.QueueRowData(0), FWindow.QueueRowData(1));
  EXPECT_EQ(FWindow.QueueRowData(52), nullptr);
  EXPECT_EQ(FWindow.QueueRowCaption(-1), "");
}

}  // namespace
}  // namespace ruvevid::win32
