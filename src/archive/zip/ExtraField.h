#pragma once
// The extra field after a local or central header: a run of records (2-byte tag, 2-byte size,
// data). Two tags are read: 0x0001, zip64 extended information, and 0x0064, the size-extension
// record. Both give the high words that make sizes and offsets 48-bit.

#include <cstdint>

#include "archive/base/ZipRecords.h"

namespace ruvevid {

class TStream32;

inline constexpr std::uint16_t kZip64ExtraTag = 0x0001;
inline constexpr std::uint16_t kSizeExtensionExtraTag = 0x0064;

// Walks Length bytes of extra field from the stream's position; the stream then stands right
// after the field. A zip64 record replaces the header's 32-bit fields that hold 0xFFFFFFFF by the
// low 32 bits of its values. Fields are read only from inside their record.
TExtraHighWords ReadExtraField(TStream32& Stream, std::uint16_t Length, TLocalHeader& Header);
TExtraHighWords ReadExtraField(TStream32& Stream, std::uint16_t Length, TCentralHeader& Header);

// The same walks over bytes already in memory.
TExtraHighWords ParseExtraField(const std::uint8_t* Field, std::size_t Length,
                                TLocalHeader& Header);
TExtraHighWords ParseExtraField(const std::uint8_t* Field, std::size_t Length,
                                TCentralHeader& Header);

// A 48-bit value from its 32-bit header field and its high word.
constexpr std::uint64_t Join48(std::uint32_t Low, std::uint16_t High) {
  return static_cast<std::uint64_t>(Low) | (static_cast<std::uint64_t>(High) << 32);
}

}  // namespace ruvevid
