#pragma once
// CRC-32 by carry-less multiplication (PCLMULQDQ): the input is folded 64 bytes at a time and the
// remaining 128 bits are reduced with a Barrett step. Same raw-register convention as UpdateCrc32.

#include <cstddef>
#include <cstdint>

namespace ruvevid {

// True when this processor has carry-less multiplication (checked once).
bool Crc32HasCarrylessMultiply();

// Folds Count bytes into a raw CRC-32 register. Requires Crc32HasCarrylessMultiply(), Count >= 64
// and Count a multiple of 16; any alignment.
std::uint32_t UpdateCrc32Clmul(std::uint32_t Crc, const std::uint8_t* Data, std::size_t Count);

}  // namespace ruvevid
