#pragma once
// Methods 2 to 5 (reduced with compression factor 1 to 4): bytes coded through a follower set of
// up to 32 bytes per preceding byte, then expanded: 144 (0x90) introduces a copy from a 4096-byte
// dictionary, 144 followed by 0 stands for 144 itself.

#include <array>
#include <cstdint>

#include "archive/codec/LegacyInput.h"
#include "archive/codec/LegacyOutput.h"

namespace ruvevid {

class TReduceTables {
 public:
  static constexpr int kSetCapacity = 32;
  static constexpr int kDictionarySize = 4096;
  static constexpr std::uint8_t kMarker = 144;

  // Decodes the stream of an entry of method 2, 3, 4 or 5.
  void Decode(TLegacyContext& Context, TLegacyInput& Input, TLegacyOutput& Output, int Method,
              std::int64_t UnpackedSize);

  // Bits of a follower index for a set of Count bytes (Count 1 to 32).
  static constexpr int IndexBits(int Count) {
    if (Count <= 2) return 1;
    if (Count <= 4) return 2;
    if (Count <= 8) return 3;
    if (Count <= 16) return 4;
    if (Count <= 32) return 5;
    return 6;
  }

 private:
  // The follower sets, read for the byte values 255 down to 0. False (after the report) when a
  // count exceeds the 32 bytes of a set or the input ends inside the sets.
  bool ReadFollowerSets(TLegacyContext& Context, TLegacyInput& Input);

  // The expansion of one byte of the follower-coded stream.
  void ExpandStep(TLegacyOutput& Output, std::uint8_t Byte);

  // What ExpandStep waits for.
  enum class TExpandState : std::uint8_t {
    Literal,   // a byte to output, or the marker 144
    Marker,    // after 144: 0 for a single 144, else V (length in its low bits, distance above)
    Length,    // the length was the factor's mask: a byte to add to it
    Distance,  // the low byte of the distance; then the copy
  };

  std::array<std::array<std::uint8_t, kSetCapacity>, 256> FSets{};
  std::array<std::uint8_t, 256> FSetCounts{};
  TExpandState FState = TExpandState::Literal;
  int FFactor = 1;  // 1 to 4
  int FLengthMask = 0x7F;
  int FV = 0;  // the byte after the marker
  int FLength = 0;
};

}  // namespace ruvevid
