#pragma once
// The error display on Windows, and the guard that every window handler runs in so that no
// exception crosses the window system's message dispatch.

#include <windows.h>

#include <functional>
#include <string>

namespace ruvevid::win32 {

using TErrorDisplay = std::function<void(const std::string& Message)>;

// The text of the box: a Korean line saying that something unexpected happened, the message
// under it.
std::wstring ErrorBoxText(const std::string& Message);

// Shows the message in a message box owned by Owner and titled like it (and writes it to the
// debugger's output).
void ShowDefaultError(HWND Owner, const std::string& Message);

// Runs Handler; an exception it raises ends there and its text goes to Display. Returns false
// when the handler raised.
bool RunGuarded(const std::function<void()>& Handler, const TErrorDisplay& Display);

}  // namespace ruvevid::win32
