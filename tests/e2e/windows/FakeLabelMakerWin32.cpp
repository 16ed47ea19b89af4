// A stand-in for the Label Maker's programs in the Windows end-to-end run. Started as
// "RovuzurA.exe" it waits to be terminated, as the running application would; started under any
// other name (the updated "Ruvevid.exe") it records its start beside itself and ends.

#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t Path[MAX_PATH];
  const DWORD Length = GetModuleFileNameW(nullptr, Path, MAX_PATH);
  if (Length == 0 || Length >= MAX_PATH) return 2;
  const std::wstring Self(Path, Length);
  const std::wstring::size_type Slash = Self.find_last_of(L"\\/");
  const std::wstring Folder = Self.substr(0, Slash + 1);
  const std::wstring Name = Self.substr(Slash + 1);
  if (CompareStringOrdinal(Name.c_str(), -1, L"RovuzurA.exe", -1, TRUE) == CSTR_EQUAL) {
    Sleep(600 * 1000);
    return 0;
  }
  const HANDLE File = CreateFileW((Folder + L"started.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) return 1;
  const char Text[] = "Ruvevid Label Maker started\r\n";
  DWORD Written = 0;
  WriteFile(File, Text, sizeof Text - 1, &Written, nullptr);
  CloseHandle(File);
  return 0;
}
