#pragma once
// The application's default error display, and the guard that every window handler runs in so
// that no exception crosses the window system's event dispatch.

#include <functional>
#include <memory>
#include <string>

class QMessageBox;
class QWidget;

namespace ruvevid {

using TErrorDisplay = std::function<void(const std::string& Message)>;

// Shows the message in a message box titled like the window (and writes it to the standard error
// stream). On a platform without a screen, where nobody could dismiss a box, only the standard
// error stream gets it.
void ShowDefaultError(QWidget* Parent, const std::string& Message);

// The box ShowDefaultError shows: the window's title, a Korean line saying that something
// unexpected happened, and the message under it.
std::unique_ptr<QMessageBox> MakeErrorBox(QWidget* Parent, const std::string& Message);

// Runs Handler; an exception it raises ends there and its text goes to Display. Returns false
// when the handler raised.
bool RunGuarded(const std::function<void()>& Handler, const TErrorDisplay& Display);

}  // namespace ruvevid
