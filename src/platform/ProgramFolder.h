#pragma once
// The program folder: the folder of the running executable.

#include <string>

namespace ruvevid {

// The directory of the running executable (/proc/self/exe) with a trailing '/'; empty when the
// executable's path cannot be read.
std::string ProgramFolder();

// The directory part of an executable path with a trailing '/' ("/opt/r/upd" gives "/opt/r/");
// empty when the path has no '/'.
std::string ProgramFolderOf(const std::string& ExePath);

}  // namespace ruvevid
