#pragma once
// The one QApplication that the window tests share, made on first use on Qt's offscreen platform.

#include <gtest/gtest.h>

#include <QImage>
#include <QObject>
#include <filesystem>
#include <string>

class QApplication;
class QEvent;
class QWidget;

namespace ruvevid::test {

QApplication& QtApp();

// A test whose fixture members may be widgets: the application exists before they are made.
class QtTest : public ::testing::Test {
 protected:
  QtTest() { QtApp(); }
};

// Runs the event loop for about Milliseconds, so timers and posted events are handled.
void SpinEventLoop(int Milliseconds);

// Saves an image as a PNG under the build folder's ui-screenshots folder; returns its path.
std::filesystem::path SaveScreenshot(const QImage& Image, const std::string& Name);

// Counts the paint events that reach the widgets it watches.
class TPaintCounter : public QObject {
 public:
  void Watch(QWidget* Widget);
  int Count() const { return FCount; }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  int FCount = 0;
};

}  // namespace ruvevid::test
