#include "WindowRunner.h"

#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include "app/Updater.h"

namespace ruvevid::test {

namespace {

QToolButton* Button(TUpdaterWindow& Window, const char* Name) {
  return Window.findChild<QToolButton*>(QLatin1String(Name));
}

}  // namespace

TWindowRunResult RunWindow(TQtApplication& App, TUpdaterServices Services,
                           const std::function<void(TUpdaterWindow&)>& DuringRun) {
  TWindowRunResult Result;
  TUpdaterWindow Window;
  TfrmUpdater Updater(Window, App, std::move(Services));
  Window.Bind(BindUpdaterHandlers(Updater));
  Window.SetErrorDisplay(
      [&Result](const std::string& Message) { Result.Errors.push_back(Message); });
  QTimer Watcher;
  QObject::connect(&Watcher, &QTimer::timeout, &Window, [&Window, &DuringRun] {
    if (DuringRun) DuringRun(Window);
  });
  Watcher.start(2);
  Window.Create();
  Window.ComeUp();
  Watcher.stop();

  Result.LabDown = Window.findChild<QLabel*>(QStringLiteral("labDown"))->text().toStdString();
  Result.Terminated = App.Terminated();
  Result.CancelEnabled = Button(Window, "btnCancel")->isEnabled();
  Result.RestartEnabled = Button(Window, "btnRedown")->isEnabled();
  Result.CloseEnabled = Button(Window, "btnClose")->isEnabled();
  Result.Final = Window.grab().toImage();
  if (!Result.Terminated) {
    if (Result.CloseEnabled) {
      Button(Window, "btnClose")->click();
    } else {
      Window.close();
    }
  }
  Result.ExitCode = Updater.ExitCode();
  Window.Bind({});
  return Result;
}

}  // namespace ruvevid::test
