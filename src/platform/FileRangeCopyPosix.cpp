#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/FileRangeCopy.h"

namespace ruvevid {

namespace {

// The answers of a system (or a file system) that cannot copy between the two files: too old a
// kernel, different file systems, files it does not copy (a pipe, a file opened to append),
// operations it does not offer.
bool IsUnsupported(int Error) {
  return Error == ENOSYS || Error == EXDEV || Error == EINVAL || Error == EOPNOTSUPP ||
         Error == EBADF;
}

}  // namespace

TRangeCopyResult CopyFileRange(TNativeHandle From, std::int64_t Offset, TNativeHandle To,
                               std::size_t Count) {
  TRangeCopyResult Result;
  auto At = static_cast<off_t>(Offset);
  for (;;) {
    const std::size_t Wanted = Count - Result.Copied;
    const ssize_t Moved = ::copy_file_range(From, &At, To, nullptr, Wanted, 0);
    if (Moved < 0 && errno == EINTR) continue;
    if (Moved < 0) {
      Result.Error = errno;
      Result.Status = IsUnsupported(Result.Error) ? TRangeCopyStatus::rcUnsupported
                                                  : TRangeCopyStatus::rcFailed;
      return Result;
    }
    if (Moved == 0) {
      if (Wanted > 0) Result.Status = TRangeCopyStatus::rcEnded;
      return Result;
    }
    Result.Copied += static_cast<std::size_t>(Moved);
    if (Result.Copied == Count) return Result;
  }
}

const std::uint8_t* TFileView::Bytes(std::int64_t Offset, std::size_t Count) {
  if (Count == 0 || Offset < 0 || FHandle == kNoHandle) return nullptr;
  if (Count > static_cast<std::size_t>(std::numeric_limits<std::int64_t>::max() - Offset))
    return nullptr;
  const std::int64_t End = Offset + static_cast<std::int64_t>(Count);
  if (FBase == nullptr || Offset < FStart || End > FStart + static_cast<std::int64_t>(FLength)) {
    Unmap();
    const auto Size = RegularFileSize(FHandle);
    if (!Size || End > *Size) return nullptr;
    const std::int64_t Page = ::sysconf(_SC_PAGESIZE);
    const std::int64_t Start = Offset - Offset % Page;
    const std::int64_t Length =
        std::max(End - Start, std::min<std::int64_t>(kWindowSize, *Size - Start));
    void* Base = ::mmap(nullptr, static_cast<std::size_t>(Length), PROT_READ, MAP_SHARED, FHandle,
                        static_cast<off_t>(Start));
    if (Base == MAP_FAILED) return nullptr;
    FBase = Base;
    FStart = Start;
    FLength = static_cast<std::size_t>(Length);
  }
  return static_cast<const std::uint8_t*>(FBase) + (Offset - FStart);
}

void TFileView::Unmap() {
  if (FBase == nullptr) return;
  ::munmap(FBase, FLength);
  FBase = nullptr;
  FLength = 0;
}

}  // namespace ruvevid
