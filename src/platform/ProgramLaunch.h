#pragma once
// Starting a program the way the desktop opens a file.

#include <string>

namespace ruvevid {

// Starts the program file Path with no arguments (its argv[0] is Path), in its own session,
// inheriting the current folder and the environment but no file descriptors beyond 0, 1 and 2.
// The started program is not a child of the caller: it outlives the caller and never stays a
// zombie of it. Does not wait for the program. False when the file cannot be started (missing,
// not executable, not a program).
// On Windows the shell opens the file (ShellExecute "open") with the program's own folder as the
// current folder; a document is opened with the program registered for it. False for a missing
// file, a folder, or whatever the shell cannot open.
bool LaunchProgram(const std::string& Path);

}  // namespace ruvevid
