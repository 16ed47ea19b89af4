#pragma once
// The program folder: the folder of the running executable.

#include <string>

namespace ruvevid {

// The directory of the running executable (/proc/self/exe; on Windows GetModuleFileName) with a
// trailing separator ('/'; '\\' on Windows); empty when the executable's path cannot be read.
std::string ProgramFolder();

// The directory part of an executable path with a trailing separator ("/opt/r/upd" gives
// "/opt/r/"); empty when the path has none. On Windows both '\\' and '/' separate.
std::string ProgramFolderOf(const std::string& ExePath);

}  // namespace ruvevid
