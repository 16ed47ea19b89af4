#include <windows.h>
// <windows.h> names its own ReplaceFileW so; the platform header declares ours.
#undef ReplaceFile

#include <random>

#include "platform/FileReplace.h"
#include "platform/WideText.h"
#include "platform/Win32Files.h"

namespace ruvevid {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Closes the handle and removes the temporary file unless it has been renamed into place.
class TTempFile {
 public:
  TTempFile(HANDLE Handle, std::string Path) : FHandle(Handle), FPath(std::move(Path)) {}
  ~TTempFile() {
    Close();
    if (!FPath.empty()) ::DeleteFileW(LongPath(FPath).c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  HANDLE Handle() const { return FHandle; }
  const std::string& Path() const { return FPath; }
  bool Close() {
    if (FHandle == INVALID_HANDLE_VALUE) return true;
    const HANDLE Handle = FHandle;
    FHandle = INVALID_HANDLE_VALUE;
    return ::CloseHandle(Handle);
  }
  void Keep() { FPath.clear(); }

 private:
  HANDLE FHandle;
  std::string FPath;
};

// Creates a new file beside Path with a name no other file has.
HANDLE CreateTempBeside(const std::string& Path, std::string& TempPath) {
  std::random_device Seed;
  std::mt19937_64 Random(static_cast<std::uint64_t>(Seed()) << 32 | Seed());
  constexpr int kAttempts = 16;
  for (int Attempt = 0; Attempt < kAttempts; ++Attempt) {
    TempPath = Path + ".tmp" + std::to_string(Random() % 1000000000U);
    const HANDLE Handle = ::CreateFileW(LongPath(TempPath).c_str(), GENERIC_WRITE, kShareAll,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return Handle;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

TFileReadResult ReadWholeFile(const std::string& Path, std::string& Contents) {
  Contents.clear();
  const std::wstring Wide = LongPath(Path);
  const DWORD Attributes = ::GetFileAttributesW(Wide.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD Error = ::GetLastError();
    return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND
               ? TFileReadResult::frMissing
               : TFileReadResult::frFailed;
  }
  if ((Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return TFileReadResult::frNotAFile;
  const HANDLE Handle = ::CreateFileW(Wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) return TFileReadResult::frFailed;
  TTempFile File(Handle, {});
  if (::GetFileType(Handle) != FILE_TYPE_DISK) return TFileReadResult::frNotAFile;
  char Buffer[16384];
  for (;;) {
    DWORD Count = 0;
    if (!::ReadFile(Handle, Buffer, sizeof Buffer, &Count, nullptr))
      return TFileReadResult::frFailed;
    if (Count == 0) return TFileReadResult::frRead;
    Contents.append(Buffer, Count);
  }
}

bool ReplaceFile(const std::string& Path, const std::string& Contents) {
  const std::wstring Wide = LongPath(Path);
  const DWORD Old = ::GetFileAttributesW(Wide.c_str());
  const bool Exists = Old != INVALID_FILE_ATTRIBUTES;
  if (!Exists) {
    const DWORD Error = ::GetLastError();
    if (Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND) return false;
  } else if ((Old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return false;
  }

  std::string TempPath;
  const HANDLE Handle = CreateTempBeside(Path, TempPath);
  if (Handle == INVALID_HANDLE_VALUE) return false;
  TTempFile Temp(Handle, TempPath);
  if (WriteAll(win32::NativeOf(Handle), Contents.data(), Contents.size()) != 0) return false;
  if (!::FlushFileBuffers(Handle)) return false;
  if (!Temp.Close()) return false;
  // A read-only file refuses to be replaced: its attributes go on the new file once it is there.
  if (Exists && (Old & FILE_ATTRIBUTE_READONLY) != 0)
    ::SetFileAttributesW(Wide.c_str(), Old & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (win32::MoveReplacing(Temp.Path(), Path) != 0) {
    if (Exists) ::SetFileAttributesW(Wide.c_str(), Old);
    return false;
  }
  Temp.Keep();
  if (Exists) ::SetFileAttributesW(Wide.c_str(), Old);
  return true;
}

}  // namespace ruvevid
