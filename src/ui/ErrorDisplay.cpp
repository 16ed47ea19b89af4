#include "ui/ErrorDisplay.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <exception>
#include <iostream>

#include "app/FailureTexts.h"

namespace ruvevid {
namespace {

bool HasScreen() {
  const QString Platform = QGuiApplication::platformName();
  return Platform != QLatin1String("offscreen") && Platform != QLatin1String("minimal");
}

}  // namespace

void ShowDefaultError(QWidget* Parent, const std::string& Message) {
  std::cerr << Message << '\n';
  if (!HasScreen()) return;
  const std::unique_ptr<QMessageBox> Box = MakeErrorBox(Parent, Message);
  Box->exec();
}

std::unique_ptr<QMessageBox> MakeErrorBox(QWidget* Parent, const std::string& Message) {
  const QString Title =
      Parent != nullptr ? Parent->window()->windowTitle() : QCoreApplication::applicationName();
  auto Box = std::make_unique<QMessageBox>(QMessageBox::Critical, Title,
                                           QString::fromUtf8(kTextUnexpectedError), QMessageBox::Ok,
                                           Parent);
  Box->setInformativeText(QString::fromStdString(Message));
  // The box keeps the system's own colours, whatever the window it belongs to set for itself.
  Box->setPalette(QGuiApplication::palette());
  Box->setAutoFillBackground(true);
  return Box;
}

bool RunGuarded(const std::function<void()>& Handler, const TErrorDisplay& Display) {
  if (!Handler) return true;
  std::string Message;
  try {
    Handler();
    return true;
  } catch (const std::exception& Error) {
    Message = Error.what();
  } catch (...) {
    Message = "Unknown error";
  }
  // The display runs outside the catch block: it may pump messages, and a handler run from
  // there may raise again.
  if (Display) Display(Message);
  return false;
}

}  // namespace ruvevid
