#pragma once
// Whether a failed write's error means the disk (or the user's quota on it) is full.

#include <cerrno>

namespace ruvevid {

inline bool IsDiskFullError(int ErrorCode) {
#ifdef EDQUOT
  if (ErrorCode == EDQUOT) return true;  // a quota has no name of its own on Windows
#endif
  return ErrorCode == ENOSPC;
}

}  // namespace ruvevid
