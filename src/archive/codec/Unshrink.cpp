#include "archive/codec/Unshrink.h"

namespace ruvevid {

namespace {

constexpr int kFirstCodeSize = 9;
constexpr int kLastCodeSize = 13;  // 2^13 = 8192 codes
constexpr int kGrowCodeSize = 1;   // control code 256, then 1
constexpr int kPartialClear = 2;   // control code 256, then 2

static_assert(kLastCodeSize <= TLegacyInput::kMaxBits);
static_assert((1 << kLastCodeSize) == TShrinkTables::kCodeCount);

}  // namespace

void TShrinkTables::Reset() {
  for (int Code = 0; Code < kCodeCount; ++Code) {
    FParent[Code] = -1;
    FByte[Code] = Code < 256 ? static_cast<std::uint8_t>(Code) : 0;
    FChildren[Code] = 0;
  }
  for (int Code = kFirstFreeCode; Code < kCodeCount; ++Code) {
    FFreeCodes[Code - kFirstFreeCode] = static_cast<std::uint16_t>(Code);
  }
  FNextFree = kFirstFreeCode;
  FDepth = 0;
  FClearMayChange = true;
}

void TShrinkTables::AddNode(int Parent, std::uint8_t Byte) {
  if (FNextFree >= kNoFreeCode) return;
  const int Code = FFreeCodes[FNextFree - kFirstFreeCode];
  FParent[Code] = Parent;
  FByte[Code] = Byte;
  ++FNextFree;
  ++FChildren[Parent];
  FClearMayChange = true;
}

void TShrinkTables::PartialClear() {
  if (!FClearMayChange) return;
  // First collect (ascending), then free: a parent emptied by this pass stays.
  std::array<std::uint16_t, kCodeCount - kFirstFreeCode> Collected;
  int Count = 0;
  for (int Code = kFirstFreeCode; Code < kCodeCount; ++Code) {
    if (FChildren[Code] == 0) Collected[Count++] = static_cast<std::uint16_t>(Code);
  }
  bool EmptiedParent = false;
  FNextFree = kNoFreeCode;
  for (int I = Count - 1; I >= 0; --I) {
    const int Code = Collected[I];
    const int Parent = FParent[Code];
    if (Parent >= 0 && FChildren[Parent] > 0) {
      if (--FChildren[Parent] == 0 && Parent >= kFirstFreeCode) EmptiedParent = true;
    }
    FParent[Code] = -1;
    FByte[Code] = 0;
    --FNextFree;
    FFreeCodes[FNextFree - kFirstFreeCode] = static_cast<std::uint16_t>(Code);
  }
  FClearMayChange = EmptiedParent;
}

bool TShrinkTables::Push(TLegacyContext& Context, TLegacyOutput& Output, std::uint8_t Byte) {
  if (FDepth >= kStackSize) {
    Output.FlushOutput();
    Context.RaiseError(kLegacyStackOverflow);
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
    if (UnpackedSize != 0) Context.RaiseError(kLegacyBadBlock);
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
        Context.RaiseError(kLegacyBadBlock);
        return;
      }
      continue;
    }
    if (Code >= kCodeCount) {
      Context.RaiseError(kLegacyBadBlock);
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
        Context.RaiseError(kLegacyBadBlock);
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
