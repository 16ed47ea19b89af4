#pragma once
// Copies between open files done by the system, without the bytes passing through the program,
// and read-only views of an open file's bytes mapped into memory: together they let a stored
// entry go from the archive to its output file with one copy instead of three while its CRC is
// still taken over the bytes themselves. Where the system has neither (Windows), every call
// says so and the caller copies as it always did.

#include <cstddef>
#include <cstdint>

#include "platform/FileHandle.h"

namespace ruvevid {

enum class TRangeCopyStatus : std::uint8_t {
  rcDone,         // all the bytes asked for were copied
  rcEnded,        // the input file ended first
  rcUnsupported,  // the system does not copy between these two files: the caller copies itself
  rcFailed        // reading or writing failed with Error
};

struct TRangeCopyResult {
  std::size_t Copied = 0;  // bytes copied before the copy stopped, whatever stopped it
  TRangeCopyStatus Status = TRangeCopyStatus::rcDone;
  int Error = 0;  // the system's code for rcUnsupported and rcFailed
};

// Copies Count bytes of From, starting at Offset, to To at its file position, which moves past
// them; From's file position does not move. Interrupted and partial transfers are carried on.
// A Count of 0 copies nothing but still asks the system, so that it tells whether it would copy
// between these two files (rcDone) or not (rcUnsupported).
TRangeCopyResult CopyFileRange(TNativeHandle From, std::int64_t Offset, TNativeHandle To,
                               std::size_t Count);

// Views of byte ranges of one open file, mapped a window at a time (at least kWindowSize bytes,
// less at the file's end) so that reading a file from front to back maps it once a window. The
// file must keep the bytes while they are looked at: a file cut short under a view stops the
// program. Callers therefore view only bytes they have just seen the file hold.
class TFileView {
 public:
  static constexpr std::size_t kWindowSize = std::size_t{1} << 20;

  explicit TFileView(TNativeHandle Handle) : FHandle(Handle) {}
  ~TFileView() { Unmap(); }
  TFileView(const TFileView&) = delete;
  TFileView& operator=(const TFileView&) = delete;

  // The Count bytes at Offset, readable until the next call or the view's end; null when they
  // cannot be viewed: Count is 0, the range goes past the file's end, or the system cannot map
  // the file (or has no mapping here at all).
  const std::uint8_t* Bytes(std::int64_t Offset, std::size_t Count);

 private:
  void Unmap();

  TNativeHandle FHandle;
  void* FBase = nullptr;    // the window's first byte, on a page boundary of the file
  std::int64_t FStart = 0;  // the file offset of FBase
  std::size_t FLength = 0;  // the window's length
};

}  // namespace ruvevid
