#include <cerrno>

#include "platform/FileRangeCopy.h"

namespace ruvevid {

// Windows copies between two open handles only for whole files or on block-cloning volumes;
// the callers copy through their own buffers there.
TRangeCopyResult CopyFileRange(TNativeHandle /*From*/, std::int64_t /*Offset*/,
                               TNativeHandle /*To*/, std::size_t /*Count*/) {
  TRangeCopyResult Result;
  Result.Status = TRangeCopyStatus::rcUnsupported;
  Result.Error = ENOSYS;
  return Result;
}

// Nothing is viewed where nothing is copied by the system.
const std::uint8_t* TFileView::Bytes(std::int64_t /*Offset*/, std::size_t /*Count*/) {
  return nullptr;
}

void TFileView::Unmap() {
  FBase = nullptr;
  FLength = 0;
}

}  // namespace ruvevid
