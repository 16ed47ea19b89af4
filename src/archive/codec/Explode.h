#pragma once
// Method 6 (imploded): literals and matches into a 4096- or 8192-byte dictionary, coded with two
// or three Shannon-Fano trees (literals, when present; lengths; distances) whose descriptions lead
// the compressed data.

#include <array>
#include <cstdint>

#include "archive/codec/LegacyInput.h"
#include "archive/codec/LegacyOutput.h"

namespace ruvevid {

// A binary decode tree in an array of nodes: a child value at or below the leaf limit is a leaf
// (the symbol itself); a larger one is an inner node, taken downward from the root. The root is the
// last node.
template <int LeafCount>
class TImplodeTree {
 public:
  static constexpr int kLeafLimit = LeafCount - 1;
  static constexpr int kNodeCount = 2 * LeafCount;
  static constexpr int kRoot = kNodeCount - 1;
  static constexpr int kEmpty = -1;

  void Clear() {
    for (auto& Node : FNodes) Node = {kEmpty, kEmpty};
    FNextInner = kRoot - 1;
  }

  enum class TInsertResult {
    Inserted,
    RunsIntoLeaf,  // the code's path meets a leaf (or needs an inner node when none is left)
    SlotTaken,     // the code's final slot already holds a symbol
  };

  // Adds Value under the Length-bit Code, most significant bit first (the left child for a 0).
  TInsertResult InsertCode(int Value, int Length, int Code);

  static constexpr bool IsLeaf(int Node) { return Node <= kLeafLimit; }
  int Child(int Node, int Bit) const { return FNodes[Node][Bit]; }

 private:
  std::array<std::array<std::int32_t, 2>, kNodeCount> FNodes{};
  int FNextInner = kRoot - 1;
};

class TImplodeTables {
 public:
  // Bit 1 of the entry's flags: an 8192-byte dictionary; bit 2: three trees.
  explicit TImplodeTables(std::uint16_t Flags);

  // Reads the trees and decodes the stream. False when the trees could not be built (reported
  // with 25293), else true.
  bool Decode(TLegacyContext& Context, TLegacyInput& Input, TLegacyOutput& Output,
              std::int64_t UnpackedSize);

  int TreeCount() const { return FTreeCount; }
  int DictionarySize() const { return FDictionarySize; }

 private:
  struct TSortEntry {
    std::uint8_t BitLength = 0;
    std::uint8_t Value = 0;
    std::uint16_t Code = 0;
  };

  bool ReadTrees(TLegacyContext& Context, TLegacyInput& Input);
  template <int LeafCount>
  bool ReadTree(TLegacyContext& Context, TLegacyInput& Input, TImplodeTree<LeafCount>& Tree);
  // The symbol at the end of the walk from the root, one bit per step; -1 when the input ends
  // inside the code or the walk meets an empty child (reported with 25293).
  template <int LeafCount>
  int DecodeTreeSymbol(TLegacyContext& Context, TLegacyInput& Input,
                       const TImplodeTree<LeafCount>& Tree);

  int FTreeCount = 2;  // also the minimum match length
  int FDictionarySize = 4096;
  TImplodeTree<256> FLiteralTree;
  TImplodeTree<64> FLengthTree;
  TImplodeTree<64> FDistanceTree;
  // A description may define no more codes than its tree has leaves.
  std::array<TSortEntry, 256> FSortArray{};
};

}  // namespace ruvevid
