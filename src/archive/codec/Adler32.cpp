#include "archive/codec/Adler32.h"

namespace ruvevid {

namespace {
constexpr std::uint32_t kModulus = 65521;
// The most bytes that can be summed before the 32-bit sums must be reduced:
// 255 * n * (n + 1) / 2 + (n + 1) * (kModulus - 1) <= 2^32 - 1 holds for n = 5552.
constexpr std::size_t kBlock = 5552;
}  // namespace

std::uint32_t Adler32Update(std::uint32_t Adler, const std::uint8_t* Data, std::size_t Size) {
  std::uint32_t A = Adler & 0xFFFF;
  std::uint32_t B = Adler >> 16;
  while (Size > 0) {
    const std::size_t Take = Size < kBlock ? Size : kBlock;
    for (std::size_t I = 0; I < Take; ++I) {
      A += Data[I];
      B += A;
    }
    A %= kModulus;
    B %= kModulus;
    Data += Take;
    Size -= Take;
  }
  return (B << 16) | A;
}

}  // namespace ruvevid
