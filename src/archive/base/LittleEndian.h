#pragma once
// Little-endian field readers and writers for on-disk records. Records are always read field by
// field from bytes; no packed structure is ever cast over a buffer.

#include <cstddef>
#include <cstdint>

namespace ruvevid {

constexpr std::uint16_t GetLE16(const std::uint8_t* P) {
  return static_cast<std::uint16_t>(P[0] | (P[1] << 8));
}

constexpr std::uint32_t GetLE32(const std::uint8_t* P) {
  return static_cast<std::uint32_t>(P[0]) | (static_cast<std::uint32_t>(P[1]) << 8) |
         (static_cast<std::uint32_t>(P[2]) << 16) | (static_cast<std::uint32_t>(P[3]) << 24);
}

constexpr std::uint64_t GetLE64(const std::uint8_t* P) {
  return static_cast<std::uint64_t>(GetLE32(P)) |
         (static_cast<std::uint64_t>(GetLE32(P + 4)) << 32);
}

constexpr void PutLE16(std::uint8_t* P, std::uint16_t Value) {
  P[0] = static_cast<std::uint8_t>(Value);
  P[1] = static_cast<std::uint8_t>(Value >> 8);
}

constexpr void PutLE32(std::uint8_t* P, std::uint32_t Value) {
  for (std::size_t I = 0; I < 4; ++I) P[I] = static_cast<std::uint8_t>(Value >> (8 * I));
}

constexpr void PutLE64(std::uint8_t* P, std::uint64_t Value) {
  for (std::size_t I = 0; I < 8; ++I) P[I] = static_cast<std::uint8_t>(Value >> (8 * I));
}

}  // namespace ruvevid
