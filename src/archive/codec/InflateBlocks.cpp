#include "archive/codec/InflateBlocks.h"

#include <cstring>

#include "archive/codec/Adler32.h"
#include "archive/codec/InflateBits.h"
#include "archive/codec/InflateCodes.h"
#include "archive/codec/InflateWindow.h"

namespace ruvevid::inflate {

namespace {

// The order in which a dynamic block sends the lengths of its code-length code.
constexpr std::uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

enum TBlockType : unsigned { btStored = 0, btFixed = 1, btDynamic = 2 };

int Fail(TBlockDecoder& Block) {
  Block.Mode = TBlockMode::bmBad;
  return kInflateDataError;
}

TBlockMode AfterBlock(const TBlockDecoder& Block) {
  return Block.Last ? TBlockMode::bmDrain : TBlockMode::bmType;
}

// Stores the lengths one code-length symbol gives: the length itself (0-15), or a repeat of the
// previous length (16) or of zeros (17, 18). False for a repeat with nothing before it or beyond
// the last length.
bool PutCodeLengths(TBlockDecoder& Block, unsigned Symbol, unsigned Repeat, unsigned Total) {
  if (Symbol < 16) {
    Block.Lengths[Block.Index++] = static_cast<std::uint8_t>(Symbol);
    return true;
  }
  std::uint8_t Fill = 0;
  if (Symbol == 16) {
    if (Block.Index == 0) return false;
    Fill = Block.Lengths[Block.Index - 1];
  }
  if (Block.Index + Repeat > Total) return false;
  std::memset(Block.Lengths + Block.Index, Fill, Repeat);
  Block.Index += Repeat;
  return true;
}

// 16: repeat the previous length 3-6 times; 17: 3-10 zeros; 18: 11-138 zeros.
constexpr unsigned RepeatExtraBits(unsigned Symbol) {
  return Symbol < 16 ? 0 : Symbol == 16 ? 2 : Symbol == 17 ? 3 : 7;
}
constexpr unsigned RepeatBase(unsigned Symbol) {
  return Symbol == 18 ? 11 : 3;
}

// Reads code lengths from whole 8-byte words while 8 bytes of input are at hand: a header holds a
// few hundred symbols, and the byte-wise loop pays a branch per byte and per symbol. Runs only with
// fewer than 8 bits in the buffer and gives back the whole bytes it took in but did not use, so the
// byte-wise loop goes on as if it had read the same symbols itself.
int ReadCodeLengthsFast(TInflateRecord& Record, TBlockDecoder& Block, const TTableEntry* Table,
                        unsigned RootBits, unsigned Total) {
  if (Block.BitCount >= 8 || Record.AvailIn < 8) return kInflateOk;
  const std::uint8_t* In = Record.NextIn;
  const std::uint8_t* const InLast = In + (Record.AvailIn - 8);
  std::uint64_t Bits = Block.BitBuf;
  unsigned Count = Block.BitCount;
  const std::uint64_t RootMask = (std::uint64_t{1} << RootBits) - 1;
  int Result = kInflateOk;
  // A refill leaves at least 56 bits, more than a code (7 bits) and its extra bits (7) need.
  while (Block.Index < Total && In <= InLast) {
    std::uint64_t Word;
    std::memcpy(&Word, In, sizeof Word);
    Bits |= Word << Count;
    In += (63 - Count) >> 3;
    Count |= 56;
    const TTableEntry Entry = Table[Bits & RootMask];
    if ((Entry & kEntryLiteral) == 0) {
      Result = kInflateDataError;
      break;
    }
    const unsigned Symbol = EntryValue(Entry);
    const unsigned CodeBits = EntryCodeBits(Entry);
    const unsigned ExtraBits = RepeatExtraBits(Symbol);
    const unsigned Repeat =
        RepeatBase(Symbol) + static_cast<unsigned>((Bits >> CodeBits) & ((1u << ExtraBits) - 1));
    Bits >>= CodeBits + ExtraBits;
    Count -= CodeBits + ExtraBits;
    if (!PutCodeLengths(Block, Symbol, Repeat, Total)) {
      Result = kInflateDataError;
      break;
    }
  }
  In -= Count >> 3;
  Count &= 7;
  Bits &= (std::uint64_t{1} << Count) - 1;
  const std::uint32_t Taken = static_cast<std::uint32_t>(In - Record.NextIn);
  Record.NextIn = In;
  Record.AvailIn -= Taken;
  Record.TotalIn += Taken;
  Block.BitBuf = Bits;
  Block.BitCount = Count;
  return Result;
}

// Reads the code lengths of a dynamic block with the code-length code. Returns kInflateOk when all
// are read, kInflateBufError when input runs out, kInflateDataError for an invalid code or repeat.
int ReadCodeLengths(TInflateRecord& Record, TBlockDecoder& Block) {
  const TTableEntry* Table = Block.Pool + Block.CodeLenTable.Start;
  const unsigned RootBits = Block.CodeLenTable.RootBits;
  const unsigned Total = Block.LitCount + Block.DistCount;
  if (ReadCodeLengthsFast(Record, Block, Table, RootBits, Total) != kInflateOk) {
    return kInflateDataError;
  }
  while (Block.Index < Total) {
    TTableEntry Entry;
    if (!PeekRootSymbol(Record, Block, Table, RootBits, Entry)) return kInflateBufError;
    if ((Entry & kEntryLiteral) == 0) return kInflateDataError;
    const unsigned Symbol = EntryValue(Entry);
    const unsigned CodeBits = EntryCodeBits(Entry);
    // The code is only consumed once its extra bits are at hand too.
    const unsigned ExtraBits = RepeatExtraBits(Symbol);
    if (!NeedBits(Record, Block, CodeBits + ExtraBits)) return kInflateBufError;
    DropBits(Block, CodeBits);
    const unsigned Repeat = RepeatBase(Symbol) + TakeBits(Block, ExtraBits);
    if (!PutCodeLengths(Block, Symbol, Repeat, Total)) return kInflateDataError;
  }
  return kInflateOk;
}

// Builds the literal/length and distance tables of a dynamic block from its code lengths.
int BuildDynamicTables(TBlockDecoder& Block, TInflateVariant Variant) {
  const unsigned VariantIndex = Variant == TInflateVariant::ivDeflate64 ? 1 : 0;
  std::uint32_t Used = 0;
  TTableRef LitLen;
  // Both codes get root tables of fixed width (see InflateTables.h), so an empty code is told by
  // its lengths.
  const auto Empty = [&Block](unsigned From, unsigned Count) {
    for (unsigned I = From; I < From + Count; ++I) {
      if (Block.Lengths[I] != 0) return false;
    }
    return true;
  };
  int Result = BuildDecodeTable(Block.Lengths, Block.LitCount, kLitLenMaps[VariantIndex].data(),
                                kLitLenRootBits, Block.Pool, kDynamicPoolSize, Used, LitLen, true);
  if (Result == kInflateMemError) return Result;
  if (Result != kInflateOk || Empty(0, Block.LitCount)) return kInflateDataError;
  TTableRef Dist;
  Result = BuildDecodeTable(Block.Lengths + Block.LitCount, Block.DistCount,
                            kDistMaps[VariantIndex].data(), kDistRootBits, Block.Pool,
                            kDynamicPoolSize, Used, Dist, true);
  if (Result == kInflateMemError) return Result;
  if (Result != kInflateOk) return kInflateDataError;
  // No distance code is fine only for a block without length symbols.
  if (Block.LitCount > 257 && Empty(Block.LitCount, Block.DistCount)) return kInflateDataError;
  StartCodes(Block, Block.Pool + LitLen.Start, LitLen.RootBits, Block.Pool + Dist.Start,
             Dist.RootBits);
  return kInflateOk;
}

}  // namespace

void ResetBlocks(TBlockDecoder& Block, bool ClearWindow) {
  Block.Mode = TBlockMode::bmType;
  Block.Last = false;
  Block.BitBuf = 0;
  Block.BitCount = 0;
  Block.Read = Block.Window;
  Block.Write = Block.Window;
  Block.CheckValue = kAdler32Start;
  if (ClearWindow && Block.WindowDirty) {
    std::memset(Block.Window, 0, static_cast<std::size_t>(Block.WindowEnd - Block.Window));
    Block.WindowDirty = false;
  }
}

int RunBlocks(TInflateRecord& Record, TInflateState& State) {
  TBlockDecoder& Block = State.Blocks;
  for (;;) {
    switch (Block.Mode) {
      case TBlockMode::bmType: {
        if (!NeedBits(Record, Block, 3)) return kInflateBufError;
        const unsigned Header = TakeBits(Block, 3);
        Block.Last = (Header & 1) != 0;
        switch (Header >> 1) {
          case btStored:
            DropBits(Block, Block.BitCount & 7);
            Block.Mode = TBlockMode::bmStoredLens;
            break;
          case btFixed: {
            const TFixedTables& Fixed = FixedTablesFor(State.Variant);
            StartCodes(Block, Fixed.Pool.data() + Fixed.LitLen.Start, Fixed.LitLen.RootBits,
                       Fixed.Pool.data() + Fixed.Dist.Start, Fixed.Dist.RootBits);
            Block.Mode = TBlockMode::bmCodes;
            break;
          }
          case btDynamic:
            Block.Mode = TBlockMode::bmTableDesc;
            break;
          default:
            return Fail(Block);
        }
        break;
      }
      case TBlockMode::bmStoredLens: {
        if (!NeedBits(Record, Block, 32)) return kInflateBufError;
        const std::uint32_t Lens = TakeBits(Block, 32);
        const std::uint32_t Len = Lens & 0xFFFF;
        if ((Lens >> 16) != (~Len & 0xFFFF)) return Fail(Block);
        Block.StoredLeft = Len;
        Block.Mode = Len != 0 ? TBlockMode::bmStoredCopy : AfterBlock(Block);
        break;
      }
      case TBlockMode::bmStoredCopy: {
        if (Record.AvailIn == 0) return kInflateBufError;
        const std::size_t Space = WindowMakeRoom(Record, Block);
        if (Space == 0) return kInflateBufError;
        std::size_t Count = Block.StoredLeft;
        if (Count > Record.AvailIn) Count = Record.AvailIn;
        if (Count > Space) Count = Space;
        std::memcpy(Block.Write, Record.NextIn, Count);
        Block.Write += Count;
        Block.WindowDirty = true;
        Record.NextIn += Count;
        Record.AvailIn -= static_cast<std::uint32_t>(Count);
        Record.TotalIn += Count;
        Block.StoredLeft -= static_cast<std::uint32_t>(Count);
        if (Block.StoredLeft == 0) Block.Mode = AfterBlock(Block);
        break;
      }
      case TBlockMode::bmTableDesc: {
        if (!NeedBits(Record, Block, 14)) return kInflateBufError;
        const std::uint32_t Descriptor = TakeBits(Block, 14);
        const unsigned Hlit = Descriptor & 0x1F;
        const unsigned Hdist = (Descriptor >> 5) & 0x1F;
        const unsigned Hclen = Descriptor >> 10;
        if (State.Variant == TInflateVariant::ivDeflate && (Hlit > 29 || Hdist > 29)) {
          return Fail(Block);
        }
        Block.LitCount = 257 + Hlit;
        Block.DistCount = 1 + Hdist;
        Block.CodeLenCount = 4 + Hclen;
        Block.Index = 0;
        std::memset(Block.Lengths, 0, kCodeLengthSymbols);
        Block.Mode = TBlockMode::bmCodeLenLens;
        [[fallthrough]];
      }
      case TBlockMode::bmCodeLenLens: {
        while (Block.Index < Block.CodeLenCount) {
          if (!NeedBits(Record, Block, 3)) return kInflateBufError;
          Block.Lengths[kCodeLengthOrder[Block.Index++]] =
              static_cast<std::uint8_t>(TakeBits(Block, 3));
        }
        std::uint32_t Used = 0;
        const int Result = BuildDecodeTable(Block.Lengths, kCodeLengthSymbols,
                                            kCodeLengthMap.data(), kCodeLengthRootBits, Block.Pool,
                                            kDynamicPoolSize, Used, Block.CodeLenTable);
        if (Result == kInflateMemError) return Result;
        if (Result != kInflateOk || Block.CodeLenTable.RootBits == 0) return Fail(Block);
        Block.Index = 0;
        Block.Mode = TBlockMode::bmCodeLens;
        [[fallthrough]];
      }
      case TBlockMode::bmCodeLens: {
        const int Read = ReadCodeLengths(Record, Block);
        if (Read == kInflateDataError) return Fail(Block);
        if (Read != kInflateOk) return Read;
        const int Built = BuildDynamicTables(Block, State.Variant);
        if (Built == kInflateDataError) return Fail(Block);
        if (Built != kInflateOk) return Built;
        Block.Mode = TBlockMode::bmCodes;
        [[fallthrough]];
      }
      case TBlockMode::bmCodes: {
        const int Result = RunCodes(Record, Block);
        if (Result == kInflateDataError) return Fail(Block);
        if (Result != kInflateStreamEnd) return Result;
        Block.Mode = AfterBlock(Block);
        break;
      }
      case TBlockMode::bmDrain:
        // Fewer than 8 bits are ever left over (see InflateBits.h): nothing to give back.
        WindowFlush(Record, Block);
        if (Block.Read != Block.Write) return kInflateBufError;
        Block.Mode = TBlockMode::bmDone;
        [[fallthrough]];
      case TBlockMode::bmDone:
        return kInflateStreamEnd;
      case TBlockMode::bmBad:
        return kInflateDataError;
    }
  }
}

}  // namespace ruvevid::inflate
