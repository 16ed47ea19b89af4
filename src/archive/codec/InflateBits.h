#pragma once
// Bit-buffer helpers of the general (resumable) decoding modes. Bytes are pulled one at a time and
// only when a lookup or a field needs them, so once a symbol or field has been taken fewer than 8
// bits are left in the buffer: no whole byte ever stays behind unused at the end of the stream.

#include <cstdint>

#include "archive/codec/InflateRecord.h"
#include "archive/codec/InflateState.h"
#include "archive/codec/InflateTables.h"

namespace ruvevid::inflate {

inline bool PullByte(TInflateRecord& Record, TBlockDecoder& Block) {
  if (Record.AvailIn == 0) return false;
  Block.BitBuf |= std::uint64_t{*Record.NextIn} << Block.BitCount;
  Block.BitCount += 8;
  ++Record.NextIn;
  --Record.AvailIn;
  ++Record.TotalIn;
  return true;
}

// Makes at least Count bits available; false when the input runs out first.
inline bool NeedBits(TInflateRecord& Record, TBlockDecoder& Block, unsigned Count) {
  while (Block.BitCount < Count) {
    if (!PullByte(Record, Block)) return false;
  }
  return true;
}

inline std::uint32_t PeekBits(const TBlockDecoder& Block, unsigned Count) {
  return static_cast<std::uint32_t>(Block.BitBuf & ((std::uint64_t{1} << Count) - 1));
}

inline void DropBits(TBlockDecoder& Block, unsigned Count) {
  Block.BitBuf >>= Count;
  Block.BitCount -= Count;
}

inline std::uint32_t TakeBits(TBlockDecoder& Block, unsigned Count) {
  const std::uint32_t Value = PeekBits(Block, Count);
  DropBits(Block, Count);
  return Value;
}

// Finds the table entry for the next code without consuming it, pulling bytes only while the
// entry found needs more bits than are at hand. Root-table entries only (no sub-table links).
inline bool PeekRootSymbol(TInflateRecord& Record, TBlockDecoder& Block, const TTableEntry* Table,
                           unsigned RootBits, TTableEntry& Entry) {
  for (;;) {
    Entry = Table[PeekBits(Block, RootBits)];
    if (EntryCodeLength(Entry) <= Block.BitCount) return true;
    if (!PullByte(Record, Block)) return false;
  }
}

// Decodes and consumes the next code (not its extra bits), following a sub-table link. False
// (nothing consumed) when the input runs out first.
inline bool DecodeSymbol(TInflateRecord& Record, TBlockDecoder& Block, const TTableEntry* Table,
                         unsigned RootBits, TTableEntry& Entry) {
  if (!PeekRootSymbol(Record, Block, Table, RootBits, Entry)) return false;
  if ((Entry & kEntryLink) != 0) {
    const TTableEntry* Sub = Table + EntryValue(Entry);
    const unsigned SubBits = EntryCodeBits(Entry);
    for (;;) {
      Entry = Sub[(Block.BitBuf >> RootBits) & ((std::uint64_t{1} << SubBits) - 1)];
      if (RootBits + EntryCodeLength(Entry) <= Block.BitCount) break;
      if (!PullByte(Record, Block)) return false;
    }
    DropBits(Block, RootBits);
  }
  DropBits(Block, EntryCodeLength(Entry));
  return true;
}

}  // namespace ruvevid::inflate
