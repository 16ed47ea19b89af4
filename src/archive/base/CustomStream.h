#pragma once
// TCustomStream: the base of the decompression stream. It pulls compressed bytes from a source
// stream it does not own into its own input buffer and holds the decoder record inline.

#include <cstdint>
#include <memory>
#include <new>

#include "archive/base/Stream32.h"
#include "archive/codec/InflateBlockCache.h"
#include "archive/codec/InflateRecord.h"

namespace ruvevid {

class TCustomStream : public TStream32 {
 public:
  // The input buffer's size; callers read at most this many bytes at once.
  static constexpr std::int32_t kInputBufferSize = 65536;

  // The input buffer comes from Memory when one is given (and goes back to it), else from the
  // heap.
  explicit TCustomStream(TStream32& Source, TInflateBlockCache* Memory = nullptr)
      : FSource(&Source), FInput(AcquireInput(Memory), TInputRelease{Memory}) {}

  TStream32& Source() const { return *FSource; }
  // Replaces the source (the next volume of a split set) and where the next refill reads in it.
  void SetSource(TStream32& Source, std::int64_t Position) {
    FSource = &Source;
    FSourcePosition = Position;
  }
  std::int64_t SourcePosition() const { return FSourcePosition; }
  TInflateRecord& Record() { return FRecord; }
  const TInflateRecord& Record() const { return FRecord; }

 protected:
  TStream32* FSource;
  // Where the next refill reads in the source.
  std::int64_t FSourcePosition = 0;
  struct TInputRelease {
    TInflateBlockCache* Memory;
    void operator()(std::uint8_t* Block) const {
      if (Memory != nullptr) {
        Memory->Release(Block);
      } else {
        delete[] Block;
      }
    }
  };
  std::unique_ptr<std::uint8_t[], TInputRelease> FInput;
  TInflateRecord FRecord;

 private:
  // Only the bytes read from the source are ever looked at: the buffer is not cleared.
  static std::uint8_t* AcquireInput(TInflateBlockCache* Memory) {
    if (Memory == nullptr) return new std::uint8_t[kInputBufferSize];
    void* Block = Memory->Acquire(kInputBufferSize, false);
    if (Block == nullptr) throw std::bad_alloc();
    return static_cast<std::uint8_t*>(Block);
  }
};

}  // namespace ruvevid
