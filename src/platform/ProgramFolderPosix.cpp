#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace ruvevid {

std::string ProgramFolderOf(const std::string& ExePath) {
  const std::size_t slash = ExePath.rfind('/');
  if (slash == std::string::npos) return {};
  return ExePath.substr(0, slash + 1);
}

std::string ProgramFolder() {
  return ProgramFolderOf(ReadSymbolicLink("/proc/self/exe"));
}

}  // namespace ruvevid
