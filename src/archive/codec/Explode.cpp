#include "archive/codec/Explode.h"

#include <algorithm>

namespace ruvevid {

namespace {

constexpr int kLengthEscape = 63;  // a length symbol of 63 is followed by 8 more bits of length

}  // namespace

template <int LeafCount>
typename TImplodeTree<LeafCount>::TInsertResult TImplodeTree<LeafCount>::InsertCode(int Value,
                                                                                    int Length,
                                                                                    int Code) {
  int Node = kRoot;
  for (int Bit = Length - 1; Bit > 0; --Bit) {
    if (IsLeaf(Node)) return TInsertResult::RunsIntoLeaf;
    std::int32_t& Slot = FNodes[Node][(Code >> Bit) & 1];
    if (Slot == kEmpty) {
      if (FNextInner <= kLeafLimit) return TInsertResult::RunsIntoLeaf;
      Slot = FNextInner--;
    }
    Node = Slot;
  }
  if (IsLeaf(Node)) return TInsertResult::RunsIntoLeaf;
  std::int32_t& Slot = FNodes[Node][Code & 1];
  if (Slot != kEmpty) return TInsertResult::SlotTaken;
  Slot = Value;
  return TInsertResult::Inserted;
}

TImplodeTables::TImplodeTables(std::uint16_t Flags)
    : FTreeCount((Flags & 0x04) != 0 ? 3 : 2), FDictionarySize((Flags & 0x02) != 0 ? 8192 : 4096) {}

template <int LeafCount>
bool TImplodeTables::ReadTree(TLegacyContext& Context, TLegacyInput& Input,
                              TImplodeTree<LeafCount>& Tree) {
  static_assert(LeafCount <= std::tuple_size_v<decltype(FSortArray)>);
  // The description: a byte with the number of description bytes less one, then per byte a run of
  // (high nibble + 1) codes of bit length (low nibble + 1) for the next values. A description cut
  // short by the end of input, or one that defines more codes than the tree has leaves, is
  // rejected before anything is stored.
  const int DescriptionBytes = Input.ReadBits(8);
  if (DescriptionBytes < 0) {
    Context.ReportError(ecAmbiguousTree);
    return false;
  }
  int Entries = 0;
  for (int I = 0; I <= DescriptionBytes; ++I) {
    const int Description = Input.ReadBits(8);
    const int Run = (Description >> 4) + 1;
    if (Description < 0 || Entries + Run > LeafCount) {
      Context.ReportError(ecAmbiguousTree);
      return false;
    }
    for (int J = 0; J < Run; ++J, ++Entries) {
      FSortArray[Entries] = {static_cast<std::uint8_t>((Description & 0x0F) + 1),
                             static_cast<std::uint8_t>(Entries), 0};
    }
  }

  // By bit length, ties by value; the values were stored ascending, so a stable sort keeps them.
  std::stable_sort(
      FSortArray.begin(), FSortArray.begin() + Entries,
      [](const TSortEntry& A, const TSortEntry& B) { return A.BitLength < B.BitLength; });

  // Codes from the last entry to the first, in 16-bit arithmetic.
  std::uint16_t Code = 0;
  std::uint16_t Increment = 0;
  int LastBitLength = 0;
  for (int I = Entries - 1; I >= 0; --I) {
    TSortEntry& Entry = FSortArray[I];
    Code = static_cast<std::uint16_t>(Code + Increment);
    if (Entry.BitLength != LastBitLength) {
      LastBitLength = Entry.BitLength;
      Increment = static_cast<std::uint16_t>(1u << (16 - LastBitLength));
    }
    Entry.Code = static_cast<std::uint16_t>(Code >> (16 - LastBitLength));
  }

  Tree.Clear();
  for (int I = 0; I < Entries; ++I) {
    const TSortEntry& Entry = FSortArray[I];
    switch (Tree.InsertCode(Entry.Value, Entry.BitLength, Entry.Code)) {
      case TImplodeTree<LeafCount>::TInsertResult::Inserted:
        break;
      case TImplodeTree<LeafCount>::TInsertResult::RunsIntoLeaf:
        Context.ReportError(ecAmbiguousTree);
        return false;
      case TImplodeTree<LeafCount>::TInsertResult::SlotTaken:
        Context.RaiseError(ecAmbiguousTree);
        return false;
    }
  }
  return true;
}

bool TImplodeTables::ReadTrees(TLegacyContext& Context, TLegacyInput& Input) {
  if (FTreeCount == 3 && !ReadTree(Context, Input, FLiteralTree)) return false;
  return ReadTree(Context, Input, FLengthTree) && ReadTree(Context, Input, FDistanceTree);
}

template <int LeafCount>
int TImplodeTables::DecodeTreeSymbol(TLegacyContext& Context, TLegacyInput& Input,
                                     const TImplodeTree<LeafCount>& Tree) {
  // Inner nodes are taken downward and every child is below its parent, so the walk ends within
  // 16 steps.
  int Node = TImplodeTree<LeafCount>::kRoot;
  while (!TImplodeTree<LeafCount>::IsLeaf(Node)) {
    const int Bit = Input.ReadBits(1);
    if (Bit < 0) return -1;
    const int Child = Tree.Child(Node, Bit);
    if (Child == TImplodeTree<LeafCount>::kEmpty) {
      Context.RaiseError(ecAmbiguousTree);
      return -1;
    }
    Node = Child;
  }
  return Node;
}

bool TImplodeTables::Decode(TLegacyContext& Context, TLegacyInput& Input, TLegacyOutput& Output,
                            std::int64_t UnpackedSize) {
  // An empty entry has nothing to decode, whatever compressed bytes it carries.
  if (UnpackedSize <= 0) return true;
  if (!ReadTrees(Context, Input)) return false;

  Output.ResetDictionary(FDictionarySize);
  const int LowBits = FDictionarySize == 8192 ? 7 : 6;
  const int MinMatch = FTreeCount;
  while (Output.OutputCount() < UnpackedSize && !Input.EndOfInput() && !Context.Stopped()) {
    const int Literal = Input.ReadBits(1);
    if (Literal < 0) break;
    if (Literal == 1) {
      const int Byte =
          FTreeCount == 3 ? DecodeTreeSymbol(Context, Input, FLiteralTree) : Input.ReadBits(8);
      if (Byte < 0) break;
      Output.PutDictByte(static_cast<std::uint8_t>(Byte));
      continue;
    }
    const int Low = Input.ReadBits(LowBits);
    if (Low < 0) break;
    const int High = DecodeTreeSymbol(Context, Input, FDistanceTree);
    if (High < 0) break;
    const int Distance = (Low | (High << LowBits)) & (FDictionarySize - 1);
    int Length = DecodeTreeSymbol(Context, Input, FLengthTree);
    if (Length < 0) break;
    if (Length == kLengthEscape) {
      const int Extra = Input.ReadBits(8);
      if (Extra < 0) break;
      Length += Extra;
    }
    Output.CopyFromDictionary(Distance + 1, Length + MinMatch);
  }
  return true;
}

}  // namespace ruvevid
