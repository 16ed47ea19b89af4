#include "archive/zip/DataDescriptor.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/base/LittleEndian.h"
#include "archive/base/Stream32.h"
#include "archive/base/StreamReads.h"
#include "archive/base/ZipHeaders.h"

namespace ruvevid {

namespace {

constexpr std::int32_t kChunk = 65536;
// The longest descriptor: signature, CRC and two 64-bit sizes.
constexpr std::int64_t kLongest = 24;

bool IsFollowingHeader(std::uint32_t Signature) {
  return Signature == kLocalSignatureK || Signature == kCentralSignatureK ||
         Signature == kEndSignatureK || Signature == kZip64EndSignature;
}

// A window of the stream's bytes around the search position.
class TWindow {
 public:
  TWindow(TStream32& Stream, std::int64_t Floor, std::int64_t Size)
      : FStream(Stream), FFloor(Floor), FSize(Size) {}

  // Makes [At - kLongest, At + kLongest) available as far as it lies in [Floor, Size).
  void Cover(std::int64_t At) {
    const std::int64_t Low = std::max(FFloor, At - kLongest);
    const std::int64_t High = std::min(FSize, At + kLongest);
    if (Low >= FStart && High <= WindowEnd()) return;
    FStart = Low;
    const auto Wanted = static_cast<std::int32_t>(std::min<std::int64_t>(kChunk, FSize - FStart));
    FBytes.resize(static_cast<std::size_t>(std::max(Wanted, 0)));
    const std::int32_t Got = ReadAt(FStream, FStart, FBytes.data(), Wanted);
    FBytes.resize(static_cast<std::size_t>(std::max(Got, 0)));
  }
  bool Has(std::int64_t At, std::int64_t Count) const {
    return At >= FStart && At + Count <= FStart + static_cast<std::int64_t>(FBytes.size());
  }
  std::uint32_t U32(std::int64_t At) const { return GetLE32(Byte(At)); }
  std::uint64_t U64(std::int64_t At) const { return GetLE64(Byte(At)); }
  // The next position from At whose byte is 'P' inside the window; the window's end when none.
  std::int64_t NextP(std::int64_t At) const {
    const std::int64_t End = FStart + static_cast<std::int64_t>(FBytes.size());
    if (At < FStart || At >= End) return At;
    const void* Found = std::memchr(Byte(At), 'P', static_cast<std::size_t>(End - At));
    return Found == nullptr ? End
                            : FStart + (static_cast<const std::uint8_t*>(Found) - FBytes.data());
  }
  std::int64_t WindowEnd() const { return FStart + static_cast<std::int64_t>(FBytes.size()); }

 private:
  const std::uint8_t* Byte(std::int64_t At) const {
    return FBytes.data() + static_cast<std::size_t>(At - FStart);
  }
  TStream32& FStream;
  std::int64_t FFloor;
  std::int64_t FSize;
  std::int64_t FStart = 0;
  std::vector<std::uint8_t> FBytes;
};

// A descriptor whose compressed size field at SizeAt equals Distance; Wide: 64-bit sizes.
std::optional<TDataDescriptor> Read(const TWindow& Window, std::int64_t CrcAt,
                                    std::int64_t Distance, bool Wide, std::int64_t End) {
  const std::int64_t Length = Wide ? 20 : 12;
  if (Distance < 0 || !Window.Has(CrcAt, Length)) return std::nullopt;
  const std::uint64_t Packed = Wide ? Window.U64(CrcAt + 4) : Window.U32(CrcAt + 4);
  if (Packed != static_cast<std::uint64_t>(Distance)) return std::nullopt;
  TDataDescriptor Found;
  Found.Crc32 = Window.U32(CrcAt);
  Found.PackedSize = Packed;
  Found.UnpackedSize = Wide ? Window.U64(CrcAt + 12) : Window.U32(CrcAt + 8);
  Found.End = End;
  return Found;
}

}  // namespace

std::optional<TDataDescriptor> FindDataDescriptor(TStream32& Stream, std::int64_t DataStart,
                                                  bool Zip64) {
  const std::int64_t Size = Stream.GetSize();
  if (DataStart < 0 || DataStart > Size) return std::nullopt;
  TWindow Window(Stream, DataStart, Size);
  const bool Forms[2] = {Zip64, !Zip64};
  for (std::int64_t X = DataStart; X <= Size;) {
    Window.Cover(X);
    if (X < Size) {
      const std::int64_t P = Window.NextP(X);
      if (P != X) {
        // Nothing before P can start a signature; the end of the stream is still a candidate.
        X = std::min(P, Size);
        continue;
      }
    }
    const bool AtEnd = X == Size;
    const bool Signed = !AtEnd && Window.Has(X, 4) && Window.U32(X) == kSplitMarkerSignature;
    const bool Header = AtEnd || (Window.Has(X, 4) && IsFollowingHeader(Window.U32(X)));
    for (const bool Wide : Forms) {
      const std::int64_t Length = Wide ? 20 : 12;
      if (Signed) {
        if (auto Found = Read(Window, X + 4, X - DataStart, Wide, X + 4 + Length)) return Found;
      }
      if (Header) {
        if (auto Found = Read(Window, X - Length, X - Length - DataStart, Wide, X)) return Found;
      }
    }
    ++X;
  }
  return std::nullopt;
}

bool SpansOverlap(std::vector<TEntrySpan> Spans) {
  std::sort(Spans.begin(), Spans.end(), [](const TEntrySpan& A, const TEntrySpan& B) {
    return A.Disk != B.Disk ? A.Disk < B.Disk : A.Start < B.Start;
  });
  for (std::size_t I = 1; I < Spans.size(); ++I) {
    if (Spans[I].Disk == Spans[I - 1].Disk && Spans[I].Start < Spans[I - 1].End) return true;
  }
  return false;
}

}  // namespace ruvevid
