#include "archive/codec/InflateCodes.h"

#include "archive/codec/InflateBits.h"
#include "archive/codec/InflateCopy.h"

namespace ruvevid::inflate {

void StartCodes(TBlockDecoder& Block, const TTableEntry* LitLen, unsigned LitLenRoot,
                const TTableEntry* Dist, unsigned DistRoot) {
  TCodeDecoder& Codes = Block.Codes;
  Codes = TCodeDecoder{};
  Codes.LitLen = LitLen;
  Codes.LitLenRoot = LitLenRoot;
  Codes.Dist = Dist;
  Codes.DistRoot = DistRoot;
  Codes.Mode = TCodeMode::cmStart;
}

namespace {

// Tries the fast path; leaves the mode at cmStart when it could not run or stopped at a margin.
void TryFast(TInflateRecord& Record, TBlockDecoder& Block) {
  // The fast path indexes both root tables with constant masks; every table set is built so.
  const TCodeDecoder& Codes = Block.Codes;
  if (Codes.LitLenRoot != kLitLenRootBits || Codes.DistRoot != kDistRootBits) return;
  if (Record.AvailIn < kFastInputMargin) return;
  WindowWrapWrite(Block);
  if (WindowSpace(Block) < kFastOutputMargin && Record.AvailOut > 0) {
    // Deliver early rather than decode the window's last stretch slowly.
    WindowFlush(Record, Block);
    WindowWrapWrite(Block);
  }
  if (WindowSpace(Block) < kFastOutputMargin) return;
  InflateFast(Record, Block);
}

// Copies as much of the pending match as the window's space allows. False when it must wait for
// output space.
bool CopyPending(TInflateRecord& Record, TBlockDecoder& Block) {
  TCodeDecoder& Codes = Block.Codes;
  const std::size_t WindowSize = static_cast<std::size_t>(Block.WindowEnd - Block.Window);
  while (Codes.Length > 0) {
    const std::size_t Space = WindowMakeRoom(Record, Block);
    if (Space == 0) return false;
    std::uint8_t* Target = Block.Write;
    const std::size_t Behind = static_cast<std::size_t>(Target - Block.Window);
    std::size_t Count = Codes.Length < Space ? Codes.Length : Space;
    if (Codes.Distance <= Behind) {
      CopyMatchExact(Target, Codes.Distance, Count);
    } else {
      // The source lies before the window's start: it is taken from the window's end, as far as
      // the end; the rest follows in the next round from the start.
      const std::uint8_t* Source = Target + WindowSize - Codes.Distance;
      const std::size_t ToEnd = static_cast<std::size_t>(Block.WindowEnd - Source);
      if (Count > ToEnd) Count = ToEnd;
      std::memcpy(Target, Source, Count);
    }
    Block.Write += Count;
    Block.WindowDirty = true;
    Codes.Length -= static_cast<std::uint32_t>(Count);
  }
  return true;
}

}  // namespace

int RunCodes(TInflateRecord& Record, TBlockDecoder& Block) {
  TCodeDecoder& Codes = Block.Codes;
  for (;;) {
    switch (Codes.Mode) {
      case TCodeMode::cmStart:
        TryFast(Record, Block);
        if (Codes.Mode != TCodeMode::cmStart) break;
        Codes.Mode = TCodeMode::cmLen;
        [[fallthrough]];
      case TCodeMode::cmLen: {
        TTableEntry Entry;
        if (!DecodeSymbol(Record, Block, Codes.LitLen, Codes.LitLenRoot, Entry)) {
          return kInflateBufError;
        }
        if ((Entry & kEntryLiteral) != 0) {
          Codes.Literal = static_cast<std::uint8_t>(EntryValue(Entry));
          Codes.Mode = TCodeMode::cmLit;
        } else if ((Entry & kEntryBase) != 0) {
          Codes.Length = EntryValue(Entry);
          Codes.Extra = EntryExtraBits(Entry);
          Codes.Mode = TCodeMode::cmLenExt;
        } else if ((Entry & kEntryEnd) != 0) {
          Codes.Mode = TCodeMode::cmWash;
        } else {
          Codes.Mode = TCodeMode::cmBadCode;
        }
        break;
      }
      case TCodeMode::cmLenExt:
        if (!NeedBits(Record, Block, Codes.Extra)) return kInflateBufError;
        Codes.Length += TakeBits(Block, Codes.Extra);
        Codes.Mode = TCodeMode::cmDist;
        [[fallthrough]];
      case TCodeMode::cmDist: {
        TTableEntry Entry;
        if (!DecodeSymbol(Record, Block, Codes.Dist, Codes.DistRoot, Entry)) {
          return kInflateBufError;
        }
        if ((Entry & kEntryBase) == 0) {
          Codes.Mode = TCodeMode::cmBadCode;
          break;
        }
        Codes.Distance = EntryValue(Entry);
        Codes.Extra = EntryExtraBits(Entry);
        Codes.Mode = TCodeMode::cmDistExt;
        [[fallthrough]];
      }
      case TCodeMode::cmDistExt:
        if (!NeedBits(Record, Block, Codes.Extra)) return kInflateBufError;
        Codes.Distance += TakeBits(Block, Codes.Extra);
        if (Codes.Distance > Block.MaxDistance) {
          Codes.Mode = TCodeMode::cmBadCode;
          break;
        }
        Codes.Mode = TCodeMode::cmCopy;
        [[fallthrough]];
      case TCodeMode::cmCopy:
        if (!CopyPending(Record, Block)) return kInflateBufError;
        Codes.Mode = TCodeMode::cmStart;
        break;
      case TCodeMode::cmLit:
        if (WindowMakeRoom(Record, Block) == 0) return kInflateBufError;
        *Block.Write++ = Codes.Literal;
        Block.WindowDirty = true;
        Codes.Mode = TCodeMode::cmStart;
        break;
      case TCodeMode::cmWash:
        WindowFlush(Record, Block);
        if (Block.Read != Block.Write) return kInflateBufError;
        Codes.Mode = TCodeMode::cmEnd;
        [[fallthrough]];
      case TCodeMode::cmEnd:
        return kInflateStreamEnd;
      case TCodeMode::cmBadCode:
        return kInflateDataError;
    }
  }
}

}  // namespace ruvevid::inflate
