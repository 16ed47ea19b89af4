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
  static constexpr int kNoFreeCode = kCodeCount;  // the next-free index when the table is full
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

  int NextFreeIndex() const { return FNextFree; }
  int ParentOf(int Code) const { return FParent[Code]; }
  int ChildrenOf(int Code) const { return FChildren[Code]; }

 private:
  // Pushes a byte of the string being decoded; false (after the report) when the stack is full.
  bool Push(TLegacyContext& Context, TLegacyOutput& Output, std::uint8_t Byte);

  std::array<std::int32_t, kCodeCount> FParent{};  // -1: no parent (a literal, 256 or a free code)
  std::array<std::uint8_t, kCodeCount> FByte{};    // the last byte of the code's string
  std::array<std::uint16_t, kCodeCount> FChildren{};
  // The free codes: the entry for next-free index k is FFreeCodes[k - 257].
  std::array<std::uint16_t, kCodeCount - kFirstFreeCode> FFreeCodes{};
  int FNextFree = kFirstFreeCode;
  std::array<std::uint8_t, kStackSize> FStack{};
  int FDepth = 0;
  // False when a PartialClear now would find the table exactly as the last one left it (nothing
  // was added since and the last one emptied no parent): then it is skipped.
  bool FClearMayChange = true;
};

}  // namespace ruvevid
