#include "archive/codec/Unshrink.h"

#include <bit>

namespace ruvevid {

namespace {

constexpr int kFirstCodeSize = 9;
constexpr int kLastCodeSize = 13;  // 2^13 = 8192 codes
constexpr int kGrowCodeSize = 1;   // control code 256, then 1
constexpr int kPartialClear = 2;   // control code 256, then 2

static_assert(kLastCodeSize <= TLegacyInput::kMaxBits);
static_assert((1 << kLastCodeSize) == TShrinkTables::kCodeCount);

}  // namespace

void TShrinkTables::Insert(TCodeSet& Set, int Code) {
  Set[static_cast<std::size_t>(Code / 64)] |= std::uint64_t{1} << (Code % 64);
}

void TShrinkTables::Remove(TCodeSet& Set, int Code) {
  Set[static_cast<std::size_t>(Code / 64)] &= ~(std::uint64_t{1} << (Code % 64));
}

void TShrinkTables::Reset() {
  for (int Code = 0; Code < kCodeCount; ++Code) {
    FParent[Code] = -1;
    FByte[Code] = Code < 256 ? static_cast<std::uint8_t>(Code) : 0;
    FChildren[Code] = 0;
  }
  FFree = {};
  for (int Code = kFirstFreeCode; Code < kCodeCount; ++Code) Insert(FFree, Code);
  FChildless = FFree;
  FAssigned = {};
  FFreeWord = kFirstFreeCode / 64;
  FDepth = 0;
  FClearMayChange = true;
}

int TShrinkTables::NextFreeIndex() const {
  int Waiting = 0;
  for (const std::uint64_t Word : FFree) Waiting += std::popcount(Word);
  return kCodeCount - Waiting;
}

void TShrinkTables::AddNode(int Parent, std::uint8_t Byte) {
  while (FFreeWord < kWords && FFree[FFreeWord] == 0) ++FFreeWord;
  if (FFreeWord == kWords) return;  // the table is full
  const int Code = FFreeWord * 64 + std::countr_zero(FFree[FFreeWord]);
  Remove(FFree, Code);
  Insert(FAssigned, Code);
  FParent[Code] = Parent;
  FByte[Code] = Byte;
  if (FChildren[Parent]++ == 0 && Parent >= kFirstFreeCode) Remove(FChildless, Parent);
  FClearMayChange = true;
}

void TShrinkTables::PartialClear() {
  if (!FClearMayChange) return;
  FClearMayChange = false;
  // The codes without children as they are now: a parent emptied by this pass stays.
  const TCodeSet Collected = FChildless;
  // The collected codes, assigned or not, are the new free list (a free code that has gained a
  // child meanwhile drops out of it).
  FFree = Collected;
  FFreeWord = kFirstFreeCode / 64;
  for (int Word = 0; Word < kWords; ++Word) {
    std::uint64_t Leaves = Collected[Word] & FAssigned[Word];
    FAssigned[Word] &= ~Leaves;
    while (Leaves != 0) {
      const int Code = Word * 64 + std::countr_zero(Leaves);
      Leaves &= Leaves - 1;
      const int Parent = FParent[Code];
      if (Parent >= 0 && FChildren[Parent] > 0) {
        if (--FChildren[Parent] == 0 && Parent >= kFirstFreeCode) {
          Insert(FChildless, Parent);
          FClearMayChange = true;
        }
      }
      FParent[Code] = -1;
      FByte[Code] = 0;
    }
  }
}

bool TShrinkTables::Push(TLegacyContext& Context, TLegacyOutput& Output, std::uint8_t Byte) {
  if (FDepth >= kStackSize) {
    Output.FlushOutput();
    Context.RaiseError(ecStackOverflow);
    return false;
  }
  FStack[FDepth++] = Byte;
  return true;
}

void TShrinkTables::Decode(TLegacyContext& Context, TLegacyInput& Input, TLegacyOutput& Output,
                           std::int64_t UnpackedSize) {
  int CodeSize = kFirstCodeSize;
  int Code = Input.ReadBits(CodeSize);
  if (Code < 0) {
    // An empty entry may come with no compressed data at all.
    if (UnpackedSize != 0) Context.RaiseError(ecBadBlock);
    return;
  }
  int PreviousCode = Code;
  std::uint8_t PreviousFirst = static_cast<std::uint8_t>(Code & 0xFF);
  Output.PutByte(PreviousFirst);

  while (!Context.Stopped()) {
    Code = Input.ReadBits(CodeSize);
    if (Code < 0) break;

    if (Code == kControlCode) {
      const int Control = Input.ReadBits(CodeSize);
      if (Control == kGrowCodeSize && CodeSize < kLastCodeSize) {
        ++CodeSize;
      } else if (Control == kPartialClear) {
        PartialClear();
      } else {
        // Also a code size beyond 13 bits: no code above 8191 could follow.
        Context.RaiseError(ecBadBlock);
        return;
      }
      continue;
    }
    if (Code >= kCodeCount) {
      Context.RaiseError(ecBadBlock);
      return;
    }

    // Walk the string backwards from its last byte to its first, pushing its bytes.
    FDepth = 0;
    int Walk = Code;
    if (Code >= kFirstFreeCode && !IsAssigned(Code)) {
      // The code being defined by this very step: the previous string plus its own first byte.
      if (!Push(Context, Output, PreviousFirst)) return;
      Walk = PreviousCode;
    }
    while (Walk >= kFirstFreeCode) {
      if (!IsAssigned(Walk)) {
        // A string that leads through a free code has no first byte.
        Context.RaiseError(ecBadBlock);
        return;
      }
      if (!Push(Context, Output, FByte[Walk])) return;
      Walk = FParent[Walk];
    }
    const std::uint8_t First = FByte[Walk];

    Output.PutByte(First);
    while (FDepth > 0) Output.PutByte(FStack[--FDepth]);

    AddNode(PreviousCode, First);
    PreviousCode = Code;
    PreviousFirst = First;
  }
}

}  // namespace ruvevid
