#include "ui/UpdaterWindow.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScreen>
#include <QStringList>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdint>

#include "ui/Gauge.h"
#include "ui/UpdaterArt.h"

namespace ruvevid {
namespace {

const QColor Blue(0, 0, 255);

// The family the window definition names, then the Hangul fonts that stand in where it is missing.
QFont FontOf(const QStringList& Families, int PixelHeight) {
  QFont Font;
  QStringList All = Families;
  All << QStringLiteral("NanumGothic") << QStringLiteral("NanumBarunGothic")
      << QStringLiteral("Noto Sans CJK KR");
  Font.setFamilies(All);
  Font.setPixelSize(PixelHeight);
  return Font;
}

QFont WindowFont() {
  return FontOf({QStringLiteral("맑은 고딕"), QStringLiteral("Malgun Gothic")}, 13);
}

QFont BytesFont() {
  return FontOf({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif")}, 11);
}

void SetTextColour(QWidget* Widget, const QColor& Colour) {
  QPalette Palette = Widget->palette();
  Palette.setColor(QPalette::WindowText, Colour);
  Widget->setPalette(Palette);
}

void SetBackground(QWidget* Widget, const QColor& Colour) {
  QPalette Palette = Widget->palette();
  Palette.setColor(QPalette::Window, Colour);
  Widget->setPalette(Palette);
  Widget->setAutoFillBackground(true);
}

QString ToQString(const std::string& Text) {
  return QString::fromStdString(Text);
}

int TextWidth(const QWidget* Widget, const QString& Text) {
  return QFontMetrics(Widget->font()).horizontalAdvance(Text);
}

// Resets a flag when the scope ends, also when it ends by an exception.
class TFlagScope {
 public:
  explicit TFlagScope(bool& Flag) : FFlag(Flag), FBefore(Flag) { FFlag = true; }
  ~TFlagScope() { FFlag = FBefore; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& FFlag;
  bool FBefore;
};

}  // namespace

TUpdaterWindow::TUpdaterWindow(QWidget* Parent)
    : QWidget(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FErrorDisplay([this](const std::string& Message) { ShowDefaultError(this, Message); }) {
  setObjectName(QStringLiteral("frmUpdater"));
  setWindowTitle(QStringLiteral("Ruvevid Label Maker 설치하기"));
  setWindowIcon(QIcon(QPixmap::fromImage(WindowIcon())));
  setFixedSize(ClientWidth, ClientHeight);
  setFont(WindowFont());
  SetBackground(this, palette().color(QPalette::Button));

  BuildLeftSide();
  BuildRightPanel();
  SetTabOrder();

  FDeferredBytesText.setSingleShot(true);
  QObject::connect(&FDeferredBytesText, &QTimer::timeout, this, [this] {
    FBytesTextThrottle.Passed(TRepaintThrottle::Clock::now());
    ShowBytesText();
  });
  FDeferredPaint.setSingleShot(true);
  QObject::connect(&FDeferredPaint, &QTimer::timeout, this, [this] { PaintDeferred(); });
}

TUpdaterWindow::~TUpdaterWindow() = default;

void TUpdaterWindow::BuildLeftSide() {
  Panel2 = new QWidget(this);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setGeometry(0, 0, 227, ClientHeight);
  SetBackground(Panel2, Qt::white);

  Image1 = new QLabel(Panel2);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, 227, 341);
  Image1->setScaledContents(true);
  Image1->setPixmap(QPixmap::fromImage(SidePicture()));

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameShape(QFrame::VLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(227, 0, 2, ClientHeight);
}

void TUpdaterWindow::BuildRightPanel() {
  pnlRight = new QWidget(this);
  pnlRight->setObjectName(QStringLiteral("pnlRight"));
  pnlRight->setGeometry(229, 0, ClientWidth - 229, ClientHeight);

  labDown = new QLabel(QStringLiteral("설치 파일을 다운받고 있습니다"), pnlRight);
  labDown->setObjectName(QStringLiteral("labDown"));
  labDown->setGeometry(21, 19, 184, 17);
  SetTextColour(labDown, Blue);

  pBar = new QProgressBar(pnlRight);
  pBar->setObjectName(QStringLiteral("pBar"));
  pBar->setGeometry(20, 43, 385, 17);
  pBar->setRange(0, 100);
  pBar->setValue(0);
  pBar->setTextVisible(false);

  lblBytes = new QLabel(pnlRight);
  lblBytes->setObjectName(QStringLiteral("lblBytes"));
  lblBytes->setGeometry(395, 76, 3, 13);
  lblBytes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblBytes->setFont(BytesFont());
  SetTextColour(lblBytes, Blue);

  BuildExtractionBox();
  BuildQueueList();

  Bevel2 = new QFrame(pnlRight);
  Bevel2->setObjectName(QStringLiteral("Bevel2"));
  Bevel2->setFrameShape(QFrame::HLine);
  Bevel2->setFrameShadow(QFrame::Sunken);
  Bevel2->setGeometry(-3, 257, 433, 2);

  BuildButtons();
}

void TUpdaterWindow::BuildExtractionBox() {
  labUnzip = new QGroupBox(QStringLiteral("업데이트할 파일을 풀고 있습니다"), pnlRight);
  labUnzip->setObjectName(QStringLiteral("labUnzip"));
  labUnzip->setGeometry(20, 96, 388, 122);
  labUnzip->setVisible(false);

  auto MakeGauge = [this](const char* Name, int Top) {
    auto* Gauge = new TGauge(labUnzip);
    Gauge->setObjectName(QLatin1String(Name));
    Gauge->setGeometry(18, Top, 352, 17);
    Gauge->SetKind(TGaugeKind::gkHorizontalBar);
    Gauge->SetForeColor(Blue);
    Gauge->SetProgress(0);
    return Gauge;
  };
  Gauge1 = MakeGauge("Gauge1", 30);
  lbState = new QLabel(QStringLiteral("전체 진행상태"), labUnzip);
  lbState->setObjectName(QStringLiteral("lbState"));
  lbState->setGeometry(18, 58, 83, 17);
  Gauge2 = MakeGauge("Gauge2", 81);
}

void TUpdaterWindow::BuildQueueList() {
  DownList = new QTreeWidget(pnlRight);
  DownList->setObjectName(QStringLiteral("DownList"));
  DownList->setGeometry(96, 136, 297, 97);
  DownList->setRootIsDecorated(false);
  DownList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DownList->setHeaderLabels({QStringLiteral("다운받을 URL"), QStringLiteral("파일크기"),
                             QStringLiteral("MINE 타입"), QStringLiteral("다운로드 완료"),
                             QString()});
  QHeaderView* Header = DownList->header();
  Header->setStretchLastSection(false);
  Header->setSectionResizeMode(0, QHeaderView::Stretch);
  const int Widths[] = {80, 70, 90, 20};
  for (int Column = 1; Column <= 4; ++Column) {
    Header->setSectionResizeMode(Column, QHeaderView::Fixed);
    DownList->setColumnWidth(Column, Widths[Column - 1]);
  }
  DownList->setVisible(false);
}

QToolButton* TUpdaterWindow::MakeButton(
    const char* Name, const QString& Caption, const QImage& Glyph, int Left,
    const std::function<void()> TUpdaterWindowHandlers::*Handler) {
  auto* Button = new QToolButton(pnlRight);
  Button->setObjectName(QLatin1String(Name));
  Button->setGeometry(Left, 275, 73, 45);
  Button->setText(Caption);
  Button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  Button->setAutoRaise(true);
  Button->setIcon(QIcon(QPixmap::fromImage(Glyph)));
  Button->setIconSize(Glyph.size());
  Button->setFocusPolicy(Qt::StrongFocus);
  QObject::connect(Button, &QToolButton::clicked, this,
                   [this, Handler] { Run(FHandlers.*Handler); });
  return Button;
}

void TUpdaterWindow::BuildButtons() {
  btnCancel = MakeButton("btnCancel", QStringLiteral("취소"), CancelGlyph(), 176,
                         &TUpdaterWindowHandlers::btnCancelClick);
  btnRedown = MakeButton("btnRedown", QStringLiteral("재시작"), RestartGlyph(), 256,
                         &TUpdaterWindowHandlers::btnRedownClick);
  btnRedown->setEnabled(false);
  btnClose = MakeButton("btnClose", QStringLiteral("종료"), CloseGlyph(), 336,
                        &TUpdaterWindowHandlers::btnCloseClick);
}

void TUpdaterWindow::SetTabOrder() {
  QWidget::setTabOrder(Panel2, pnlRight);
  QWidget::setTabOrder(pBar, labUnzip);
  QWidget::setTabOrder(labUnzip, DownList);
  QWidget::setTabOrder(DownList, btnCancel);
  QWidget::setTabOrder(btnCancel, btnRedown);
  QWidget::setTabOrder(btnRedown, btnClose);
}

// The handler is copied so that it outlives a rebinding made while it runs.
void TUpdaterWindow::Run(std::function<void()> Handler) {
  RunGuarded(Handler, FErrorDisplay);
}

void TUpdaterWindow::Create() {
  Run(FHandlers.FormCreate);
}

void TUpdaterWindow::CentreOnScreen() {
  const QScreen* Screen = QGuiApplication::primaryScreen();
  if (Screen == nullptr) return;
  QRect Frame = frameGeometry();
  Frame.moveCenter(Screen->availableGeometry().center());
  move(Frame.topLeft());
}

void TUpdaterWindow::ComeUp() {
  CentreOnScreen();
  show();
  FCameUp = true;
  if (FSizeNotificationPending) {
    FSizeNotificationPending = false;
    Run(FHandlers.FormResize);
  }
}

void TUpdaterWindow::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  if (!FCameUp) {
    // Qt delivers the first size notification before the window reaches the screen; ComeUp
    // hands it on once the window is there to be seen while the run goes on.
    FSizeNotificationPending = true;
    return;
  }
  Run(FHandlers.FormResize);
}

// Esc is Cancel while Cancel can be pressed; Enter and Return press the button that has the focus.
void TUpdaterWindow::keyPressEvent(QKeyEvent* Event) {
  QAbstractButton* Pressed = nullptr;
  switch (Event->key()) {
    case Qt::Key_Escape:
      Pressed = btnCancel;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Pressed = qobject_cast<QAbstractButton*>(focusWidget());
      break;
    default:
      QWidget::keyPressEvent(Event);
      return;
  }
  Event->accept();
  if (Pressed != nullptr && Pressed->isEnabled() && Pressed->isVisible()) Pressed->click();
}

void TUpdaterWindow::closeEvent(QCloseEvent* Event) {
  bool CanClose = true;
  const bool Ran = RunGuarded(
      [this, &CanClose] {
        if (FHandlers.FormCloseQuery) CanClose = FHandlers.FormCloseQuery();
      },
      FErrorDisplay);
  if (Ran && CanClose) {
    Event->accept();
  } else {
    Event->ignore();
  }
}

// Paint passes of the window run at most about 60 times a second: a request that comes sooner
// is held and made once the interval has passed, painting every change made meanwhile. Changes
// that must show at once (the refresh operations) pass straight through.
bool TUpdaterWindow::event(QEvent* Event) {
  if (Event->type() == QEvent::UpdateRequest) {
    const auto Now = TRepaintThrottle::Clock::now();
    if (FPaintingAtOnce) {
      FPaintThrottle.Passed(Now);
    } else if (!FPaintThrottle.Admit(Now)) {
      if (!FDeferredPaint.isActive()) {
        const auto Wait =
            std::chrono::ceil<std::chrono::milliseconds>(FPaintThrottle.Remaining(Now));
        FDeferredPaint.start(static_cast<int>(Wait.count()));
      }
      return true;
    }
  }
  return QWidget::event(Event);
}

void TUpdaterWindow::PaintDeferred() {
  TFlagScope AtOnce(FPaintingAtOnce);
  QEvent Request(QEvent::UpdateRequest);
  QCoreApplication::sendEvent(this, &Request);
}

void TUpdaterWindow::PaintAtOnce(QWidget* Widget) {
  TFlagScope AtOnce(FPaintingAtOnce);
  Widget->repaint();
}

void TUpdaterWindow::SetLabDownText(const std::string& Text) {
  const QString Caption = ToQString(Text);
  labDown->setText(Caption);
  // The label sizes itself to its text.
  labDown->resize(TextWidth(labDown, Caption), std::max(17, labDown->fontMetrics().height()));
}

void TUpdaterWindow::RefreshLabDown() {
  PaintAtOnce(labDown);
}

void TUpdaterWindow::SetBytesText(const std::string& Text) {
  if (Text == FBytesText) return;
  FBytesText = Text;
  const auto Now = TRepaintThrottle::Clock::now();
  if (FBytesTextThrottle.Admit(Now)) {
    ShowBytesText();
  } else if (!FDeferredBytesText.isActive()) {
    const auto Wait =
        std::chrono::ceil<std::chrono::milliseconds>(FBytesTextThrottle.Remaining(Now));
    FDeferredBytesText.start(static_cast<int>(Wait.count()));
  }
}

void TUpdaterWindow::ShowBytesText() {
  FDeferredBytesText.stop();
  const QString Caption = ToQString(FBytesText);
  if (Caption == lblBytes->text()) return;
  lblBytes->setText(Caption);
  // Right-aligned and sized to its text: the right edge stays at 398.
  constexpr int RightEdge = 398;
  const int Width = Caption.isEmpty() ? 3 : TextWidth(lblBytes, Caption);
  lblBytes->setGeometry(RightEdge - Width, lblBytes->y(), Width, lblBytes->height());
}

void TUpdaterWindow::SetBytesVisible(bool Visible) {
  ShowBytesText();
  lblBytes->setVisible(Visible);
}

int TUpdaterWindow::FilledPixels(int Position) const {
  const std::int64_t Range = std::int64_t{pBar->maximum()} - pBar->minimum();
  if (Range <= 0) return 0;
  return static_cast<int>((std::int64_t{Position} - pBar->minimum()) * pBar->width() / Range);
}

void TUpdaterWindow::SetProgressMax(int Max) {
  pBar->setMaximum(Max);
  FProgressPosition = std::clamp(FProgressPosition, pBar->minimum(), pBar->maximum());
  pBar->setValue(FProgressPosition);
}

// Telling the bar its value costs more than a block of the transfer, so the bar hears of a new
// position only when its filled part grows or shrinks by a pixel, or reaches either end.
void TUpdaterWindow::SetProgressPosition(int Position) {
  Position = std::clamp(Position, pBar->minimum(), pBar->maximum());
  if (Position == FProgressPosition) return;
  FProgressPosition = Position;
  if (Position == pBar->minimum() || Position == pBar->maximum() ||
      FilledPixels(Position) != FilledPixels(pBar->value())) {
    pBar->setValue(Position);
  }
}

void TUpdaterWindow::SetUnzipCaption(const std::string& Caption) {
  labUnzip->setTitle(ToQString(Caption));
}

void TUpdaterWindow::RefreshUnzip() {
  PaintAtOnce(labUnzip);
}

void TUpdaterWindow::SetUnzipVisible(bool Visible) {
  labUnzip->setVisible(Visible);
}

void TUpdaterWindow::SetGauge1Progress(int Progress) {
  Gauge1->SetProgress(Progress);
}

void TUpdaterWindow::SetGauge2Progress(int Progress) {
  Gauge2->SetProgress(Progress);
}

void TUpdaterWindow::SetButtonEnabled(TUpdaterButton Button, bool Enabled) {
  switch (Button) {
    case TUpdaterButton::btnCancel:
      btnCancel->setEnabled(Enabled);
      break;
    case TUpdaterButton::btnRedown:
      btnRedown->setEnabled(Enabled);
      break;
    case TUpdaterButton::btnClose:
      btnClose->setEnabled(Enabled);
      break;
  }
}

void TUpdaterWindow::SetBevel2Bounds(int Left, int Top, int Width) {
  Bevel2->setGeometry(Left, Top, Width, Bevel2->height());
}

int TUpdaterWindow::CancelButtonTop() const {
  return btnCancel->y();
}

int TUpdaterWindow::RightPanelWidth() const {
  return pnlRight->width();
}

void TUpdaterWindow::AddQueueRow(const std::string& Caption,
                                 const std::vector<std::string>& SubItems) {
  QStringList Texts{ToQString(Caption)};
  for (const std::string& Text : SubItems) Texts << ToQString(Text);
  DownList->addTopLevelItem(new QTreeWidgetItem(Texts));
}

int TUpdaterWindow::QueueRowCount() const {
  return DownList->topLevelItemCount();
}

std::string TUpdaterWindow::QueueRowCaption(int Row) const {
  const QTreeWidgetItem* Item = DownList->topLevelItem(Row);
  return Item == nullptr ? std::string() : Item->text(0).toStdString();
}

void* TUpdaterWindow::QueueRowData(int Row) {
  return DownList->topLevelItem(Row);
}

}  // namespace ruvevid
