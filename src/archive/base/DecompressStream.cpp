#include "archive/base/DecompressStream.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "archive/codec/Inflate.h"

namespace ruvevid {

namespace {
constexpr std::int32_t kSkipBlock = 4096;
// What Finish may take in beyond the bytes already read: an end-of-block code and a few empty
// blocks, nothing like a block of data.
constexpr std::uint64_t kFinishInputLimit = 64;
}  // namespace

TDecompressStream::TDecompressStream(TStream32& Source, std::int8_t WindowBits,
                                     TInflateVariant Variant, TInflateBlockCache* Memory)
    : TCustomStream(Source, Memory), FVariant(Variant) {
  FSourcePosition = Source.Position();
  FRecord.NextIn = FInput.get();
  FRecord.AvailIn = 0;
  if (Memory != nullptr) {
    FRecord.Allocate = TInflateBlockCache::AllocateZeroed;
    FRecord.Release = TInflateBlockCache::ReleaseBlock;
    FRecord.Context = Memory;
  }
  FInitResult = TDecompressStream::DecoderInit(WindowBits);
}

TDecompressStream::~TDecompressStream() {
  try {
    // Give back what was read ahead: the source ends up just after the last byte consumed.
    if (FRecord.AvailIn > 0) {
      FSource->Seek(FSourcePosition - FRecord.AvailIn, TSeekOrigin::soBeginning);
    }
  } catch (...) {
    // A destructor does not raise; the source's position is then the caller's concern.
  }
  ruvevid::DecoderFree(FRecord);
}

int TDecompressStream::DecoderInit(std::int8_t WindowBits) {
  return ruvevid::DecoderInit(FRecord, FVariant, WindowBits);
}
int TDecompressStream::DecoderRun() {
  return ruvevid::DecoderRun(FRecord);
}
int TDecompressStream::DecoderReset() {
  return ruvevid::DecoderReset(FRecord);
}
int TDecompressStream::DecoderFree() {
  return ruvevid::DecoderFree(FRecord);
}

void TDecompressStream::Refill(std::int32_t Count) {
  if (FRecord.AvailIn != 0) return;
  const std::int32_t Got = FSource->Read(FInput.get(), std::clamp(Count, 0, kInputBufferSize));
  FRecord.NextIn = FInput.get();
  FRecord.AvailIn = static_cast<std::uint32_t>(std::max(Got, 0));
  FSourcePosition = FSource->Position();
  if (Got > 0) {
    if (FRecord.DecryptInput && Decipher) Decipher(FInput.get(), Got);
    if (OnProgress) OnProgress(this);
  }
}

std::int32_t TDecompressStream::Read(void* Buffer, std::int32_t Count) {
  if (Count <= 0) return Count < 0 ? 0 : Count;
  FRecord.NextOut = static_cast<std::uint8_t*>(Buffer);
  FRecord.AvailOut = static_cast<std::uint32_t>(Count);
  // Other code may have moved the source between two reads.
  if (FSource->Position() != FSourcePosition) {
    FSource->Seek(FSourcePosition, TSeekOrigin::soBeginning);
  }
  while (FRecord.AvailOut > 0) {
    Refill(Count);
    const int Result = DecoderRun();
    if (Result == kInflateStreamEnd) break;
    if (Result < 0) return Result;
  }
  return Count;
}

bool TDecompressStream::Finish() {
  FRecord.NextOut = nullptr;
  FRecord.AvailOut = 0;
  if (FSource->Position() != FSourcePosition) {
    FSource->Seek(FSourcePosition, TSeekOrigin::soBeginning);
  }
  // The decoder sees a few bytes at a time, so that data running on past the expected end is not
  // taken in by the window's worth.
  const std::uint64_t Start = FRecord.TotalIn;
  while (FRecord.TotalIn - Start < kFinishInputLimit) {
    Refill(kSkipBlock);
    const std::uint32_t Shown = std::min<std::uint32_t>(FRecord.AvailIn, 8);
    const std::uint32_t Hidden = FRecord.AvailIn - Shown;
    FRecord.AvailIn = Shown;
    const int Result = DecoderRun();
    FRecord.AvailIn += Hidden;
    if (Result == kInflateStreamEnd) return true;
    // With no output space, progress can only be input taken in; none means stop.
    if (Result != kInflateOk) return false;
  }
  return false;
}

std::int32_t TDecompressStream::Write(const void* /*Buffer*/, std::int32_t /*Count*/) {
  return -1;
}

void TDecompressStream::SetSize(std::int64_t /*NewSize*/) {}

std::int64_t TDecompressStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  if (Offset < std::numeric_limits<std::int32_t>::min() ||
      Offset > std::numeric_limits<std::int32_t>::max()) {
    throw std::out_of_range("Range check error");
  }
  const auto TotalOut = static_cast<std::int64_t>(FRecord.TotalOut);
  if (Origin == TSeekOrigin::soBeginning && Offset == 0) {
    DecoderReset();
    FRecord.NextIn = FInput.get();
    FRecord.AvailIn = 0;
    FSource->Seek(0, TSeekOrigin::soBeginning);
    FSourcePosition = 0;
  } else if ((Origin == TSeekOrigin::soCurrent && Offset >= 0) ||
             (Origin == TSeekOrigin::soBeginning && Offset > TotalOut)) {
    if (Origin == TSeekOrigin::soBeginning) Offset -= TotalOut;
    std::uint8_t Skip[kSkipBlock];
    for (std::int64_t Block = 0; Block < Offset / kSkipBlock; ++Block) ReadBuffer(Skip, kSkipBlock);
    ReadBuffer(Skip, static_cast<std::int32_t>(Offset % kSkipBlock));
  }
  return static_cast<std::int64_t>(FRecord.TotalOut);
}

}  // namespace ruvevid
