#pragma once
// Positioned reads that never raise: what arrives is counted, a failed seek reads nothing.

#include <cstdint>

namespace ruvevid {

class TStream32;

// Reads up to Count bytes at Offset (negative offsets read nothing); returns the bytes read.
std::int32_t ReadAt(TStream32& Stream, std::int64_t Offset, void* Buffer, std::int32_t Count);
// Reads up to Count bytes from the current position, looping over short reads.
std::int32_t ReadSome(TStream32& Stream, void* Buffer, std::int32_t Count);

}  // namespace ruvevid
