#pragma once
// The records of the zip reader: header kinds met, directory entries, the entry being extracted,
// and the per-archive state that the end-record search leaves for the directory walks.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "archive/base/ZipHeaders.h"

namespace ruvevid {

enum class THeaderType : std::uint8_t {
  htLocal,
  htCentral,
  htEnding,
  htLocator,
  htEnding64,
  htNone
};

// A set of THeaderType.
class THeaderTypeState {
 public:
  constexpr THeaderTypeState() = default;
  constexpr THeaderTypeState(std::initializer_list<THeaderType> Types) {
    for (THeaderType Type : Types) Include(Type);
  }
  constexpr bool Contains(THeaderType Type) const { return (FBits & Bit(Type)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr void Include(THeaderType Type) { FBits = static_cast<std::uint8_t>(FBits | Bit(Type)); }
  constexpr void Exclude(THeaderType Type) {
    FBits = static_cast<std::uint8_t>(FBits & ~Bit(Type));
  }
  constexpr void Clear() { FBits = 0; }
  constexpr std::uint8_t Bits() const { return FBits; }
  constexpr THeaderTypeState& operator+=(THeaderType Type) {
    Include(Type);
    return *this;
  }
  friend constexpr bool operator==(THeaderTypeState, THeaderTypeState) = default;

 private:
  static constexpr std::uint8_t Bit(THeaderType Type) {
    return static_cast<std::uint8_t>(1U << static_cast<unsigned>(Type));
  }
  std::uint8_t FBits = 0;
};

// Readable form such as "[htLocal, htCentral, htEnding]", for test messages.
std::string ToString(THeaderTypeState State);

// One listed entry.
struct TZipDirEntry {
  std::uint32_t ExternalAttr = 0;  // Windows attribute bits in the low byte; 0x10 directory
  std::uint16_t DiskNumber = 1;    // 1-based volume holding the local header
  std::uint64_t HeaderOffset = 0;  // local header offset in that volume, OffsetAdjust included
};

// The entry being extracted.
struct TZipEntryInfo {
  std::uint16_t Flags = 0;       // general purpose flags; bit 0 encrypted
  std::uint32_t Method = 0;      // compression method
  std::uint64_t PackedSize = 0;  // includes the 12-byte encryption header
  std::uint64_t UnpackedSize = 0;
};

// High words given by the last extra field walked (0 when no record gives one). Sizes and offsets
// are 48-bit: the 32-bit header field plus this word << 32.
struct TExtraHighWords {
  std::uint16_t PackedSize = 0;
  std::uint16_t UnpackedSize = 0;
  std::uint16_t HeaderOffset = 0;
};

// What the end-record search and type detection know about the archive last examined.
struct TZipFormatState {
  THeaderTypeState HeaderState;
  TZipHeaderBuffers Headers;
  std::int64_t FirstHeaderOffset = -1;  // where the walks start; -1 while unknown
  std::int64_t CommentStart = 0;        // just past the fixed part of the end record
  std::uint32_t OffsetAdjust = 0;       // added to every local-header offset of the directory
  TExtraHighWords HighWords;
};

}  // namespace ruvevid
