#include "archive/zip/BufferedArchiveStream.h"

#include <algorithm>
#include <cstring>

namespace ruvevid {

TBufferedArchiveStream::TBufferedArchiveStream(std::unique_ptr<TStream32> Source)
    : FSource(std::move(Source)) {
  for (TSlot& Slot : FSlots) Slot.Bytes.resize(static_cast<std::size_t>(kBufferSize));
  FPosition = FSource->Position();
  FSourcePosition = FPosition;
  SetCancelFlag(FSource->CancelFlag());
  SetApplication(FSource->Application());
}

void TBufferedArchiveStream::SetSize(std::int64_t /*NewSize*/) {
  throw EStreamError("the archive stream is read only");
}

std::int32_t TBufferedArchiveStream::Write(const void* /*Buffer*/, std::int32_t /*Count*/) {
  return 0;
}

TBufferedArchiveStream::TSlot* TBufferedArchiveStream::Holding() {
  for (int I = 0; I < 2; ++I) {
    TSlot& Slot = FSlots[I];
    const std::int64_t At = FPosition - Slot.Start;
    if (At >= 0 && At < Slot.Buffered) {
      FLastUsed = I;
      return &Slot;
    }
  }
  return nullptr;
}

bool TBufferedArchiveStream::SeekSource() {
  if (FSourcePosition != FPosition)
    FSourcePosition = FSource->Seek(FPosition, TSeekOrigin::soBeginning);
  return FSourcePosition == FPosition;
}

TBufferedArchiveStream::TSlot* TBufferedArchiveStream::Fill() {
  if (!SeekSource()) return nullptr;
  FLastUsed = 1 - FLastUsed;
  TSlot& Slot = FSlots[FLastUsed];
  Slot.Start = FPosition;
  Slot.Buffered = std::max(FSource->Read(Slot.Bytes.data(), kBufferSize), 0);
  FSourcePosition += Slot.Buffered;
  return Slot.Buffered > 0 ? &Slot : nullptr;
}

std::int32_t TBufferedArchiveStream::Read(void* Buffer, std::int32_t Count) {
  auto* Out = static_cast<std::uint8_t*>(Buffer);
  std::int32_t Done = 0;
  while (Done < Count) {
    TSlot* Slot = Holding();
    if (Slot == nullptr && Count - Done >= kBufferSize / 2) {
      // A large read that no buffer holds goes straight to the caller's buffer.
      if (!SeekSource()) break;
      const std::int32_t Got = std::max(FSource->Read(Out + Done, Count - Done), 0);
      FSourcePosition += Got;
      FPosition += Got;
      Done += Got;
      break;
    }
    if (Slot == nullptr) Slot = Fill();
    if (Slot == nullptr) break;
    const std::int64_t At = FPosition - Slot->Start;
    const auto N =
        static_cast<std::int32_t>(std::min<std::int64_t>(Slot->Buffered - At, Count - Done));
    std::memcpy(Out + Done, Slot->Bytes.data() + At, static_cast<std::size_t>(N));
    Done += N;
    FPosition += N;
  }
  return Done;
}

std::int64_t TBufferedArchiveStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  std::int64_t Target = Offset;
  if (Origin == TSeekOrigin::soCurrent) Target = FPosition + Offset;
  if (Origin == TSeekOrigin::soEnd) Target = FSource->GetSize() + Offset;
  if (Target < 0) return FPosition;
  FPosition = Target;
  return FPosition;
}

TNativeHandle TBufferedArchiveStream::SourceFile(std::int64_t& Offset) {
  std::int64_t SourceOffset = 0;
  const TNativeHandle Handle = FSource->SourceFile(SourceOffset);
  if (Handle != kNoHandle) Offset = FPosition;
  return Handle;
}

}  // namespace ruvevid
