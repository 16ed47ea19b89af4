#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FolderLock.h"

namespace ruvevid {

TFolderLock::~TFolderLock() {
  Release();
}

// The lock is taken on the folder itself (flock on its descriptor), so no lock file is left
// behind in the program folder.
TFolderLockResult TFolderLock::Acquire(const std::string& Folder) {
  Release();
  const int Handle = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Handle < 0) return TFolderLockResult::flFailed;
  int Result = 0;
  do {
    Result = ::flock(Handle, LOCK_EX | LOCK_NB);
  } while (Result != 0 && errno == EINTR);
  if (Result != 0) {
    const bool Busy = errno == EWOULDBLOCK;
    ::close(Handle);
    return Busy ? TFolderLockResult::flBusy : TFolderLockResult::flFailed;
  }
  FHandle = Handle;
  return TFolderLockResult::flLocked;
}

void TFolderLock::Release() {
  if (FHandle < 0) return;
  ::close(FHandle);
  FHandle = -1;
}

}  // namespace ruvevid
