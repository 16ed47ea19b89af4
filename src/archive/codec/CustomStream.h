#pragma once
// TCustomStream: the base of the decompression stream. It pulls compressed bytes from a source
// stream it does not own into its own input buffer and holds the decoder record inline.

#include <cstdint>
#include <memory>

#include "archive/base/Stream32.h"
#include "archive/codec/InflateRecord.h"

namespace ruvevid {

class TCustomStream : public TStream32 {
 public:
  // The input buffer's size; callers read at most this many bytes at once.
  static constexpr std::int32_t InputBufferSize = 65536;

  explicit TCustomStream(TStream32& Source)
      : FSource(&Source), FInput(std::make_unique<std::uint8_t[]>(InputBufferSize)) {}

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
  std::unique_ptr<std::uint8_t[]> FInput;
  TInflateRecord FRecord;
};

}  // namespace ruvevid
