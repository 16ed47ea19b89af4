// The fast path of the code layer: decodes symbols straight from a 64-bit bit buffer refilled a
// word at a time, with no per-byte checks for input or window space (see the entry contract in
// InflateCodes.h).

#include "archive/codec/InflateCodes.h"
#include "archive/codec/InflateCopy.h"

namespace ruvevid::inflate {

namespace {

// Bits one length/distance pair can need after the literal/length code: up to 15 code bits and
// 14 extra bits for the distance.
constexpr unsigned kDistanceBits = kMaxCodeBits + 14;
// A refill leaves at least 56 bits: the literal/length code with its extra bits (15 + 16) plus
// the distance needs a second refill only in deflate64 (15 + 16 + 29 > 56 >= 15 + 5 + 29).
constexpr unsigned kRefilledBits = 56;
static_assert(kMaxCodeBits + 5 + kDistanceBits <= kRefilledBits);

inline std::uint64_t LowMask(unsigned Count) {
  return (std::uint64_t{1} << Count) - 1;
}

}  // namespace

void InflateFast(TInflateRecord& Record, TBlockDecoder& Block) {
  TCodeDecoder& Codes = Block.Codes;
  const std::uint8_t* In = Record.NextIn;
  const std::uint8_t* const InLast = In + (Record.AvailIn - kFastInputMargin);
  std::uint8_t* Out = Block.Write;
  std::uint8_t* const OutLast =
      (Block.Write < Block.Read ? Block.Read - 1 : Block.WindowEnd) - kFastOutputMargin;
  std::uint8_t* const WindowStart = Block.Window;
  std::uint8_t* const WindowEnd = Block.WindowEnd;
  const std::size_t WindowSize = static_cast<std::size_t>(WindowEnd - WindowStart);
  const std::uint32_t MaxDistance = Block.MaxDistance;
  const TTableEntry* const LitLen = Codes.LitLen;
  const unsigned LitLenRoot = Codes.LitLenRoot;
  const std::uint64_t LitLenMask = LowMask(LitLenRoot);
  const TTableEntry* const Dist = Codes.Dist;
  const unsigned DistRoot = Codes.DistRoot;
  const std::uint64_t DistMask = LowMask(DistRoot);
  // Bits above Count are the stream's next bits (or zero), never stale ones, so a refill may OR a
  // new word over them.
  std::uint64_t Bits = Block.BitBuf;
  unsigned Count = Block.BitCount;
  TCodeMode Exit = TCodeMode::cmStart;

  const auto Refill = [&] {
    Bits |= LoadWord(In) << Count;
    In += (63 - Count) >> 3;
    Count |= kRefilledBits;
  };

  do {
    Refill();
    TTableEntry Entry = LitLen[Bits & LitLenMask];
    if ((Entry.Op & kOpLink) != 0) {
      Entry = LitLen[Entry.Value + ((Bits >> LitLenRoot) & LowMask(Entry.Op & kOpLinkBitsMask))];
      Bits >>= LitLenRoot;
      Count -= LitLenRoot;
    }
    Bits >>= Entry.Bits;
    Count -= Entry.Bits;
    if (Entry.Op == kOpLiteral) {
      *Out++ = static_cast<std::uint8_t>(Entry.Value);
      // A second literal fits in the bits at hand more often than not.
      if (Count >= kMaxCodeBits) {
        Entry = LitLen[Bits & LitLenMask];
        if (Entry.Op == kOpLiteral) {
          Bits >>= Entry.Bits;
          Count -= Entry.Bits;
          *Out++ = static_cast<std::uint8_t>(Entry.Value);
        }
      }
      continue;
    }
    if ((Entry.Op & kOpBase) == 0) {
      Exit = Entry.Op == kOpEndOfBlock ? TCodeMode::cmWash : TCodeMode::cmBadCode;
      break;
    }
    unsigned Extra = Entry.Op & kOpExtraMask;
    std::uint32_t Length = Entry.Value + static_cast<std::uint32_t>(Bits & LowMask(Extra));
    Bits >>= Extra;
    Count -= Extra;
    if (Count < kDistanceBits) Refill();
    Entry = Dist[Bits & DistMask];
    if ((Entry.Op & kOpLink) != 0) {
      Entry = Dist[Entry.Value + ((Bits >> DistRoot) & LowMask(Entry.Op & kOpLinkBitsMask))];
      Bits >>= DistRoot;
      Count -= DistRoot;
    }
    Bits >>= Entry.Bits;
    Count -= Entry.Bits;
    if ((Entry.Op & kOpBase) == 0) {
      Exit = TCodeMode::cmBadCode;
      break;
    }
    Extra = Entry.Op & kOpExtraMask;
    const std::uint32_t Distance = Entry.Value + static_cast<std::uint32_t>(Bits & LowMask(Extra));
    Bits >>= Extra;
    Count -= Extra;
    if (Distance > MaxDistance) {
      Exit = TCodeMode::cmBadCode;
      break;
    }
    if (Length > kFastMaxLength) {
      // A long deflate64 match: the general copy mode finishes it in window-sized steps.
      Codes.Length = Length;
      Codes.Distance = Distance;
      Exit = TCodeMode::cmCopy;
      break;
    }
    std::uint8_t* const Target = Out;
    Out += Length;
    const std::size_t Behind = static_cast<std::size_t>(Target - WindowStart);
    if (Distance <= Behind) {
      CopyMatchFast(Target, Distance, Length);
    } else {
      // The source lies before the window's start and is taken from its end. It is at least the
      // reserve beyond the longest distance ahead of the target, so the two never meet.
      const std::uint8_t* const Source = Target + WindowSize - Distance;
      const std::size_t ToEnd = static_cast<std::size_t>(WindowEnd - Source);
      if (Length <= ToEnd) {
        CopyWords(Target, Source, Length);
      } else {
        CopyWords(Target, Source, ToEnd);
        CopyMatchFast(Target + ToEnd, Distance, Length - ToEnd);
      }
    }
  } while (In <= InLast && Out <= OutLast);

  // Give back the whole bytes still unused; they were all taken in by this call.
  const unsigned Whole = Count >> 3;
  In -= Whole;
  Count &= 7;
  Bits &= LowMask(Count);

  const std::uint32_t Taken = static_cast<std::uint32_t>(In - Record.NextIn);
  Record.NextIn = In;
  Record.AvailIn -= Taken;
  Record.TotalIn += Taken;
  if (Out != Block.Write) Block.WindowDirty = true;
  Block.Write = Out;
  Block.BitBuf = Bits;
  Block.BitCount = Count;
  Codes.Mode = Exit;
}

}  // namespace ruvevid::inflate
