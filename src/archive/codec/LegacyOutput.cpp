#include "archive/codec/LegacyOutput.h"

#include <algorithm>
#include <cstring>

namespace ruvevid {

TLegacyOutput::TLegacyOutput(TLegacyContext& Context)
    : FContext(Context), FBuffer(std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize)) {}

void TLegacyOutput::CopyFromDictionary(int Back, int Length) {
  const int Mask = FDictionarySize - 1;
  int Source = (FDictionaryPosition - Back) & Mask;
  while (Length > 0) {
    // Within one run neither the output buffer fills nor does either index wrap, so the bytes go
    // without the per-byte checks; a source that overlaps the destination still reads what was
    // written one step earlier, as the byte-at-a-time copy requires.
    const int Run = std::min({Length, kBufferSize - FFill, FDictionarySize - Source,
                              FDictionarySize - FDictionaryPosition});
    std::uint8_t* Out = FBuffer.get() + FFill;
    std::uint8_t* Dictionary = FDictionary.get();
    for (int I = 0; I < Run; ++I) {
      const std::uint8_t Byte = Dictionary[Source + I];
      Out[I] = Byte;
      Dictionary[FDictionaryPosition + I] = Byte;
    }
    FFill += Run;
    FOutputCount += Run;
    Source = (Source + Run) & Mask;
    FDictionaryPosition = (FDictionaryPosition + Run) & Mask;
    Length -= Run;
    if (FFill == kBufferSize) FlushOutput();
  }
}

void TLegacyOutput::FlushOutput() {
  if (FFill == 0) return;
  // The block leaves the buffer before it is written: a write that fails (or raises) is not tried
  // again by the closing flush of the entry.
  const int Count = FFill;
  FFill = 0;
  const TLegacyIo& Io = FContext.Io();
  const int Written = Io.WriteBlock ? Io.WriteBlock(FBuffer.get(), Count) : 0;
  if (Written == 0) FContext.RaiseError(ecWriteError);
  if (Io.BlockFlushed) Io.BlockFlushed(Count);
  FContext.PollCancel();
}

void TLegacyOutput::AllocateDictionary() {
  if (!FDictionary) FDictionary = std::make_unique<std::uint8_t[]>(kMaxDictionarySize);
}

void TLegacyOutput::FreeDictionary() {
  FDictionary.reset();
}

void TLegacyOutput::ResetDictionary(int Size) {
  AllocateDictionary();
  FDictionarySize = Size == 4096 ? 4096 : kMaxDictionarySize;
  std::memset(FDictionary.get(), 0, static_cast<std::size_t>(FDictionarySize));
  FDictionaryPosition = 0;
}

}  // namespace ruvevid
