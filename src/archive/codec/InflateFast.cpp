// The fast path of the code layer: decodes symbols straight from a 64-bit bit buffer refilled a
// word at a time, with no per-symbol checks for input or window space (see the entry contract in
// InflateCodes.h; the margins are checked once per round of the loop).
//
// What keeps it short: a refill is one unaligned 8-byte load with no branch; one table entry
// gives a symbol with its extra bits (one shift consumes both); the next literal/length entry is
// looked up before the current match is copied, so the lookup's latency hides behind the copy;
// up to three literals are taken from one refill; matches are copied 16 bytes per step into the
// window's slack. Where the processor has BMI2 the same loop is compiled a second time for it
// (shifts by a register and masks without the flags dependency), chosen once at run time.

#include "archive/codec/InflateCodes.h"
#include "archive/codec/InflateCopy.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define RUVEVID_INFLATE_BMI2 1
#define RUVEVID_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define RUVEVID_ALWAYS_INLINE inline
#endif

namespace ruvevid::inflate {

namespace {

// A refill leaves at least 56 bits.
constexpr unsigned kRefilledBits = 56;
// Bits a length symbol can consume with its extra bits (deflate64's 16), and a distance.
constexpr unsigned kLengthBits = kMaxCodeBits + 16;
constexpr unsigned kDistanceBits = kMaxCodeBits + 14;
// Literals decoded from one refill; after them a root lookup must still find its bits at hand.
constexpr unsigned kLiteralsPerRefill = 3;
static_assert(kLiteralsPerRefill * kMaxCodeBits + kLitLenRootBits <= kRefilledBits);
static_assert(kLengthBits <= kRefilledBits && kDistanceBits <= kRefilledBits);
// At most four refills per round (at its top, after literals, before a distance, after it), each
// moving at most 7 bytes on and reading 8.
static_assert(kFastInputMargin >= 4 * 7 + 8, "four word refills per round");

RUVEVID_ALWAYS_INLINE std::uint64_t LowMask(unsigned Count) {
  return (std::uint64_t{1} << Count) - 1;
}

// The value of a length or distance entry: its base plus its extra bits, which follow the code in
// Saved (the bit buffer before the entry was consumed).
RUVEVID_ALWAYS_INLINE std::uint32_t EntryAmount(TTableEntry Entry, std::uint64_t Saved) {
  return EntryValue(Entry) +
         static_cast<std::uint32_t>((Saved & LowMask(EntryUsed(Entry))) >> EntryCodeBits(Entry));
}

RUVEVID_ALWAYS_INLINE void FastLoop(TInflateRecord& Record, TBlockDecoder& Block) {
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
  constexpr std::uint64_t LitLenMask = (std::uint64_t{1} << kLitLenRootBits) - 1;
  const TTableEntry* const Dist = Codes.Dist;
  constexpr std::uint64_t DistMask = (std::uint64_t{1} << kDistRootBits) - 1;
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
  const auto Consume = [&](unsigned Used) {
    Bits >>= Used;
    Count -= Used;
  };

  // The literal/length entry of the next symbol is always looked up ahead; a refill only adds bits
  // above the ones it was looked up with.
  Refill();
  TTableEntry Entry = LitLen[Bits & LitLenMask];
  do {
    Refill();
    if ((Entry & kEntryLiteral) != 0) {
      Consume(EntryUsed(Entry));
      *Out++ = static_cast<std::uint8_t>(EntryValue(Entry));
      Entry = LitLen[Bits & LitLenMask];
      if ((Entry & kEntryLiteral) != 0) {
        Consume(EntryUsed(Entry));
        *Out++ = static_cast<std::uint8_t>(EntryValue(Entry));
        Entry = LitLen[Bits & LitLenMask];
        if ((Entry & kEntryLiteral) != 0) {
          Consume(EntryUsed(Entry));
          *Out++ = static_cast<std::uint8_t>(EntryValue(Entry));
          Entry = LitLen[Bits & LitLenMask];
          continue;
        }
      }
      // A length (or the end) follows one or two literals: go on with it in this round rather than
      // through the loop's test and top.
      Refill();
    }
    if ((Entry & kEntryBase) == 0) {
      if ((Entry & kEntryLink) != 0) {
        Consume(EntryUsed(Entry));
        Entry = LitLen[EntryValue(Entry) + (Bits & LowMask(EntryCodeBits(Entry)))];
        if ((Entry & kEntryLiteral) != 0) {
          Consume(EntryUsed(Entry));
          *Out++ = static_cast<std::uint8_t>(EntryValue(Entry));
          Entry = LitLen[Bits & LitLenMask];
          continue;
        }
      }
      if ((Entry & kEntryBase) == 0) {
        if ((Entry & kEntryEnd) != 0) {
          Consume(EntryUsed(Entry));
          Exit = TCodeMode::cmWash;
        } else {
          Exit = TCodeMode::cmBadCode;
        }
        break;
      }
    }
    std::uint64_t Saved = Bits;
    Consume(EntryUsed(Entry));
    const std::uint32_t Length = EntryAmount(Entry, Saved);
    // Only a deflate64 length with its 16 extra bits, or a long code through a sub-table, can
    // leave too few bits for the distance.
    if (Count < kDistanceBits) Refill();
    Entry = Dist[Bits & DistMask];
    if ((Entry & kEntryBase) == 0) {
      if ((Entry & kEntryLink) != 0) {
        Consume(EntryUsed(Entry));
        Entry = Dist[EntryValue(Entry) + (Bits & LowMask(EntryCodeBits(Entry)))];
      }
      if ((Entry & kEntryBase) == 0) {
        Exit = TCodeMode::cmBadCode;
        break;
      }
    }
    Saved = Bits;
    Consume(EntryUsed(Entry));
    const std::uint32_t Distance = EntryAmount(Entry, Saved);
    if (Distance > MaxDistance) {
      Exit = TCodeMode::cmBadCode;
      break;
    }
    Refill();
    Entry = LitLen[Bits & LitLenMask];
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

void FastLoopPlain(TInflateRecord& Record, TBlockDecoder& Block) {
  FastLoop(Record, Block);
}

#if defined(RUVEVID_INFLATE_BMI2)
__attribute__((target("bmi2"))) void FastLoopBmi2(TInflateRecord& Record, TBlockDecoder& Block) {
  FastLoop(Record, Block);
}

bool HaveBmi2() {
  static const bool Has = __builtin_cpu_supports("bmi2");
  return Has;
}
#endif

}  // namespace

void InflateFast(TInflateRecord& Record, TBlockDecoder& Block) {
#if defined(RUVEVID_INFLATE_BMI2)
  if (HaveBmi2()) {
    FastLoopBmi2(Record, Block);
    return;
  }
#endif
  FastLoopPlain(Record, Block);
}

}  // namespace ruvevid::inflate
