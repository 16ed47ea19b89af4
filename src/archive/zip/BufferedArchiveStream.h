#pragma once
// Read buffers in front of the archive stream. The directory walks read many small pieces (46- and
// 30-byte headers, names, extra fields) at positions they seek to explicitly; served from 64 KB
// buffers they cost a system call per buffer instead of several per entry. There are two buffers,
// the one used least recently being refilled, because the central walk alternates between the
// central directory and each entry's local header. Large reads that miss both buffers go straight
// to the source.

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/base/Stream32.h"

namespace ruvevid {

class TBufferedArchiveStream final : public TStream32 {
 public:
  static constexpr std::int32_t kBufferSize = 65536;

  // Takes over Source; the position is Source's position.
  explicit TBufferedArchiveStream(std::unique_ptr<TStream32> Source);

  std::int64_t GetSize() override { return FSource->GetSize(); }
  // Read only: SetSize raises EStreamError and Write writes nothing.
  void SetSize(std::int64_t NewSize) override;
  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  // The source's file; the buffers hold its bytes unchanged, so the position is the file offset.
  TNativeHandle SourceFile(std::int64_t& Offset) override;

 private:
  struct TSlot {
    std::vector<std::uint8_t> Bytes;
    std::int64_t Start = 0;     // source position of Bytes[0]
    std::int32_t Buffered = 0;  // valid bytes
  };

  // The slot holding FPosition, or null.
  TSlot* Holding();
  // Moves the source to FPosition; false when it cannot get there.
  bool SeekSource();
  // Fills the least recently used slot from FPosition; null at the end of the source.
  TSlot* Fill();

  std::unique_ptr<TStream32> FSource;
  TSlot FSlots[2];
  int FLastUsed = 0;
  std::int64_t FPosition = 0;  // the stream's position
  std::int64_t FSourcePosition = 0;
};

}  // namespace ruvevid
