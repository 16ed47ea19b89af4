#include <windows.h>

#include "platform/FolderLock.h"
#include "platform/WideText.h"
#include "platform/Win32Files.h"

namespace ruvevid {

TFolderLock::~TFolderLock() {
  Release();
}

// The lock is an open handle of the folder itself, so no lock file is left behind and the system
// drops it with the process. It asks to add files and lets others only read: a second holder,
// which asks the same, is refused with a sharing violation, while listing, examining and flushing
// the folder (read access, everything shared) still work.
TFolderLockResult TFolderLock::Acquire(const std::string& Folder) {
  Release();
  const HANDLE Handle =
      ::CreateFileW(LongPath(Folder).c_str(), FILE_LIST_DIRECTORY | FILE_ADD_FILE, FILE_SHARE_READ,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (Handle == INVALID_HANDLE_VALUE) {
    const DWORD Error = ::GetLastError();
    return Error == ERROR_SHARING_VIOLATION ? TFolderLockResult::flBusy
                                            : TFolderLockResult::flFailed;
  }
  BY_HANDLE_FILE_INFORMATION Info{};
  if (!::GetFileInformationByHandle(Handle, &Info) ||
      (Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(Handle);
    return TFolderLockResult::flFailed;
  }
  FHandle = win32::NativeOf(Handle);
  return TFolderLockResult::flLocked;
}

void TFolderLock::Release() {
  if (FHandle == kNoHandle) return;
  ::CloseHandle(win32::HandleOf(FHandle));
  FHandle = kNoHandle;
}

}  // namespace ruvevid
