// Pictures of the window in the states a run passes through, saved under the build folder
// (ui-screenshots/) for review. Each picture is also checked for what must be seen in it.

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QMessageBox>

#include "QtTestApp.h"
#include "app/FailureTexts.h"
#include "ui/ErrorDisplay.h"
#include "ui/UpdaterWindow.h"

namespace ruvevid {
namespace {

class Screenshots : public test::QtTest {
 protected:
  Screenshots() {
    FWindow.ComeUp();
    FWindow.SetBevel2Bounds(0, FWindow.CancelButtonTop() - 18, FWindow.RightPanelWidth());
  }

  QImage Take(const std::string& Name) {
    test::SpinEventLoop(40);
    const QImage Image = FWindow.grab().toImage();
    const auto File = test::SaveScreenshot(Image, Name);
    EXPECT_TRUE(std::filesystem::exists(File)) << File;
    return Image;
  }

  // The colour of a pixel, in window coordinates, without its alpha.
  static QRgb At(const QImage& Image, int X, int Y) { return Image.pixel(X, Y) & 0xFFFFFF; }

  TUpdaterWindow FWindow;
};

TEST_F(Screenshots, Downloading) {
  FWindow.SetProgressMax(1'536'000);
  FWindow.SetProgressPosition(614'400);
  FWindow.SetBytesText("600 / 1,500 KBytes");
  FWindow.SetBytesVisible(true);
  const QImage Image = Take("downloading");
  ASSERT_EQ(Image.size(), QSize(657, 341));
  EXPECT_NE(At(Image, 100, 200), 0xFFFFFFu) << "the side picture is drawn";
  // pBar spans x 249 .. 633 at y 43 .. 59; 40% of it is filled with the highlight colour.
  EXPECT_NE(At(Image, 249 + 40, 51), At(Image, 249 + 300, 51)) << "part of the bar is filled";
}

TEST_F(Screenshots, Stopped) {
  FWindow.SetLabDownText("다운로드가 중지 되었습니다");
  FWindow.RefreshLabDown();
  FWindow.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  FWindow.SetButtonEnabled(TUpdaterButton::btnRedown, true);
  const QImage Image = Take("stopped");
  int BluePixels = 0;
  for (int Y = 19; Y < 36; ++Y) {
    for (int X = 250; X < 450; ++X) {
      const QColor Colour(Image.pixel(X, Y));
      BluePixels += Colour.blue() > Colour.red() + 100 && Colour.blue() > Colour.green() + 100;
    }
  }
  EXPECT_GT(BluePixels, 50) << "the blue status line";
}

TEST_F(Screenshots, Extracting) {
  FWindow.SetButtonEnabled(TUpdaterButton::btnCancel, false);
  FWindow.SetButtonEnabled(TUpdaterButton::btnClose, false);
  FWindow.SetLabDownText("Roduvov0.zip을 다운받았습니다.");
  FWindow.RefreshLabDown();
  FWindow.SetBytesVisible(false);
  FWindow.SetUnzipVisible(true);
  FWindow.SetUnzipCaption("Roduvov0.zip의 압축을 풀고 있는 중입니다....");
  FWindow.RefreshUnzip();
  FWindow.SetGauge1Progress(62);
  FWindow.SetGauge2Progress(35);
  const QImage Image = Take("extracting");
  // Gauge1 lies at window x 267 .. 618, y 126 .. 142: blue up to 62% of its inner width.
  EXPECT_EQ(At(Image, 267 + 5, 128), 0x0000FFu);
  EXPECT_EQ(At(Image, 267 + 340, 128), 0xFFFFFFu);
  // Gauge2 at y 177 .. 193, 35%.
  EXPECT_EQ(At(Image, 267 + 100, 179), 0x0000FFu);
  EXPECT_EQ(At(Image, 267 + 200, 179), 0xFFFFFFu);
}

TEST_F(Screenshots, UnexpectedErrorBox) {
  const auto Box = MakeErrorBox(&FWindow, "std::bad_alloc");
  Box->show();
  test::SpinEventLoop(40);
  const QImage Image = Box->grab().toImage();
  test::SaveScreenshot(Image, "error-box");
  EXPECT_EQ(Box->windowTitle(), FWindow.windowTitle());
  EXPECT_EQ(Box->text(), QString::fromUtf8(kTextUnexpectedError));
  EXPECT_EQ(Box->informativeText(), QStringLiteral("std::bad_alloc"));
  // Painted in the system's light colours, not a black square.
  int Dark = 0;
  for (int Y = 0; Y < Image.height(); ++Y) {
    for (int X = 0; X < Image.width(); ++X) Dark += qGray(Image.pixel(X, Y)) < 64;
  }
  EXPECT_LT(Dark, Image.width() * Image.height() / 4);
  Box->close();
}

}  // namespace
}  // namespace ruvevid
