#pragma once
// The output side of the legacy decoders: a 32768-byte buffer that PutByte fills and FlushOutput
// writes through the component's WriteBlock, and the circular dictionary (4096 or 8192 bytes) from
// which the reduce and implode decoders copy earlier output.

#include <cstdint>
#include <memory>

#include "archive/codec/LegacyContext.h"

namespace ruvevid {

class TLegacyOutput {
 public:
  static constexpr int kBufferSize = 32768;
  static constexpr int kMaxDictionarySize = 8192;

  explicit TLegacyOutput(TLegacyContext& Context);

  // Appends a byte; after the 32768th, FlushOutput.
  void PutByte(std::uint8_t Byte) {
    FBuffer[FFill++] = Byte;
    ++FOutputCount;
    if (FFill == kBufferSize) FlushOutput();
  }

  // PutByte, and the byte goes into the dictionary.
  void PutDictByte(std::uint8_t Byte) {
    PutByte(Byte);
    FDictionary[FDictionaryPosition] = Byte;
    FDictionaryPosition = (FDictionaryPosition + 1) & (FDictionarySize - 1);
  }

  // Copies Length bytes with PutDictByte, one at a time, starting Back bytes (1 to the dictionary
  // size) behind the dictionary position; the source advances modulo the dictionary size, so a
  // copy may overlap what it writes. Bytes before the first output byte are zeros.
  void CopyFromDictionary(int Back, int Length);

  // Writes the buffered bytes (nothing when the buffer is empty) and reports the block.
  void FlushOutput();

  // Allocates the dictionary (once per entry); throws std::bad_alloc when that fails.
  void AllocateDictionary();
  void FreeDictionary();
  bool HasDictionary() const { return FDictionary != nullptr; }
  // Size 4096 or 8192: the dictionary is filled with zeros over its size, position 0.
  void ResetDictionary(int Size);

  std::int64_t OutputCount() const { return FOutputCount; }

 private:
  TLegacyContext& FContext;
  std::unique_ptr<std::uint8_t[]> FBuffer;
  int FFill = 0;                  // bytes in the buffer
  std::int64_t FOutputCount = 0;  // bytes decoded for the entry so far
  std::unique_ptr<std::uint8_t[]> FDictionary;
  int FDictionarySize = kMaxDictionarySize;  // a power of two
  int FDictionaryPosition = 0;               // where the next byte goes
};

}  // namespace ruvevid
