#pragma once
// The compressed-input reader of the legacy decoders: hands out an entry's compressed bytes one at
// a time (ReadPackedByte) and groups of bits, least significant bit first (ReadBits), from a
// 32768-byte buffer refilled through the component's ReadBlock.

#include <cstdint>
#include <memory>

#include "archive/codec/LegacyContext.h"

namespace ruvevid {

class TLegacyInput {
 public:
  static constexpr int kBufferSize = 32768;
  // The widest group ReadBits hands out: method 1's codes grow to 13 bits at most.
  static constexpr int kMaxBits = 13;

  // CompressedSize is the entry's compressed byte count (the compressed bytes left at the start);
  // Decrypt asks ReadBlock to decipher what it reads.
  TLegacyInput(TLegacyContext& Context, bool Decrypt, std::int64_t CompressedSize);

  // The next compressed byte (0 to 255), or -1 at the end of the compressed data, after a read
  // that delivered nothing, or once the run is cancelled.
  int ReadPackedByte() {
    if (FPosition < FFill && FBytesLeft > 0 && !FContext.Cancelled()) {
      --FBytesLeft;
      return FBuffer[FPosition++];
    }
    return ReadPackedByteSlow();
  }

  // The next Count bits (1 to kMaxBits) as a number, the first bit read in the lowest place, or -1
  // when the input ends before Count bits were gathered. As soon as a byte's last bit is used the
  // next byte is fetched, so the end of input is known right after the last bit has been taken.
  int ReadBits(int Count) {
    // Fast path: the bits are all in the current byte, with at least one bit to spare.
    if (Count < FBitCount) {
      const int Result = static_cast<int>(FBitBuffer & ((1u << Count) - 1));
      FBitBuffer >>= Count;
      FBitCount -= Count;
      return Result;
    }
    return ReadBitsSlow(Count);
  }

  // Set when ReadPackedByte found nothing more to hand out.
  bool EndOfInput() const { return FEndOfInput; }
  std::int64_t CompressedBytesLeft() const { return FBytesLeft; }

 private:
  int ReadPackedByteSlow();
  // The first read of the entry, reads that use up the current byte, and the exhausted input.
  int ReadBitsSlow(int Count);

  TLegacyContext& FContext;
  const bool FDecrypt;
  std::unique_ptr<std::uint8_t[]> FBuffer;
  int FFill = 0;                // bytes in the buffer
  int FPosition = 0;            // next byte to hand out
  std::int64_t FBytesLeft = 0;  // compressed bytes not yet handed out
  bool FEndOfInput = false;
  bool FFirstRead = true;
  std::uint32_t FBitBuffer = 0;  // the current byte's unread bits, low bits first
  int FBitCount = 0;             // how many of them are left (0 to 8)
  int FLastByte = 0;             // the last value ReadPackedByte gave ReadBits; -1: input exhausted
};

}  // namespace ruvevid
