// CRC-32 and CRC-16/ARC: known answers, the constant tables, the fast CRC-32 against the reference
// and against zlib on random data of many lengths and alignments, and the AddToCrc protocol.

#include "archive/codec/Crc.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string_view>
#include <vector>

#include "archive/codec/Crc32Clmul.h"

namespace ruvevid {
namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t Count, std::uint32_t Seed) {
  std::mt19937 Gen(Seed);
  std::vector<std::uint8_t> Data(Count);
  for (auto& B : Data) B = static_cast<std::uint8_t>(Gen());
  return Data;
}

std::uint32_t ZlibCrc(const std::uint8_t* Data, std::size_t Count) {
  return static_cast<std::uint32_t>(crc32(0, Data, static_cast<uInt>(Count)));
}

TEST(Crc32, KnownAnswer) {
  constexpr std::string_view Check = "123456789";
  EXPECT_EQ(~UpdateCrc32(kCrc32Start, Check.data(), Check.size()), 0xCBF43926u);
  EXPECT_EQ(~UpdateCrc32Bytewise(kCrc32Start, Check.data(), Check.size()), 0xCBF43926u);
}

TEST(Crc16, KnownAnswer) {
  constexpr std::string_view Check = "123456789";
  EXPECT_EQ(UpdateCrc16(0, Check.data(), Check.size()), 0xBB3Du);
}

TEST(CrcTables, EntriesAreTheCrcOfOneByte) {
  EXPECT_EQ(Crc32Table[1], 0x77073096u);
  EXPECT_EQ(Crc32Table[255], 0x2D02EF8Du);
  EXPECT_EQ(Crc16Table[1], 0xC0C1u);
  EXPECT_EQ(Crc16Table[255], 0x4040u);
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t C32 = i;
    std::uint32_t C16 = i;
    for (int Bit = 0; Bit < 8; ++Bit) {
      C32 = (C32 & 1u) != 0 ? (C32 >> 1) ^ 0xEDB88320u : C32 >> 1;
      C16 = (C16 & 1u) != 0 ? (C16 >> 1) ^ 0xA001u : C16 >> 1;
    }
    ASSERT_EQ(Crc32Table[i], C32) << i;
    ASSERT_EQ(Crc16Table[i], C16) << i;
  }
}

class Crc32AgainstZlib : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Crc32AgainstZlib, EveryAlignment) {
  const std::size_t Length = GetParam();
  const auto Data = RandomBytes(Length + 8, static_cast<std::uint32_t>(Length));
  for (std::size_t Offset = 0; Offset < 8; ++Offset) {
    const std::uint8_t* P = Data.data() + Offset;
    const std::uint32_t Expected = ZlibCrc(P, Length);
    ASSERT_EQ(~UpdateCrc32(kCrc32Start, P, Length), Expected) << "offset " << Offset;
    ASSERT_EQ(~UpdateCrc32Slicing8(kCrc32Start, P, Length), Expected) << "offset " << Offset;
    ASSERT_EQ(~UpdateCrc32Bytewise(kCrc32Start, P, Length), Expected) << "offset " << Offset;
    if (Crc32HasCarrylessMultiply() && Length >= 64 && Length % 16 == 0) {
      ASSERT_EQ(~UpdateCrc32Clmul(kCrc32Start, P, Length), Expected) << "offset " << Offset;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, Crc32AgainstZlib,
                         ::testing::Values(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 63, 64, 65,
                                           79, 80, 95, 96, 127, 128, 129, 143, 144, 191, 192, 255,
                                           256, 1000, 4095, 4096, 32768, 65537, 1 << 20));

TEST(Crc32, SplitFeedsGiveTheWholeResult) {
  const auto Data = RandomBytes(10000, 7);
  const std::uint32_t Whole = UpdateCrc32(kCrc32Start, Data.data(), Data.size());
  for (std::size_t Cut : {0u, 1u, 7u, 8u, 9u, 4999u, 9999u, 10000u}) {
    std::uint32_t Crc = UpdateCrc32(kCrc32Start, Data.data(), Cut);
    Crc = UpdateCrc32(Crc, Data.data() + Cut, Data.size() - Cut);
    EXPECT_EQ(Crc, Whole) << Cut;
  }
}

TEST(Crc32, CarrylessMultiplyTakesAnyStartValue) {
  if (!Crc32HasCarrylessMultiply()) GTEST_SKIP() << "no carry-less multiplication here";
  const auto Data = RandomBytes(4096 + 3, 9);
  for (std::uint32_t Start : {0u, 1u, 0xFFFFFFFFu, 0x80000000u, 0xDEADBEEFu}) {
    EXPECT_EQ(UpdateCrc32Clmul(Start, Data.data() + 3, 4096),
              UpdateCrc32Bytewise(Start, Data.data() + 3, 4096))
        << Start;
  }
}

TEST(AddToCrc, KindSelectsTheAccumulator) {
  constexpr std::string_view Check = "123456789";
  TCrcAccumulators Acc;
  Acc.AddToCrc(kCrcKind32, Check.data(), Check.size());
  EXPECT_EQ(Acc.Crc32 ^ 0xFFFFFFFFu, 0xCBF43926u);
  EXPECT_EQ(Acc.Crc16, 0u);

  TCrcAccumulators Acc16;
  Acc16.AddToCrc(kCrcKind16, Check.data(), Check.size());
  EXPECT_EQ(Acc16.Crc16, 0xBB3Du);
  EXPECT_EQ(Acc16.Crc32, kCrc32Start);
  EXPECT_EQ(Acc16.Value(kCrcKind16), 0xBB3Du);
  EXPECT_EQ(Acc16.Value(kCrcKind32), kCrc32Start);
}

TEST(AddToCrc, OtherKindsChangeNothing) {
  constexpr std::string_view Check = "123456789";
  for (std::uint8_t Kind : {0, 1, 8, 15, 17, 31, 33, 255}) {
    TCrcAccumulators Acc;
    Acc.AddToCrc(Kind, Check.data(), Check.size());
    EXPECT_EQ(Acc.Crc32, kCrc32Start) << int{Kind};
    EXPECT_EQ(Acc.Crc16, 0u) << int{Kind};
  }
}

TEST(AddToCrc, EmptyEntryLeavesTheStartValue) {
  TCrcAccumulators Acc;
  Acc.AddToCrc(kCrcKind32, nullptr, 0);
  EXPECT_EQ(Acc.Crc32, 0xFFFFFFFFu);
  EXPECT_EQ(Acc.Crc32 ^ 0xFFFFFFFFu, 0u);
}

}  // namespace
}  // namespace ruvevid
