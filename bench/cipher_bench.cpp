// Deciphering throughput of the traditional zip cipher within one entry.
//
//   cipher_bench [megabytes=64] [rounds=5]
//
// One entry of random bytes is deciphered in 32 KB blocks, as the extractor's block reads hand
// them over, by TZipCipher::DecipherBuffer and, for comparison, by a loop that calls DecipherByte
// for every byte. Both results are first compared with a plain byte-at-a-time reference of the
// cipher written out here. Rates are megabytes (10^6 bytes) per second of thread CPU time, the
// median of the rounds; the two ways run round by round in turn.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "archive/codec/Crc.h"
#include "archive/codec/ZipCipher.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t kBlock = 32768;
constexpr const char* kPassword = "label-maker 2.1";

// The cipher as the format describes it, one byte and one table step at a time.
TBytes ReferenceDecipher(const TBytes& Cipher) {
  std::uint32_t Keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
  const auto Update = [&Keys](std::uint8_t Plain) {
    Keys[0] = ruvevid::Crc32Table[(Keys[0] ^ Plain) & 0xFFu] ^ (Keys[0] >> 8);
    Keys[1] = (Keys[1] + (Keys[0] & 0xFFu)) * 134775813u + 1u;
    Keys[2] = ruvevid::Crc32Table[(Keys[2] ^ (Keys[1] >> 24)) & 0xFFu] ^ (Keys[2] >> 8);
  };
  for (const char C : std::string(kPassword)) Update(static_cast<std::uint8_t>(C));
  TBytes Plain(Cipher.size());
  for (std::size_t I = 0; I < Cipher.size(); ++I) {
    const std::uint32_t T = (Keys[2] & 0xFFFFu) | 2u;
    Plain[I] = static_cast<std::uint8_t>(Cipher[I] ^ ((T * (T ^ 1u)) >> 8));
    Update(Plain[I]);
  }
  return Plain;
}

double CpuSeconds() {
  timespec Now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Now);
  return static_cast<double>(Now.tv_sec) + static_cast<double>(Now.tv_nsec) * 1e-9;
}

void DecipherBlocks(TBytes& Data) {
  ruvevid::TZipCipher Decipher;
  Decipher.CipherInit(kPassword);
  for (std::size_t At = 0; At < Data.size(); At += kBlock) {
    Decipher.DecipherBuffer(Data.data() + At, std::min(kBlock, Data.size() - At));
  }
}

void DecipherBytes(TBytes& Data) {
  ruvevid::TZipCipher Decipher;
  Decipher.CipherInit(kPassword);
  for (std::uint8_t& Byte : Data) Byte = Decipher.DecipherByte(Byte);
}

// Deciphers a copy of Cipher with Way; the copy is made outside the timing.
template <typename TWay>
double TimedMBps(const TBytes& Cipher, TWay Way, TBytes& Data) {
  Data = Cipher;
  const double Start = CpuSeconds();
  Way(Data);
  return static_cast<double>(Data.size()) / 1e6 / (CpuSeconds() - Start);
}

double Median(std::vector<double> Rates) {
  std::sort(Rates.begin(), Rates.end());
  return Rates[Rates.size() / 2];
}

}  // namespace

int main(int Argc, char** Argv) {
  const std::size_t Megabytes = Argc > 1 ? std::strtoul(Argv[1], nullptr, 10) : 64;
  const int Rounds = Argc > 2 ? std::max(1, std::atoi(Argv[2])) : 5;
  TBytes Cipher(Megabytes << 20);
  std::mt19937 Random(7);
  for (std::uint8_t& Byte : Cipher) Byte = static_cast<std::uint8_t>(Random());

  const TBytes Expected = ReferenceDecipher(Cipher);
  TBytes Data;
  TimedMBps(Cipher, DecipherBlocks, Data);
  const bool BlocksRight = Data == Expected;
  TimedMBps(Cipher, DecipherBytes, Data);
  if (!BlocksRight || Data != Expected) {
    std::fprintf(stderr, "cipher_bench: deciphered bytes differ from the reference\n");
    return 1;
  }
  std::vector<double> Blocks;
  std::vector<double> Bytes;
  for (int Round = 0; Round < Rounds; ++Round) {
    Blocks.push_back(TimedMBps(Cipher, DecipherBlocks, Data));
    Bytes.push_back(TimedMBps(Cipher, DecipherBytes, Data));
  }
  std::printf("%zu bytes in %zu-byte blocks, %d rounds, median\n", Cipher.size(), kBlock, Rounds);
  std::printf("DecipherBuffer          %8.1f MB/s\n", Median(Blocks));
  std::printf("DecipherByte per byte   %8.1f MB/s\n", Median(Bytes));
  return 0;
}
