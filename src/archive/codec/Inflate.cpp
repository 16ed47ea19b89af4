#include "archive/codec/Inflate.h"

#include <cstdlib>
#include <new>

#include "archive/codec/Adler32.h"
#include "archive/codec/InflateBlocks.h"
#include "archive/codec/InflateState.h"
#include "archive/codec/InflateWindow.h"

namespace ruvevid {

namespace {

using inflate::TInflateState;
using inflate::TStreamMode;

void* EngineAllocate(void* /*Context*/, std::uint32_t Items, std::uint32_t Size) {
  return std::calloc(Items, Size);
}

void EngineRelease(void* /*Context*/, void* Block) {
  std::free(Block);
}

void ReleaseState(TInflateRecord& Record) {
  inflate::TInflateState* State = Record.State;
  if (State == nullptr) return;
  if (State->Blocks.Window != nullptr) Record.Release(Record.Context, State->Blocks.Window);
  if (State->Blocks.Pool != nullptr) Record.Release(Record.Context, State->Blocks.Pool);
  State->~TInflateState();
  Record.Release(Record.Context, State);
  Record.State = nullptr;
}

bool TakeByte(TInflateRecord& Record, std::uint32_t& Byte) {
  if (Record.AvailIn == 0) return false;
  Byte = *Record.NextIn++;
  --Record.AvailIn;
  ++Record.TotalIn;
  return true;
}

}  // namespace

int DecoderInit(TInflateRecord& Record, TInflateVariant Variant, int WindowBits,
                std::size_t RecordSize) {
  if (RecordSize != sizeof(TInflateRecord)) return kInflateVersionError;
  if (Record.Allocate == nullptr) {
    Record.Allocate = EngineAllocate;
    Record.Context = nullptr;
  }
  if (Record.Release == nullptr) Record.Release = EngineRelease;

  void* Memory = Record.Allocate(Record.Context, 1, sizeof(TInflateState));
  if (Memory == nullptr) return kInflateMemError;
  TInflateState* State = new (Memory) TInflateState{};
  Record.State = State;
  State->Variant = Variant;
  State->Raw = WindowBits < 0;
  unsigned Bits = static_cast<unsigned>(WindowBits < 0 ? -WindowBits : WindowBits);
  unsigned Limit = 15;
  if (Variant == TInflateVariant::ivDeflate64) {
    ++Bits;
    Limit = 16;
  }
  if (Bits < 8 || Bits > Limit) {
    ReleaseState(Record);
    return kInflateStreamError;
  }
  State->WindowBits = Bits;

  inflate::TBlockDecoder& Block = State->Blocks;
  Block.Pool = static_cast<inflate::TTableEntry*>(
      Record.Allocate(Record.Context, inflate::kDynamicPoolSize, sizeof(inflate::TTableEntry)));
  const std::size_t WindowBytes = inflate::WindowBytesFor(Bits);
  Block.Window = static_cast<std::uint8_t*>(Record.Allocate(
      Record.Context, static_cast<std::uint32_t>(WindowBytes + inflate::kWindowSlack), 1));
  if (Block.Pool == nullptr || Block.Window == nullptr) {
    ReleaseState(Record);
    return kInflateMemError;
  }
  Block.WindowEnd = Block.Window + WindowBytes;
  Block.MaxDistance = std::uint32_t{1} << Bits;
  Block.Wrapped = !State->Raw;
  DecoderReset(Record);
  return kInflateOk;
}

int DecoderReset(TInflateRecord& Record) {
  inflate::TInflateState* State = Record.State;
  if (State == nullptr) return kInflateStreamError;
  Record.TotalIn = 0;
  Record.TotalOut = 0;
  Record.Check = kAdler32Start;
  State->Mode = State->Raw ? TStreamMode::smBlocks : TStreamMode::smMethod;
  inflate::ResetBlocks(State->Blocks, true);
  return kInflateOk;
}

int DecoderFree(TInflateRecord& Record) {
  if (Record.State == nullptr) return kInflateStreamError;
  ReleaseState(Record);
  return kInflateOk;
}

int DecoderRun(TInflateRecord& Record) {
  inflate::TInflateState* State = Record.State;
  if (State == nullptr || Record.NextIn == nullptr) return kInflateStreamError;
  const std::uint32_t InBefore = Record.AvailIn;
  const std::uint64_t OutBefore = Record.TotalOut;
  // What a call that has to wait returns: 0 when it moved anything, else -5.
  const auto Waiting = [&] {
    if (State->Blocks.Wrapped) Record.Check = State->Blocks.CheckValue;
    return Record.AvailIn != InBefore || Record.TotalOut != OutBefore ? kInflateOk
                                                                      : kInflateBufError;
  };
  std::uint32_t Byte = 0;
  for (;;) {
    switch (State->Mode) {
      case TStreamMode::smMethod:
        if (!TakeByte(Record, Byte)) return Waiting();
        State->HeaderMethod = Byte;
        if ((Byte & 0x0F) != 8 || (Byte >> 4) + 8 > State->WindowBits) {
          State->Mode = TStreamMode::smBad;
          break;
        }
        State->Mode = TStreamMode::smFlags;
        [[fallthrough]];
      case TStreamMode::smFlags:
        if (!TakeByte(Record, Byte)) return Waiting();
        if (((State->HeaderMethod << 8) + Byte) % 31 != 0) {
          State->Mode = TStreamMode::smBad;
          break;
        }
        State->Mode = (Byte & 0x20) != 0 ? TStreamMode::smDict1 : TStreamMode::smBlocks;
        break;
      case TStreamMode::smDict1:
      case TStreamMode::smDict2:
      case TStreamMode::smDict3:
      case TStreamMode::smDict4:
        if (!TakeByte(Record, Byte)) return Waiting();
        Record.Check = (State->Mode == TStreamMode::smDict1 ? 0 : Record.Check << 8) | Byte;
        if (State->Mode == TStreamMode::smDict4) {
          State->Mode = TStreamMode::smDictNeeded;
          return kInflateNeedDict;
        }
        State->Mode = static_cast<TStreamMode>(static_cast<int>(State->Mode) + 1);
        break;
      case TStreamMode::smDictNeeded:
        State->Mode = TStreamMode::smBad;
        return kInflateStreamError;
      case TStreamMode::smBlocks: {
        const int Result = inflate::RunBlocks(Record, *State);
        if (Result == kInflateDataError) {
          State->Mode = TStreamMode::smBad;
          break;
        }
        if (Result == kInflateMemError) return Result;
        if (Result != kInflateStreamEnd) return Waiting();
        State->ComputedCheck = State->Blocks.CheckValue;
        if (State->Blocks.Wrapped) Record.Check = State->ComputedCheck;
        inflate::ResetBlocks(State->Blocks, false);
        State->Mode = State->Raw ? TStreamMode::smDone : TStreamMode::smCheck1;
        break;
      }
      case TStreamMode::smCheck1:
      case TStreamMode::smCheck2:
      case TStreamMode::smCheck3:
      case TStreamMode::smCheck4:
        if (!TakeByte(Record, Byte)) return Waiting();
        State->ExpectedCheck =
            (State->Mode == TStreamMode::smCheck1 ? 0 : State->ExpectedCheck << 8) | Byte;
        if (State->Mode != TStreamMode::smCheck4) {
          State->Mode = static_cast<TStreamMode>(static_cast<int>(State->Mode) + 1);
          break;
        }
        State->Mode =
            State->ExpectedCheck == State->ComputedCheck ? TStreamMode::smDone : TStreamMode::smBad;
        break;
      case TStreamMode::smDone:
        return kInflateStreamEnd;
      case TStreamMode::smBad:
        return kInflateDataError;
    }
  }
}

}  // namespace ruvevid
