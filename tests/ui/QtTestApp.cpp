#include "QtTestApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QInputDevice>
#include <QWidget>
#include <cstdlib>

#include "support/TestPaths.h"

namespace ruvevid::test {

QApplication& QtApp() {
  // Without a screen the tests run on the offscreen platform (CTest sets it; a direct run too).
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int Argc = 1;
  static char Name[] = "test_ui";
  static char* Argv[] = {Name, nullptr};
  // Qt's list of input devices must outlive the application, whose key events add devices to it:
  // made first, it is destroyed last.
  QInputDevice::devices();
  static QApplication App(Argc, Argv);
  return App;
}

void SpinEventLoop(int Milliseconds) {
  QElapsedTimer Timer;
  Timer.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  } while (Timer.elapsed() < Milliseconds);
}

std::filesystem::path SaveScreenshot(const QImage& Image, const std::string& Name) {
  const std::filesystem::path Folder = BuildDir() / "ui-screenshots";
  std::filesystem::create_directories(Folder);
  const std::filesystem::path File = Folder / (Name + ".png");
  Image.save(QString::fromStdString(File.string()), "PNG");
  return File;
}

void TPaintCounter::Watch(QWidget* Widget) {
  Widget->installEventFilter(this);
}

bool TPaintCounter::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::Paint) ++FCount;
  return QObject::eventFilter(Watched, Event);
}

}  // namespace ruvevid::test
