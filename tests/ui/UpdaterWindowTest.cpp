// The updater window: its controls as laid out, its view operations and its bindings.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QTreeWidget>
#include <ostream>
#include <set>
#include <stdexcept>

#include "QtTestApp.h"
#include "StandInUpdater.h"
#include "ui/Gauge.h"
#include "ui/QtApplication.h"
#include "ui/UpdaterWindow.h"

namespace ruvevid {
namespace {

const QColor Blue(0, 0, 255);

class UpdaterWindow : public test::QtTest {
 protected:
  UpdaterWindow() : FApp(std::chrono::milliseconds(0)), FUpdater(FWindow, FApp) {
    FWindow.Bind(BindUpdaterHandlers(FUpdater));
    FWindow.SetErrorDisplay([this](const std::string& Message) { FErrors.push_back(Message); });
  }

  template <class T = QWidget>
  T* Control(const char* Name) {
    T* Found = FWindow.findChild<T*>(QLatin1String(Name));
    EXPECT_NE(Found, nullptr) << Name;
    return Found;
  }

  TQtApplication FApp;
  TUpdaterWindow FWindow;
  test::TStandInUpdater FUpdater;
  std::vector<std::string> FErrors;
};

struct ControlRow {
  const char* Name;
  const char* Parent;
  QRect Bounds;
  bool Visible;
  bool Enabled;
};

void PrintTo(const ControlRow& Row, std::ostream* Out) {
  *Out << Row.Name;
}

class UpdaterWindowControls : public UpdaterWindow,
                              public ::testing::WithParamInterface<ControlRow> {};

TEST_P(UpdaterWindowControls, MatchTheWindowDefinition) {
  const ControlRow& Row = GetParam();
  QWidget* Widget = Control(Row.Name);
  ASSERT_NE(Widget, nullptr);
  EXPECT_EQ(Widget->parentWidget()->objectName(), QLatin1String(Row.Parent));
  EXPECT_EQ(Widget->geometry(), Row.Bounds);
  EXPECT_EQ(!Widget->isHidden(), Row.Visible);
  EXPECT_EQ(Widget->isEnabled(), Row.Enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdaterWindowControls,
    ::testing::Values(ControlRow{"Panel2", "frmUpdater", {0, 0, 227, 341}, true, true},
                      ControlRow{"Image1", "Panel2", {0, 0, 227, 341}, true, true},
                      ControlRow{"Bevel1", "frmUpdater", {227, 0, 2, 341}, true, true},
                      ControlRow{"pnlRight", "frmUpdater", {229, 0, 428, 341}, true, true},
                      ControlRow{"labDown", "pnlRight", {21, 19, 184, 17}, true, true},
                      ControlRow{"pBar", "pnlRight", {20, 43, 385, 17}, true, true},
                      ControlRow{"lblBytes", "pnlRight", {395, 76, 3, 13}, true, true},
                      ControlRow{"labUnzip", "pnlRight", {20, 96, 388, 122}, false, true},
                      ControlRow{"Gauge1", "labUnzip", {18, 30, 352, 17}, true, true},
                      ControlRow{"lbState", "labUnzip", {18, 58, 83, 17}, true, true},
                      ControlRow{"Gauge2", "labUnzip", {18, 81, 352, 17}, true, true},
                      ControlRow{"DownList", "pnlRight", {96, 136, 297, 97}, false, true},
                      ControlRow{"Bevel2", "pnlRight", {-3, 257, 433, 2}, true, true},
                      ControlRow{"btnCancel", "pnlRight", {176, 275, 73, 45}, true, true},
                      ControlRow{"btnRedown", "pnlRight", {256, 275, 73, 45}, true, false},
                      ControlRow{"btnClose", "pnlRight", {336, 275, 73, 45}, true, true}),
    [](const ::testing::TestParamInfo<ControlRow>& Info) { return std::string(Info.param.Name); });

TEST_F(UpdaterWindow, HasAFixedClientAreaWithoutMaximise) {
  EXPECT_EQ(FWindow.windowTitle(), QStringLiteral("Ruvevid Label Maker 설치하기"));
  EXPECT_EQ(FWindow.size(), QSize(657, 341));
  EXPECT_EQ(FWindow.minimumSize(), QSize(657, 341));
  EXPECT_EQ(FWindow.maximumSize(), QSize(657, 341));
  const Qt::WindowFlags Flags = FWindow.windowFlags();
  EXPECT_FALSE(Flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(Flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(Flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_TRUE(Flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(FWindow.windowIcon().availableSizes().contains(QSize(48, 48)));
  EXPECT_EQ(FWindow.palette().color(QPalette::Window), FWindow.palette().color(QPalette::Button));
}

TEST_F(UpdaterWindow, ShowsTheInitialCaptions) {
  EXPECT_EQ(Control<QLabel>("labDown")->text(), QStringLiteral("설치 파일을 다운받고 있습니다"));
  EXPECT_EQ(Control<QLabel>("lblBytes")->text(), QString());
  EXPECT_EQ(Control<QGroupBox>("labUnzip")->title(),
            QStringLiteral("업데이트할 파일을 풀고 있습니다"));
  EXPECT_EQ(Control<QLabel>("lbState")->text(), QStringLiteral("전체 진행상태"));
  EXPECT_EQ(Control<QToolButton>("btnCancel")->text(), QStringLiteral("취소"));
  EXPECT_EQ(Control<QToolButton>("btnRedown")->text(), QStringLiteral("재시작"));
  EXPECT_EQ(Control<QToolButton>("btnClose")->text(), QStringLiteral("종료"));
}

TEST_F(UpdaterWindow, UsesHangulFontsInTheStatedSizesAndColours) {
  const QFont Window = FWindow.font();
  EXPECT_EQ(Window.families().value(0), QStringLiteral("맑은 고딕"));
  EXPECT_EQ(Window.pixelSize(), 13);
  EXPECT_TRUE(QFontMetrics(Window).inFont(QChar(0xC124)))
      << "renders Hangul: " << QFontInfo(Window).family().toStdString();
  auto* Status = Control<QLabel>("labDown");
  EXPECT_EQ(Status->font().pixelSize(), 13);
  EXPECT_EQ(Status->palette().color(QPalette::WindowText), Blue);
  auto* Bytes = Control<QLabel>("lblBytes");
  EXPECT_EQ(Bytes->font().families().value(0), QStringLiteral("MS Sans Serif"));
  EXPECT_EQ(Bytes->font().pixelSize(), 11);
  EXPECT_EQ(Bytes->palette().color(QPalette::WindowText), Blue);
  EXPECT_TRUE(Bytes->alignment().testFlag(Qt::AlignRight));
  EXPECT_EQ(Control<QLabel>("lbState")->font().pixelSize(), 13);
  EXPECT_EQ(Control("Panel2")->palette().color(QPalette::Window), QColor(Qt::white));
}

TEST_F(UpdaterWindow, GaugesAreBlueHorizontalBarsAtZero) {
  for (const char* Name : {"Gauge1", "Gauge2"}) {
    auto* Gauge = Control<TGauge>(Name);
    ASSERT_NE(Gauge, nullptr);
    EXPECT_EQ(Gauge->Kind(), TGaugeKind::gkHorizontalBar);
    EXPECT_EQ(Gauge->ForeColor(), Blue);
    EXPECT_EQ(Gauge->Progress(), 0);
    EXPECT_EQ(Gauge->MaxValue(), 100);
  }
  auto* Bar = Control<QProgressBar>("pBar");
  EXPECT_EQ(Bar->minimum(), 0);
  EXPECT_EQ(Bar->maximum(), 100);
  EXPECT_EQ(Bar->value(), 0);
}

TEST_F(UpdaterWindow, ButtonsAreFlatWithTheGlyphAboveTheCaption) {
  const std::pair<const char*, QSize> Buttons[] = {
      {"btnCancel", QSize(16, 17)}, {"btnRedown", QSize(16, 16)}, {"btnClose", QSize(16, 16)}};
  for (const auto& [Name, GlyphSize] : Buttons) {
    auto* Button = Control<QToolButton>(Name);
    ASSERT_NE(Button, nullptr);
    EXPECT_EQ(Button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon) << Name;
    EXPECT_TRUE(Button->autoRaise()) << Name;
    EXPECT_EQ(Button->iconSize(), GlyphSize) << Name;
    EXPECT_TRUE(Button->icon().availableSizes().contains(GlyphSize)) << Name;
    EXPECT_TRUE(Button->toolTip().isEmpty()) << "no hints are shown";
  }
  auto* Picture = Control<QLabel>("Image1");
  EXPECT_EQ(Picture->pixmap().size(), QSize(227, 341));
  EXPECT_TRUE(Picture->hasScaledContents());
}

TEST_F(UpdaterWindow, QueueListHasTheFiveColumns) {
  auto* List = Control<QTreeWidget>("DownList");
  ASSERT_EQ(List->columnCount(), 5);
  const QStringList Captions{QStringLiteral("다운받을 URL"), QStringLiteral("파일크기"),
                             QStringLiteral("MINE 타입"), QStringLiteral("다운로드 완료"),
                             QString()};
  for (int Column = 0; Column < 5; ++Column) {
    EXPECT_EQ(List->headerItem()->text(Column), Captions[Column]);
  }
  EXPECT_EQ(List->columnWidth(1), 80);
  EXPECT_EQ(List->columnWidth(2), 70);
  EXPECT_EQ(List->columnWidth(3), 90);
  EXPECT_EQ(List->columnWidth(4), 20);
  EXPECT_EQ(List->header()->sectionResizeMode(0), QHeaderView::Stretch);
  EXPECT_EQ(List->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(UpdaterWindow, TabOrderFollowsTheDefinition) {
  std::vector<QString> Order;
  QWidget* Widget = &FWindow;
  for (int Step = 0; Step < 200; ++Step) {
    Widget = Widget->nextInFocusChain();
    if (Widget == &FWindow) break;
    Order.push_back(Widget->objectName());
  }
  auto Position = [&Order](const char* Name) {
    const auto Found = std::find(Order.begin(), Order.end(), QLatin1String(Name));
    EXPECT_NE(Found, Order.end()) << Name;
    return Found - Order.begin();
  };
  EXPECT_LT(Position("Panel2"), Position("pnlRight"));
  const char* RightPanel[] = {"pBar", "labUnzip", "DownList", "btnCancel", "btnRedown", "btnClose"};
  for (std::size_t I = 1; I < std::size(RightPanel); ++I) {
    EXPECT_LT(Position(RightPanel[I - 1]), Position(RightPanel[I])) << RightPanel[I];
  }
}

TEST_F(UpdaterWindow, CreationRunsBeforeTheWindowIsShown) {
  bool VisibleDuringCreate = true;
  FUpdater.OnCreate = [this, &VisibleDuringCreate] { VisibleDuringCreate = FWindow.isVisible(); };
  FWindow.Create();
  EXPECT_EQ(FUpdater.Created, 1);
  EXPECT_FALSE(VisibleDuringCreate);
  EXPECT_EQ(FUpdater.Resized, 0);
}

TEST_F(UpdaterWindow, FirstSizeNotificationRunsWithTheWindowOnScreen) {
  bool VisibleDuringResize = false;
  FUpdater.OnResize = [this, &VisibleDuringResize] { VisibleDuringResize = FWindow.isVisible(); };
  FWindow.Create();
  FWindow.ComeUp();
  EXPECT_EQ(FUpdater.Resized, 1);
  EXPECT_TRUE(VisibleDuringResize);
  EXPECT_EQ(Control("Bevel2")->geometry(), QRect(0, 257, 428, 2)) << "re-laid across the panel";
  test::SpinEventLoop(30);
  EXPECT_EQ(FUpdater.Resized, 1);
}

TEST_F(UpdaterWindow, MinimiseAndRestoreSendNoSizeNotification) {
  FWindow.ComeUp();
  test::SpinEventLoop(20);
  FWindow.showMinimized();
  test::SpinEventLoop(20);
  FWindow.showNormal();
  test::SpinEventLoop(20);
  EXPECT_EQ(FUpdater.Resized, 1);
  EXPECT_EQ(FWindow.size(), QSize(657, 341));
}

TEST_F(UpdaterWindow, ButtonsRunTheirHandlers) {
  FWindow.ComeUp();
  Control<QToolButton>("btnRedown")->click();  // disabled: nothing happens
  EXPECT_EQ(FUpdater.Restarts, 0);
  Control<QToolButton>("btnCancel")->click();
  EXPECT_EQ(FUpdater.Cancels, 1);
  EXPECT_FALSE(Control("btnCancel")->isEnabled());
  ASSERT_TRUE(Control("btnRedown")->isEnabled());
  Control<QToolButton>("btnRedown")->click();
  EXPECT_EQ(FUpdater.Restarts, 1);
  Control<QToolButton>("btnClose")->click();
  EXPECT_EQ(FUpdater.Closes, 1);
  EXPECT_TRUE(FApp.Terminated());
}

// Keys: Esc is Cancel while Cancel is enabled, Enter and Return press the focused button.
struct KeyCase {
  const char* Name;
  int Key;
  const char* Focused;  // the button with the focus; null: none
  bool CancelEnabled;
  int Cancels;
  int Closes;
};

class UpdaterWindowKeys : public UpdaterWindow, public testing::WithParamInterface<KeyCase> {};

TEST_P(UpdaterWindowKeys, PressTheRightButton) {
  FWindow.ComeUp();
  FWindow.SetButtonEnabled(TUpdaterButton::btnCancel, GetParam().CancelEnabled);
  if (GetParam().Focused != nullptr) Control(GetParam().Focused)->setFocus();
  QKeyEvent Press(QEvent::KeyPress, GetParam().Key, Qt::NoModifier);
  QCoreApplication::sendEvent(
      FWindow.focusWidget() != nullptr ? FWindow.focusWidget() : static_cast<QWidget*>(&FWindow),
      &Press);
  EXPECT_EQ(FUpdater.Cancels, GetParam().Cancels);
  EXPECT_EQ(FUpdater.Closes, GetParam().Closes);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, UpdaterWindowKeys,
    testing::Values(KeyCase{"EscapeIsCancel", Qt::Key_Escape, nullptr, true, 1, 0},
                    KeyCase{"EscapeWithCancelDisabled", Qt::Key_Escape, nullptr, false, 0, 0},
                    KeyCase{"EscapeOnTheCloseButton", Qt::Key_Escape, "btnClose", true, 1, 0},
                    KeyCase{"ReturnPressesClose", Qt::Key_Return, "btnClose", true, 0, 1},
                    KeyCase{"EnterPressesCancel", Qt::Key_Enter, "btnCancel", true, 1, 0},
                    KeyCase{"ReturnOnADisabledButton", Qt::Key_Return, "btnCancel", false, 0, 0}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(UpdaterWindow, CloseBoxWorksWhileEveryButtonIsDisabled) {
  FWindow.ComeUp();
  for (auto Button :
       {TUpdaterButton::btnCancel, TUpdaterButton::btnRedown, TUpdaterButton::btnClose}) {
    FWindow.SetButtonEnabled(Button, false);
  }
  EXPECT_TRUE(FWindow.close());
  EXPECT_EQ(FUpdater.CloseQueries, 1);
  EXPECT_EQ(FUpdater.Closes, 1) << "the close request runs the Close button's handler";
  EXPECT_FALSE(FWindow.isVisible());
  EXPECT_TRUE(FApp.Terminated());
}

TEST_F(UpdaterWindow, CloseDuringAPumpedTransferEndsItCleanly) {
  constexpr int Blocks = 1'000'000;
  FUpdater.OnResize = [this] { FUpdater.Transfer(Blocks); };
  QTimer::singleShot(30, &FWindow, [this] { FWindow.close(); });
  FWindow.Create();
  FWindow.ComeUp();  // the transfer runs in here until the close request stops it
  EXPECT_EQ(FUpdater.CloseQueries, 1);
  EXPECT_GT(FUpdater.BlocksDone, 0);
  EXPECT_LT(FUpdater.BlocksDone, Blocks);
  EXPECT_FALSE(FWindow.isVisible());
  EXPECT_TRUE(FApp.Terminated());
  EXPECT_TRUE(FErrors.empty());
}

TEST_F(UpdaterWindow, CloseRequestsAtEveryMomentOfATransfer) {
  // A close request lands at a different block each time; every run ends where it was asked to.
  for (int Delay : {0, 1, 5, 12}) {
    TQtApplication App(std::chrono::milliseconds(0));
    TUpdaterWindow Window;
    test::TStandInUpdater Updater(Window, App);
    Window.Bind(BindUpdaterHandlers(Updater));
    Updater.OnResize = [&Updater] { Updater.Transfer(1'000'000); };
    QTimer::singleShot(Delay, &Window, [&Window] { Window.close(); });
    Window.ComeUp();
    EXPECT_EQ(Updater.Closes, 1) << Delay;
    EXPECT_LT(Updater.BlocksDone, 1'000'000) << Delay;
    EXPECT_TRUE(App.Terminated());
  }
}

TEST_F(UpdaterWindow, HandlerExceptionsGoToTheErrorDisplay) {
  FUpdater.OnResize = [] { throw std::runtime_error("Cannot create file /x/Roduvov0.zip"); };
  FWindow.ComeUp();
  ASSERT_EQ(FErrors.size(), 1u);
  EXPECT_EQ(FErrors[0], "Cannot create file /x/Roduvov0.zip");

  FUpdater.OnCloseQuery = [] { throw std::runtime_error("refused"); };
  EXPECT_FALSE(FWindow.close()) << "a close query that raises keeps the window";
  EXPECT_TRUE(FWindow.isVisible());
  ASSERT_EQ(FErrors.size(), 2u);
  EXPECT_EQ(FErrors[1], "refused");
}

TEST_F(UpdaterWindow, BytesLabelKeepsItsRightEdge) {
  auto* Bytes = Control<QLabel>("lblBytes");
  FWindow.SetBytesText("0 / 1,500 KBytes");
  EXPECT_EQ(Bytes->text(), QStringLiteral("0 / 1,500 KBytes"));
  EXPECT_EQ(Bytes->geometry().right() + 1, 398);
  const int Short = Bytes->width();
  FWindow.SetBytesText("1,000 / 1,500 KBytes");
  EXPECT_EQ(FWindow.BytesText(), "1,000 / 1,500 KBytes");
  test::SpinEventLoop(30);  // a text that follows soon after reaches the label a moment later
  EXPECT_EQ(Bytes->text(), QStringLiteral("1,000 / 1,500 KBytes"));
  EXPECT_EQ(Bytes->geometry().right() + 1, 398);
  EXPECT_GT(Bytes->width(), Short);
  EXPECT_EQ(Bytes->width(), QFontMetrics(Bytes->font()).horizontalAdvance(Bytes->text()));
  FWindow.SetBytesVisible(false);
  EXPECT_TRUE(Bytes->isHidden());
  FWindow.SetBytesVisible(true);
  EXPECT_FALSE(Bytes->isHidden());
}

TEST_F(UpdaterWindow, StatusLineSizesItselfToItsText) {
  auto* Status = Control<QLabel>("labDown");
  FWindow.SetLabDownText("Roduvov0.zip을 다운받았습니다.");
  EXPECT_EQ(Status->text(), QStringLiteral("Roduvov0.zip을 다운받았습니다."));
  EXPECT_EQ(Status->pos(), QPoint(21, 19));
  EXPECT_EQ(Status->width(), QFontMetrics(Status->font()).horizontalAdvance(Status->text()));
}

TEST_F(UpdaterWindow, ViewOperationsReachTheControls) {
  auto* Bar = Control<QProgressBar>("pBar");
  FWindow.SetProgressMax(1'536'000);
  FWindow.SetProgressPosition(768'000);
  EXPECT_EQ(Bar->maximum(), 1'536'000);
  EXPECT_EQ(Bar->value(), 768'000);
  FWindow.SetProgressPosition(2'000'000);
  EXPECT_EQ(Bar->value(), 1'536'000) << "kept within the range";
  EXPECT_EQ(FWindow.ProgressPosition(), 1'536'000);
  FWindow.SetProgressPosition(1'535'000);  // less than a pixel of the bar away
  EXPECT_EQ(FWindow.ProgressPosition(), 1'535'000);
  FWindow.SetProgressPosition(0);
  EXPECT_EQ(Bar->value(), 0);
  FWindow.SetProgressPosition(1'000);
  EXPECT_EQ(Bar->value(), 0) << "the filled part has not moved by a pixel";
  FWindow.SetProgressPosition(10'000);
  EXPECT_EQ(Bar->value(), 10'000);
  FWindow.SetProgressMax(100);
  EXPECT_EQ(Bar->value(), 100);
  EXPECT_EQ(FWindow.ProgressPosition(), 100);

  FWindow.SetUnzipVisible(true);
  FWindow.SetUnzipCaption("Roduvov0.zip의 압축을 풀고 있는 중입니다....");
  EXPECT_FALSE(Control("labUnzip")->isHidden());
  EXPECT_EQ(Control<QGroupBox>("labUnzip")->title(),
            QStringLiteral("Roduvov0.zip의 압축을 풀고 있는 중입니다...."));
  FWindow.SetGauge1Progress(42);
  FWindow.SetGauge2Progress(7);
  EXPECT_EQ(Control<TGauge>("Gauge1")->Progress(), 42);
  EXPECT_EQ(Control<TGauge>("Gauge2")->Progress(), 7);

  FWindow.SetButtonEnabled(TUpdaterButton::btnRedown, true);
  FWindow.SetButtonEnabled(TUpdaterButton::btnClose, false);
  EXPECT_TRUE(Control("btnRedown")->isEnabled());
  EXPECT_FALSE(Control("btnClose")->isEnabled());

  EXPECT_EQ(FWindow.CancelButtonTop(), 275);
  EXPECT_EQ(FWindow.RightPanelWidth(), 428);
  FWindow.SetBevel2Bounds(0, 257, 428);
  EXPECT_EQ(Control("Bevel2")->geometry(), QRect(0, 257, 428, 2));
}

TEST_F(UpdaterWindow, QueueKeepsItsRows) {
  EXPECT_EQ(FWindow.QueueRowCount(), 0);
  FWindow.AddQueueRow("localhost:280/HTTP/Ruvevid/Roduvov0.zip", {"", ""});
  FWindow.AddQueueRow("second", {"", ""});
  ASSERT_EQ(FWindow.QueueRowCount(), 2);
  EXPECT_EQ(FWindow.QueueRowCaption(0), "localhost:280/HTTP/Ruvevid/Roduvov0.zip");
  EXPECT_EQ(FWindow.QueueRowCaption(1), "second");
  EXPECT_NE(FWindow.QueueRowData(0), nullptr);
  EXPECT_NE(FWindow.QueueRowData(0), FWindow.QueueRowData(1));
  EXPECT_EQ(Control<QTreeWidget>("DownList")->topLevelItem(0)->columnCount(), 3);
  EXPECT_TRUE(Control("DownList")->isHidden());
}

}  // namespace
}  // namespace ruvevid
