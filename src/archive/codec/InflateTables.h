#pragma once
// Decoding tables of the inflate decoder: the entry layout, the symbol maps of both variants, the
// canonical-code table builder and the fixed-block tables (built at compile time, one set per
// variant, so nothing is shared or mutable at run time).

#include <array>
#include <cstdint>

#include "archive/codec/InflateResult.h"

namespace ruvevid::inflate {

// One table entry, 32 bits, laid out so that the fast path consumes a symbol together with its
// extra bits in one shift and finds the extra bits' value with one mask and one shift:
//   bits 0-5    bits the entry consumes: the code length (in a sub-table: minus the root bits)
//               plus the extra bits of a length or distance; for a link, the root bits
//   bits 8-11   the code length alone, where the extra bits start; for a link, the sub-table's
//               index bits
//   bits 12-15  the kind: kEntryLiteral, kEntryBase (length or distance), kEntryLink, kEntryEnd
//               (end of block); none of them: invalid code
//   bits 16-31  the literal byte, the length or distance base, or for a link the sub-table's
//               position relative to the start of the root table that holds the link
// The symbol maps below hold the kind, the value and the extra bits (in bits 0-5); the table
// builder adds the code length to both length fields.
using TTableEntry = std::uint32_t;

inline constexpr TTableEntry kEntryLiteral = 0x8000;
inline constexpr TTableEntry kEntryBase = 0x4000;
inline constexpr TTableEntry kEntryLink = 0x2000;
inline constexpr TTableEntry kEntryEnd = 0x1000;
inline constexpr TTableEntry kEntryKindMask = 0xF000;
inline constexpr TTableEntry kEntryInvalid = 0;

constexpr TTableEntry MakeEntry(TTableEntry Kind, unsigned Value, unsigned Used = 0,
                                unsigned CodeBits = 0) {
  return (static_cast<TTableEntry>(Value) << 16) | Kind | (CodeBits << 8) | Used;
}
constexpr unsigned EntryUsed(TTableEntry Entry) {
  return Entry & 0x3F;
}
constexpr unsigned EntryCodeBits(TTableEntry Entry) {
  return (Entry >> 8) & 0xF;
}
constexpr unsigned EntryValue(TTableEntry Entry) {
  return Entry >> 16;
}
constexpr unsigned EntryExtraBits(TTableEntry Entry) {
  return EntryUsed(Entry) - EntryCodeBits(Entry);
}
// The bits that must be at hand before an entry is consumed or followed: its code alone (the
// root bits for a link).
constexpr unsigned EntryCodeLength(TTableEntry Entry) {
  return (Entry & kEntryLink) != 0 ? EntryUsed(Entry) : EntryCodeBits(Entry);
}

inline constexpr unsigned kMaxCodeBits = 15;
inline constexpr unsigned kLitLenSymbols = 288;  // 286 and 287 decode as invalid codes
inline constexpr unsigned kDistSymbols = 32;     // 30 and 31 are invalid in plain deflate
inline constexpr unsigned kCodeLengthSymbols = 19;

// Root bits of the dynamic tables. The first lookup resolves every code up to this length; longer
// codes take one more lookup in a sub-table. 10 and 8 resolve nearly every symbol of real data in
// one step (7 and 6 are the classic choice; they decode the same streams to the same results but
// take the second lookup far more often, see bench/README.md).
inline constexpr unsigned kLitLenRootBits = 10;
inline constexpr unsigned kDistRootBits = 8;
inline constexpr unsigned kCodeLengthRootBits = 7;

// Pool entries one code can need: the root table plus at most one sub-table per symbol, each at
// most 2^(15 - root) entries. A loose bound, but one that no valid code can exceed.
constexpr unsigned PoolBound(unsigned Symbols, unsigned RootBits) {
  return (1u << RootBits) + Symbols * (1u << (kMaxCodeBits - RootBits));
}
// Every dynamic block builds its code-length table, then its literal/length and distance tables,
// from the start of one pool.
inline constexpr unsigned kDynamicPoolSize =
    PoolBound(kLitLenSymbols, kLitLenRootBits) + PoolBound(kDistSymbols, kDistRootBits);
static_assert(PoolBound(kCodeLengthSymbols, kCodeLengthRootBits) <= kDynamicPoolSize);
static_assert(kDynamicPoolSize < 65536, "sub-table links are 16-bit offsets");

// A table inside a pool: where its root table starts and its root bits (0: empty code).
struct TTableRef {
  std::uint32_t Start = 0;
  std::uint32_t RootBits = 0;
};

// Symbol maps: what each symbol decodes to (the code length is added by the builder).
using TLitLenMap = std::array<TTableEntry, kLitLenSymbols>;
using TDistMap = std::array<TTableEntry, kDistSymbols>;

constexpr TLitLenMap MakeLitLenMap(TInflateVariant Variant) {
  constexpr std::uint16_t kBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
  constexpr std::uint8_t kExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  TLitLenMap Map{};
  for (unsigned Symbol = 0; Symbol < 256; ++Symbol) Map[Symbol] = MakeEntry(kEntryLiteral, Symbol);
  Map[256] = MakeEntry(kEntryEnd, 0);
  for (unsigned I = 0; I < 29; ++I) Map[257 + I] = MakeEntry(kEntryBase, kBase[I], kExtra[I]);
  if (Variant == TInflateVariant::ivDeflate64) Map[285] = MakeEntry(kEntryBase, 3, 16);
  Map[286] = kEntryInvalid;
  Map[287] = kEntryInvalid;
  return Map;
}

constexpr TDistMap MakeDistMap(TInflateVariant Variant) {
  TDistMap Map{};
  // Distance codes come in pairs sharing an extra-bit count; each pair doubles the range.
  std::uint32_t Base = 1;
  for (unsigned Symbol = 0; Symbol < kDistSymbols; ++Symbol) {
    const unsigned Extra = Symbol < 2 ? 0 : Symbol / 2 - 1;
    Map[Symbol] = MakeEntry(kEntryBase, Base, Extra);
    Base += 1u << Extra;
  }
  if (Variant == TInflateVariant::ivDeflate) {
    Map[30] = kEntryInvalid;
    Map[31] = kEntryInvalid;
  }
  return Map;
}

constexpr std::array<TTableEntry, kCodeLengthSymbols> MakeCodeLengthMap() {
  std::array<TTableEntry, kCodeLengthSymbols> Map{};
  for (unsigned Symbol = 0; Symbol < kCodeLengthSymbols; ++Symbol) {
    Map[Symbol] = MakeEntry(kEntryLiteral, Symbol);
  }
  return Map;
}

inline constexpr TLitLenMap kLitLenMaps[2] = {MakeLitLenMap(TInflateVariant::ivDeflate),
                                              MakeLitLenMap(TInflateVariant::ivDeflate64)};
inline constexpr TDistMap kDistMaps[2] = {MakeDistMap(TInflateVariant::ivDeflate),
                                          MakeDistMap(TInflateVariant::ivDeflate64)};
inline constexpr std::array<TTableEntry, kCodeLengthSymbols> kCodeLengthMap = MakeCodeLengthMap();

static_assert(EntryValue(kDistMaps[1][30]) == 32769 && EntryValue(kDistMaps[1][31]) == 49153);
static_assert(EntryValue(kDistMaps[0][29]) == 24577 && EntryUsed(kDistMaps[0][29]) == 13);
static_assert(EntryUsed(kLitLenMaps[1][285]) == 16 && EntryUsed(kLitLenMaps[0][285]) == 0);

// Builds the decoding table of one canonical code into Pool, starting at Used.
//   Lengths, Count  the code length of each symbol (0: symbol unused)
//   Symbols         what each symbol decodes to
//   RequestedRoot   root bits wanted; clamped to the shortest and longest code length unless
//                   ExactRoot is set
//   Pool, PoolSize  the entries available; Used is advanced past the new table
//   Table           receives the root table's position and its root bits
//   ExactRoot       the root table gets exactly RequestedRoot bits, whatever the code's lengths,
//                   so that a decoder may index it with a constant mask
// Result: 0; -3 when the code is over-subscribed; -5 when it is incomplete (except a single
// one-bit code, which counts as complete); -4 when the tables do not fit in the pool. Unused code
// space decodes as invalid codes. An empty code (all lengths 0) gives one invalid entry, root 0
// (with ExactRoot: a whole root table of invalid entries that consume nothing).
constexpr int BuildDecodeTable(const std::uint8_t* Lengths, unsigned Count,
                               const TTableEntry* Symbols, unsigned RequestedRoot,
                               TTableEntry* Pool, std::uint32_t PoolSize, std::uint32_t& Used,
                               TTableRef& Table, bool ExactRoot = false) {
  unsigned LengthCount[kMaxCodeBits + 1] = {};
  for (unsigned Symbol = 0; Symbol < Count; ++Symbol) ++LengthCount[Lengths[Symbol]];
  unsigned MaxLen = kMaxCodeBits;
  while (MaxLen > 0 && LengthCount[MaxLen] == 0) --MaxLen;
  Table.Start = Used;
  if (MaxLen == 0) {
    const std::uint32_t Size = ExactRoot ? 1u << RequestedRoot : 1;
    if (Used + Size > PoolSize) return kInflateMemError;
    for (std::uint32_t I = 0; I < Size; ++I) Pool[Used++] = kEntryInvalid;
    Table.RootBits = ExactRoot ? RequestedRoot : 0;
    return kInflateOk;
  }
  unsigned MinLen = 1;
  while (LengthCount[MinLen] == 0) ++MinLen;
  // Invalid root entries claim the clamped root's bits, whatever the table's width.
  unsigned InvalidBits = RequestedRoot;
  if (InvalidBits < MinLen) InvalidBits = MinLen;
  if (InvalidBits > MaxLen) InvalidBits = MaxLen;
  const unsigned Root = ExactRoot ? RequestedRoot : InvalidBits;

  int Left = 1;  // code space left, in codes of the current length
  for (unsigned Len = 1; Len <= kMaxCodeBits; ++Len) {
    Left = Left * 2 - static_cast<int>(LengthCount[Len]);
    if (Left < 0) return kInflateDataError;
  }

  // Symbols in canonical order: by length, then by value.
  unsigned Offset[kMaxCodeBits + 2] = {};
  for (unsigned Len = 1; Len <= kMaxCodeBits; ++Len)
    Offset[Len + 1] = Offset[Len] + LengthCount[Len];
  std::uint16_t Sorted[kLitLenSymbols] = {};
  for (unsigned Symbol = 0; Symbol < Count; ++Symbol) {
    if (Lengths[Symbol] != 0)
      Sorted[Offset[Lengths[Symbol]]++] = static_cast<std::uint16_t>(Symbol);
  }
  const unsigned Coded = Offset[kMaxCodeBits];

  const std::uint32_t RootSize = 1u << Root;
  if (Used + RootSize > PoolSize) return kInflateMemError;
  const std::uint32_t RootStart = Used;
  // A complete code writes every root entry (a code or a link); only an incomplete one leaves
  // entries that must decode as invalid.
  if (Left != 0) {
    for (std::uint32_t I = 0; I < RootSize; ++I) {
      Pool[RootStart + I] = MakeEntry(kEntryInvalid, 0, InvalidBits, InvalidBits);
    }
  }
  Used += RootSize;

  unsigned Remaining[kMaxCodeBits + 1] = {};
  for (unsigned Len = 0; Len <= kMaxCodeBits; ++Len) Remaining[Len] = LengthCount[Len];
  std::uint32_t Code = 0;  // the current canonical code, bit-reversed (first bit lowest)
  std::uint32_t SubPrefix = ~0u;
  std::uint32_t SubStart = 0;
  unsigned SubBits = 0;
  for (unsigned I = 0; I < Coded; ++I) {
    const unsigned Symbol = Sorted[I];
    const unsigned Len = Lengths[Symbol];
    TTableEntry Entry = Symbols[Symbol];
    if (Len <= Root) {
      Entry += Len | (Len << 8);
      for (std::uint32_t Index = Code; Index < RootSize; Index += 1u << Len) {
        Pool[RootStart + Index] = Entry;
      }
    } else {
      const std::uint32_t Prefix = Code & (RootSize - 1);
      if (Prefix != SubPrefix) {
        // Widen the sub-table while the codes still to come would fill it.
        unsigned Width = Len - Root;
        int Room = 1 << Width;
        while (Root + Width < MaxLen) {
          Room -= static_cast<int>(Remaining[Root + Width]);
          if (Room <= 0) break;
          ++Width;
          Room *= 2;
        }
        const std::uint32_t SubSize = 1u << Width;
        if (Used + SubSize > PoolSize) return kInflateMemError;
        SubStart = Used;
        for (std::uint32_t Index = 0; Index < SubSize; ++Index) {
          Pool[SubStart + Index] = MakeEntry(kEntryInvalid, 0, Width, Width);
        }
        Used += SubSize;
        Pool[RootStart + Prefix] = MakeEntry(kEntryLink, SubStart - RootStart, Root, Width);
        SubPrefix = Prefix;
        SubBits = Width;
      }
      const unsigned Drop = Len - Root;
      Entry += Drop | (Drop << 8);
      for (std::uint32_t Index = Code >> Root; Index < (1u << SubBits); Index += 1u << Drop) {
        Pool[SubStart + Index] = Entry;
      }
    }
    --Remaining[Len];
    // Next code of this length, counted in bit-reversed order.
    std::uint32_t Increment = 1u << (Len - 1);
    while ((Code & Increment) != 0) Increment >>= 1;
    Code = Increment != 0 ? (Code & (Increment - 1)) + Increment : 0;
  }
  Table.RootBits = Root;
  if (Left > 0 && MaxLen > 1) return kInflateBufError;
  return kInflateOk;
}

// The fixed-block code: literal/length lengths 8, 9, 7, 8 over 0-143, 144-255, 256-279, 280-287
// and 32 five-bit distance codes. All codes are at most 9 bits, so no sub-tables are needed; the
// root tables have the dynamic blocks' widths all the same, so the fast path's masks are constant.
inline constexpr unsigned kFixedLitLenRootBits = kLitLenRootBits;
inline constexpr unsigned kFixedDistRootBits = kDistRootBits;
inline constexpr unsigned kFixedPoolSize =
    (1u << kFixedLitLenRootBits) + (1u << kFixedDistRootBits);

struct TFixedTables {
  std::array<TTableEntry, kFixedPoolSize> Pool{};
  TTableRef LitLen;
  TTableRef Dist;
};

constexpr TFixedTables MakeFixedTables(TInflateVariant Variant) {
  TFixedTables Fixed{};
  std::uint8_t Lengths[kLitLenSymbols] = {};
  for (unsigned Symbol = 0; Symbol < kLitLenSymbols; ++Symbol) {
    Lengths[Symbol] = Symbol < 144 ? 8 : Symbol < 256 ? 9 : Symbol < 280 ? 7 : 8;
  }
  std::uint32_t Used = 0;
  const unsigned VariantIndex = Variant == TInflateVariant::ivDeflate64 ? 1 : 0;
  int Result = BuildDecodeTable(Lengths, kLitLenSymbols, kLitLenMaps[VariantIndex].data(),
                                kFixedLitLenRootBits, Fixed.Pool.data(), kFixedPoolSize, Used,
                                Fixed.LitLen, true);
  for (unsigned Symbol = 0; Symbol < kDistSymbols; ++Symbol) Lengths[Symbol] = 5;
  Result |=
      BuildDecodeTable(Lengths, kDistSymbols, kDistMaps[VariantIndex].data(), kFixedDistRootBits,
                       Fixed.Pool.data(), kFixedPoolSize, Used, Fixed.Dist, true);
  if (Result != kInflateOk || Used != kFixedPoolSize) throw "fixed tables do not build";
  return Fixed;
}

inline constexpr TFixedTables kFixedTables[2] = {MakeFixedTables(TInflateVariant::ivDeflate),
                                                 MakeFixedTables(TInflateVariant::ivDeflate64)};

constexpr const TFixedTables& FixedTablesFor(TInflateVariant Variant) {
  return kFixedTables[Variant == TInflateVariant::ivDeflate64 ? 1 : 0];
}

}  // namespace ruvevid::inflate
