#pragma once
// An exclusive lock on a folder, held by one process at a time until it lets go or ends: two
// updaters never work on one program folder together. The system drops the lock of a process
// that is killed, so a lock never outlives its holder.

#include <string>

#include "platform/FileHandle.h"

namespace ruvevid {

enum class TFolderLockResult {
  flLocked,  // this object holds the lock now
  flBusy,    // another holder has it
  flFailed   // the folder cannot be opened (missing, not a folder, no access)
};

class TFolderLock {
 public:
  TFolderLock() = default;
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

  // Takes the lock on Folder without waiting; a lock held before is let go first.
  TFolderLockResult Acquire(const std::string& Folder);
  void Release();
  bool Held() const { return FHandle != kNoHandle; }

 private:
  TNativeHandle FHandle = kNoHandle;
};

}  // namespace ruvevid
