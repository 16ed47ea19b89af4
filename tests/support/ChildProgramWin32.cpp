// The Windows tests run under Wine or on Windows, where the Linux side's tools (zip, unzip, 7zz,
// bsdtar, python3) and its shell are not at hand: the tests that need one skip, as they do on a
// Linux machine without it.

#include "support/ChildProgram.h"

namespace ruvevid::test {

bool RunShellIn(const std::filesystem::path& Folder, const std::string& Command) {
  static_cast<void>(Folder);
  static_cast<void>(Command);
  return false;
}

bool HaveProgram(const std::string& Name) {
  static_cast<void>(Name);
  return false;
}

TCommandRun RunCapturing(const std::string& Command) {
  static_cast<void>(Command);
  return {};
}

}  // namespace ruvevid::test
