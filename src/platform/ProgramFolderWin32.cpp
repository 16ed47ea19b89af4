#include <windows.h>

#include "platform/ProgramFolder.h"
#include "platform/WideText.h"

namespace ruvevid {

std::string ProgramFolderOf(const std::string& ExePath) {
  const std::size_t Separator = ExePath.find_last_of("\\/");
  if (Separator == std::string::npos) return {};
  return ExePath.substr(0, Separator + 1);
}

std::string ProgramFolder() {
  // The path may be longer than MAX_PATH: the buffer grows until the whole path fits.
  std::wstring Path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD Length =
        ::GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
    if (Length == 0) return {};
    if (Length < Path.size()) {
      Path.resize(Length);
      return ProgramFolderOf(WideToUtf8(Path));
    }
    if (Path.size() >= 32768) return {};
    Path.resize(Path.size() * 2);
  }
}

}  // namespace ruvevid
