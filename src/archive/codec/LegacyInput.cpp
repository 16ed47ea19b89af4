#include "archive/codec/LegacyInput.h"

#include <algorithm>

namespace ruvevid {

TLegacyInput::TLegacyInput(TLegacyContext& Context, bool Decrypt, std::int64_t CompressedSize)
    : FContext(Context),
      FDecrypt(Decrypt),
      FBuffer(std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize)),
      FBytesLeft(CompressedSize) {}

int TLegacyInput::ReadPackedByteSlow() {
  FContext.PollCancel();
  if (FContext.Cancelled()) {
    FBytesLeft = 0;
    FFill = 0;
    FEndOfInput = true;
    return -1;
  }
  if (FBytesLeft <= 0) {
    FFill = 0;
    FEndOfInput = true;
    return -1;
  }
  if (FPosition >= FFill) {
    const int Wanted = static_cast<int>(std::min<std::int64_t>(FBytesLeft, kBufferSize));
    int Got = 0;
    if (FContext.Io().ReadBlock) Got = FContext.Io().ReadBlock(FBuffer.get(), Wanted, FDecrypt);
    FFill = std::clamp(Got, 0, Wanted);
    FPosition = 0;
  }
  if (FFill == 0) {
    FPosition = 0;
    FEndOfInput = true;
    return -1;
  }
  FEndOfInput = false;
  --FBytesLeft;
  return FBuffer[FPosition++];
}

int TLegacyInput::ReadBitsSlow(int Count) {
  if (FFirstRead) {
    FFirstRead = false;
    FLastByte = ReadPackedByte();
    // An input with no byte at all gives no bits: -1, never a made-up 0.
    if (FLastByte < 0) return -1;
    FBitBuffer = static_cast<std::uint32_t>(FLastByte);
    FBitCount = 8;
  }
  int Result = 0;
  int Wanted = Count;
  while (Wanted > 0 && FLastByte >= 0) {
    const int Take = std::min(Wanted, FBitCount);
    Result |= static_cast<int>(FBitBuffer & ((1u << Take) - 1)) << (Count - Wanted);
    FBitBuffer >>= Take;
    FBitCount -= Take;
    Wanted -= Take;
    if (FBitCount == 0) {
      // Fetch the next byte at once, even when no more bits are wanted.
      FLastByte = ReadPackedByte();
      if (FLastByte >= 0) {
        FBitBuffer = static_cast<std::uint32_t>(FLastByte);
        FBitCount = 8;
      }
    }
  }
  return Wanted == 0 ? Result : -1;
}

}  // namespace ruvevid
