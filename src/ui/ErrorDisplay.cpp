#include "ui/ErrorDisplay.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>
#include <exception>
#include <iostream>

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
  QMessageBox::critical(Parent, QCoreApplication::applicationName(),
                        QString::fromStdString(Message));
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
