#include "archive/codec/Crc.h"

#include "archive/codec/Crc32Clmul.h"

namespace ruvevid {
namespace {

// Slicing-by-8: kSlice[k][b] is the CRC register after byte b followed by k zero bytes. Derived at
// compile time from the byte table.
using TSliceTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr TSliceTables MakeSliceTables() {
  TSliceTables Tables{};
  Tables[0] = Crc32Table;
  for (std::size_t K = 1; K < 8; ++K) {
    for (std::size_t B = 0; B < 256; ++B) {
      const std::uint32_t Prev = Tables[K - 1][B];
      Tables[K][B] = Crc32Table[Prev & 0xFFu] ^ (Prev >> 8);
    }
  }
  return Tables;
}

constexpr TSliceTables kSlice = MakeSliceTables();

std::uint32_t LoadLE32(const std::uint8_t* P) {
  return static_cast<std::uint32_t>(P[0]) | (static_cast<std::uint32_t>(P[1]) << 8) |
         (static_cast<std::uint32_t>(P[2]) << 16) | (static_cast<std::uint32_t>(P[3]) << 24);
}

}  // namespace

std::uint32_t UpdateCrc32Bytewise(std::uint32_t Crc, const void* Buffer, std::size_t Count) {
  const auto* P = static_cast<const std::uint8_t*>(Buffer);
  for (std::size_t I = 0; I < Count; ++I) Crc = Crc32Step(Crc, P[I]);
  return Crc;
}

std::uint32_t UpdateCrc32Slicing8(std::uint32_t Crc, const void* Buffer, std::size_t Count) {
  const auto* P = static_cast<const std::uint8_t*>(Buffer);
  while (Count >= 8) {
    const std::uint32_t Lo = LoadLE32(P) ^ Crc;
    const std::uint32_t Hi = LoadLE32(P + 4);
    Crc = kSlice[7][Lo & 0xFFu] ^ kSlice[6][(Lo >> 8) & 0xFFu] ^ kSlice[5][(Lo >> 16) & 0xFFu] ^
          kSlice[4][Lo >> 24] ^ kSlice[3][Hi & 0xFFu] ^ kSlice[2][(Hi >> 8) & 0xFFu] ^
          kSlice[1][(Hi >> 16) & 0xFFu] ^ kSlice[0][Hi >> 24];
    P += 8;
    Count -= 8;
  }
  while (Count-- > 0) Crc = Crc32Step(Crc, *P++);
  return Crc;
}

std::uint32_t UpdateCrc32(std::uint32_t Crc, const void* Buffer, std::size_t Count) {
  const auto* P = static_cast<const std::uint8_t*>(Buffer);
  if (Count >= 64 && Crc32HasCarrylessMultiply()) {
    const std::size_t Bulk = Count & ~std::size_t{15};
    Crc = UpdateCrc32Clmul(Crc, P, Bulk);
    P += Bulk;
    Count -= Bulk;
  }
  return UpdateCrc32Slicing8(Crc, P, Count);
}

std::uint32_t UpdateCrc16(std::uint32_t Crc, const void* Buffer, std::size_t Count) {
  const auto* P = static_cast<const std::uint8_t*>(Buffer);
  for (std::size_t I = 0; I < Count; ++I) Crc = Crc16Step(Crc, P[I]);
  return Crc;
}

}  // namespace ruvevid
