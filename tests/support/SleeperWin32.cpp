#include <windows.h>

#include <stdexcept>

#include "support/Sleeper.h"

namespace ruvevid::test {

namespace fs = std::filesystem;

fs::path TestProgramFolder() {
  std::wstring Path(32768, L'\0');
  Path.resize(::GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size())));
  return fs::path(Path).parent_path();
}

fs::path Utf8Path(const std::string& Text) {
  return fs::path(std::u8string(Text.begin(), Text.end()));
}

TSleeper::TSleeper(const fs::path& Folder, const std::string& FileName, int Seconds) {
  const fs::path Image = Folder / Utf8Path(FileName);
  fs::copy_file(TestProgramFolder() / "ruvevid-sleeper.exe", Image,
                fs::copy_options::overwrite_existing);
  std::wstring CommandLine = L"\"" + Image.wstring() + L"\" " + std::to_wstring(Seconds);
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Info{};
  if (!::CreateProcessW(Image.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        Folder.c_str(), &Startup, &Info)) {
    throw std::runtime_error("cannot start the sleeper as " + FileName);
  }
  ::CloseHandle(Info.hThread);
  FProcess = Info.hProcess;
  FId = static_cast<std::uint32_t>(Info.dwProcessId);
}

TSleeper::~TSleeper() {
  ::TerminateProcess(FProcess, 99);
  ::WaitForSingleObject(FProcess, 5000);
  ::CloseHandle(FProcess);
}

std::optional<std::uint32_t> TSleeper::WaitForExit(std::chrono::milliseconds Timeout) const {
  if (::WaitForSingleObject(FProcess, static_cast<DWORD>(Timeout.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD Code = 0;
  ::GetExitCodeProcess(FProcess, &Code);
  return static_cast<std::uint32_t>(Code);
}

}  // namespace ruvevid::test
