#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace ruvevid {

std::string ProgramFolderOf(const std::string& ExePath) {
  const std::size_t Slash = ExePath.rfind('/');
  if (Slash == std::string::npos) return {};
  return ExePath.substr(0, Slash + 1);
}

std::string ProgramFolder() {
  return ProgramFolderOf(ReadSymbolicLink("/proc/self/exe"));
}

}  // namespace ruvevid
