// A small Windows program for the process tests: it leaves "<its own path>.ran" holding its
// current folder in UTF-8, so a test sees that it started and where, then sleeps for the seconds
// of its first argument (60 without one).

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::string Utf8(const std::wstring& Wide) {
  const int Size = static_cast<int>(Wide.size());
  std::string Text(static_cast<std::size_t>(Size) * 3, '\0');
  Text.resize(static_cast<std::size_t>(
      ::WideCharToMultiByte(CP_UTF8, 0, Wide.data(), Size, Text.data(),
                            static_cast<int>(Text.size()), nullptr, nullptr)));
  return Text;
}

}  // namespace

int main(int Count, char** Arguments) {
  std::wstring Self(32768, L'\0');
  Self.resize(::GetModuleFileNameW(nullptr, Self.data(), static_cast<DWORD>(Self.size())));
  std::wstring Folder(32768, L'\0');
  Folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(Folder.size()), Folder.data()));
  {
    std::ofstream Mark((Self + L".ran").c_str(), std::ios::binary);
    Mark << Utf8(Folder);
  }
  const long Seconds = Count > 1 ? std::strtol(Arguments[1], nullptr, 10) : 60;
  std::this_thread::sleep_for(std::chrono::seconds(Seconds));
  return 0;
}
