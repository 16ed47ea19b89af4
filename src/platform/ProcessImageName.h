#pragma once
// What a Linux process is called in a process snapshot, read from the files of /proc/PID.

#include <optional>
#include <string>
#include <string_view>

namespace ruvevid {

// The bare file name of the target of /proc/PID/exe; the kernel's " (deleted)" mark of an image
// file removed or replaced while running is dropped. Empty for an empty link.
std::string ImageNameFromExeLink(std::string_view Link);
// The bare file name of argv[0] from the contents of /proc/PID/cmdline; empty when there is none.
std::string ImageNameFromCommandLine(std::string_view CommandLine);
// The command name from the contents of /proc/PID/comm, without its line end.
std::string ImageNameFromCommand(std::string_view Command);
// True when the contents of /proc/PID/stat show a process that has ended and awaits reaping
// ('Z') or is being removed ('X'), or cannot be read.
bool HasEndedByStat(std::string_view Stat);

}  // namespace ruvevid
