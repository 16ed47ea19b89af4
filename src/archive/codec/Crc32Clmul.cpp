#include "archive/codec/Crc32Clmul.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RUVEVID_CRC_CLMUL 1
#endif

namespace ruvevid {

#if RUVEVID_CRC_CLMUL

bool Crc32HasCarrylessMultiply() {
  static const bool Has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return Has;
}

namespace {

// Folding constants for the reflected polynomial 0xEDB88320 (each is x^n mod P, bit-reflected and
// shifted left by one): kR1/kR2 fold across 512 bits, kR3/kR4 across 128 bits, kR5 takes 64 bits to
// 32; P' and U are the polynomial with its top bit and the Barrett constant floor(x^64 / P).
constexpr long long kR1 = 0x154442BD4LL;
constexpr long long kR2 = 0x1C6E41596LL;
constexpr long long kR3 = 0x1751997D0LL;
constexpr long long kR4 = 0x0CCAA009ELL;
constexpr long long kR5 = 0x163CD6124LL;
constexpr long long kPolyP = 0x1DB710641LL;
constexpr long long kPolyU = 0x1F7011641LL;

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const std::uint8_t* P) {
  return _mm_loadu_si128(static_cast<const __m128i*>(static_cast<const void*>(P)));
}

// X folded across the distance the constants K = (lo, hi) stand for.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i X, __m128i K) {
  return _mm_xor_si128(_mm_clmulepi64_si128(X, K, 0x00), _mm_clmulepi64_si128(X, K, 0x11));
}

}  // namespace

__attribute__((target("pclmul,sse2"))) std::uint32_t UpdateCrc32Clmul(std::uint32_t Crc,
                                                                      const std::uint8_t* Data,
                                                                      std::size_t Count) {
  __m128i X1 = _mm_xor_si128(Load(Data), _mm_cvtsi32_si128(static_cast<int>(Crc)));
  __m128i X2 = Load(Data + 16);
  __m128i X3 = Load(Data + 32);
  __m128i X4 = Load(Data + 48);
  Data += 64;
  Count -= 64;

  const __m128i K12 = _mm_set_epi64x(kR2, kR1);
  while (Count >= 64) {
    X1 = _mm_xor_si128(Fold(X1, K12), Load(Data));
    X2 = _mm_xor_si128(Fold(X2, K12), Load(Data + 16));
    X3 = _mm_xor_si128(Fold(X3, K12), Load(Data + 32));
    X4 = _mm_xor_si128(Fold(X4, K12), Load(Data + 48));
    Data += 64;
    Count -= 64;
  }

  const __m128i K34 = _mm_set_epi64x(kR4, kR3);
  X1 = _mm_xor_si128(Fold(X1, K34), X2);
  X1 = _mm_xor_si128(Fold(X1, K34), X3);
  X1 = _mm_xor_si128(Fold(X1, K34), X4);
  while (Count >= 16) {
    X1 = _mm_xor_si128(Fold(X1, K34), Load(Data));
    Data += 16;
    Count -= 16;
  }

  // 128 bits to 64: the low half times kR4, plus the high half.
  X1 = _mm_xor_si128(_mm_clmulepi64_si128(X1, K34, 0x10), _mm_srli_si128(X1, 8));
  // 64 bits to 32, appending 32 zero bits.
  const __m128i Mask32 = _mm_set_epi32(0, 0, 0, -1);
  const __m128i K5 = _mm_set_epi64x(0, kR5);
  X1 = _mm_xor_si128(_mm_srli_si128(X1, 4),
                     _mm_clmulepi64_si128(_mm_and_si128(X1, Mask32), K5, 0x00));
  // Barrett reduction to the 32-bit remainder.
  const __m128i KPU = _mm_set_epi64x(kPolyU, kPolyP);
  __m128i T = _mm_clmulepi64_si128(_mm_and_si128(X1, Mask32), KPU, 0x10);
  T = _mm_clmulepi64_si128(_mm_and_si128(T, Mask32), KPU, 0x00);
  X1 = _mm_xor_si128(X1, T);
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(X1, 4)));
}

#else

bool Crc32HasCarrylessMultiply() {
  return false;
}

std::uint32_t UpdateCrc32Clmul(std::uint32_t Crc, const std::uint8_t*, std::size_t) {
  return Crc;
}

#endif

}  // namespace ruvevid
