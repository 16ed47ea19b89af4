#pragma once
// Lookup and termination of running processes by image name.

#include <string>

#include "platform/ProcessSnapshot.h"

namespace ruvevid {

// True when a process whose image name, upper-cased and whole, equals the upper-cased bare file
// name of ExeFileName is running. Processes with id 0 are skipped.
bool IsProcessRunning(const std::string& ExeFileName);
bool IsProcessRunning(IProcessTable& Processes, const std::string& ExeFileName);

// Ends every process whose image name matches ExeFileName: its upper-cased bare file name, or the
// whole upper-cased image name, equals the upper-cased ExeFileName. Returns the result of the last
// termination made (non-zero for success), 0 when nothing was terminated. The calling process is
// never terminated.
int KillProcess(const std::string& ExeFileName);
int KillProcess(IProcessTable& Processes, const std::string& ExeFileName);

// Upper-cases the ASCII letters a to z; every other byte stays.
std::string UpperCaseAscii(const std::string& Text);
// The part of Path after its last '\\', ':' or '/' (the whole text when it has none).
std::string BareFileName(const std::string& Path);

}  // namespace ruvevid
