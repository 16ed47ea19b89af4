#include "archive/codec/Unreduce.h"

namespace ruvevid {

namespace {

constexpr int kSetCountBits = 6;
constexpr int kMinCopy = 3;

static_assert(TReduceTables::IndexBits(1) == 1 && TReduceTables::IndexBits(2) == 1);
static_assert(TReduceTables::IndexBits(3) == 2 && TReduceTables::IndexBits(5) == 3);
static_assert(TReduceTables::IndexBits(16) == 4 && TReduceTables::IndexBits(17) == 5);
static_assert(TReduceTables::IndexBits(32) == 5);
// The farthest copy: (255 >> 4) * 256 + 255 + 1 with factor 4 reaches the whole dictionary.
static_assert((255 >> 4) * 256 + 255 + 1 == TReduceTables::kDictionarySize);

}  // namespace

bool TReduceTables::ReadFollowerSets(TLegacyContext& Context, TLegacyInput& Input) {
  for (int Value = 255; Value >= 0; --Value) {
    const int Count = Input.ReadBits(kSetCountBits);
    if (Count < 0 || Count > kSetCapacity) {
      Context.RaiseError(ecBadBlock);
      return false;
    }
    FSetCounts[Value] = static_cast<std::uint8_t>(Count);
    for (int I = 0; I < Count; ++I) {
      const int Byte = Input.ReadBits(8);
      if (Byte < 0) {
        Context.RaiseError(ecBadBlock);
        return false;
      }
      FSets[Value][I] = static_cast<std::uint8_t>(Byte);
    }
  }
  return true;
}

void TReduceTables::ExpandStep(TLegacyOutput& Output, std::uint8_t Byte) {
  switch (FState) {
    case TExpandState::Literal:
      if (Byte == kMarker) {
        FState = TExpandState::Marker;
      } else {
        Output.PutDictByte(Byte);
      }
      return;
    case TExpandState::Marker:
      if (Byte == 0) {
        Output.PutDictByte(kMarker);
        FState = TExpandState::Literal;
        return;
      }
      FV = Byte;
      FLength = FV & FLengthMask;
      FState = FLength == FLengthMask ? TExpandState::Length : TExpandState::Distance;
      return;
    case TExpandState::Length:
      FLength += Byte;
      FState = TExpandState::Distance;
      return;
    case TExpandState::Distance: {
      const int Distance = (FV >> (8 - FFactor)) * 256 + Byte + 1;
      Output.CopyFromDictionary(Distance, FLength + kMinCopy);
      FState = TExpandState::Literal;
      return;
    }
  }
}

void TReduceTables::Decode(TLegacyContext& Context, TLegacyInput& Input, TLegacyOutput& Output,
                           int Method, std::int64_t UnpackedSize) {
  // An empty entry has nothing to decode, whatever compressed bytes it carries.
  if (UnpackedSize <= 0) return;
  FFactor = Method - 1;
  if (FFactor < 1 || FFactor > 4) return;
  FLengthMask = 0xFF >> FFactor;
  if (!ReadFollowerSets(Context, Input)) return;

  Output.ResetDictionary(kDictionarySize);
  FState = TExpandState::Literal;
  std::uint8_t Last = 0;
  while (Output.OutputCount() < UnpackedSize && !Input.EndOfInput() && !Context.Stopped()) {
    const int Count = FSetCounts[Last];
    int Byte;
    if (Count == 0) {
      Byte = Input.ReadBits(8);
    } else {
      const int Literal = Input.ReadBits(1);
      if (Literal < 0) break;
      if (Literal == 1) {
        Byte = Input.ReadBits(8);
      } else {
        const int Index = Input.ReadBits(IndexBits(Count));
        if (Index < 0) break;
        if (Index >= Count) {
          Context.RaiseError(ecBadBlock);
          return;
        }
        Byte = FSets[Last][Index];
      }
    }
    // The input ended inside a byte: nothing more to expand.
    if (Byte < 0) break;
    ExpandStep(Output, static_cast<std::uint8_t>(Byte));
    Last = static_cast<std::uint8_t>(Byte);
  }
}

}  // namespace ruvevid
