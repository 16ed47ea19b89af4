#pragma once
// Method 1 (shrunk): LZW with codes of 9 to 13 bits, the control code 256 (followed by 1: one bit
// more per code; by 2: PartialClear, which frees every code without children) and a code table
// of 8192 nodes that point to their parent.

#include <array>
#include <cstdint>

#include "archive/codec/LegacyInput.h"
#include "archive/codec/LegacyOutput.h"

namespace ruvevid {

class TShrinkTables {
 public:
  static constexpr int kCodeCount = 8192;  // codes 0 to 8191
  static constexpr int kControlCode = 256;
  static constexpr int kFirstFreeCode = 257;
  static constexpr int kStackSize = 8192;

  TShrinkTables() { Reset(); }

  // Every node without parent, byte i for the codes below 256, no children; the codes 257 to 8191
  // free in ascending order.
  void Reset();

  // Gives the next free code the string of Parent followed by Byte; nothing when the table is full.
  void AddNode(int Parent, std::uint8_t Byte);

  // Frees every code from 257 to 8191 that has no children (leaves and unassigned codes alike);
  // the freed codes are handed out again lowest first. A parent that loses its last child here is
  // freed by the next PartialClear, not by this one.
  void PartialClear();

  bool IsAssigned(int Code) const { return FParent[Code] >= 0; }

  // Decodes the stream: the first code, then codes until the input ends.
  void Decode(TLegacyContext& Context, TLegacyInput& Input, TLegacyOutput& Output,
              std::int64_t UnpackedSize);

  // The next-free index: 8192 less the codes still waiting to be handed out.
  int NextFreeIndex() const;
  int ParentOf(int Code) const { return FParent[Code]; }
  int ChildrenOf(int Code) const { return FChildren[Code]; }

 private:
  // Codes 0 to 8191 as bits; only 257 to 8191 are ever set.
  static constexpr int kWords = kCodeCount / 64;
  using TCodeSet = std::array<std::uint64_t, kWords>;

  static void Insert(TCodeSet& Set, int Code);
  static void Remove(TCodeSet& Set, int Code);
  // Pushes a byte of the string being decoded; false (after the report) when the stack is full.
  bool Push(TLegacyContext& Context, TLegacyOutput& Output, std::uint8_t Byte);

  std::array<std::int32_t, kCodeCount> FParent{};  // -1: no parent (a literal, 256 or a free code)
  std::array<std::uint8_t, kCodeCount> FByte{};    // the last byte of the code's string
  std::array<std::uint16_t, kCodeCount> FChildren{};
  // The free-code list is kept as a set: it only ever holds ascending codes that are handed out
  // lowest first and is rebuilt whole by PartialClear, so "the next entry of the list" is the
  // lowest code of the set. With the other two sets a PartialClear costs a pass over 128 words
  // plus the codes it frees, not a pass over all 8192 codes (a stream of nothing but clears
  // would otherwise cost that much per 18 bits of input).
  TCodeSet FFree{};       // codes waiting in the free list
  TCodeSet FAssigned{};   // codes from 257 up that hold a string
  TCodeSet FChildless{};  // codes from 257 up without children
  int FFreeWord = 0;      // no free code lies in a word below this one
  // False when a PartialClear now would find the table exactly as the last one left it (nothing
  // was added since and the last one emptied no parent): then it is skipped.
  bool FClearMayChange = true;
  std::array<std::uint8_t, kStackSize> FStack{};
  int FDepth = 0;
};

}  // namespace ruvevid
