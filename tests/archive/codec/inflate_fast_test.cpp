// The fast path of the inflate decoder: match copies of every short distance against a byte-wise
// copy, and hand-built matches placed where the fast path (not the byte-wise general modes) meets
// them: long literal stretches around them leave input and window margins on both sides.

#include <gtest/gtest.h>

#include <random>

#include "InflateTestSupport.h"
#include "archive/codec/InflateCopy.h"
#include "archive/codec/InflateTables.h"
#include "archive/codec/InflateWindow.h"

namespace ruvevid::test {
namespace {

constexpr TInflateVariant kDeflate = TInflateVariant::ivDeflate;
constexpr TInflateVariant kDeflate64 = TInflateVariant::ivDeflate64;

struct TCopyCase {
  std::size_t Distance;
  std::size_t Length;
};

class InflateCopyTest : public ::testing::TestWithParam<TCopyCase> {};

// The copy repeats the bytes Distance back exactly as a byte-wise copy does, and writes nothing
// before the target or beyond its allowed overshoot.
TEST_P(InflateCopyTest, MatchesAByteWiseCopy) {
  const auto [Distance, Length] = GetParam();
  std::mt19937 Random(static_cast<std::uint32_t>(Distance * 1000 + Length));
  TBytes Buffer(64 + Length + inflate::kCopyOvershoot + 64);
  for (std::uint8_t& Byte : Buffer) Byte = static_cast<std::uint8_t>(Random());
  TBytes Expected = Buffer;
  for (std::size_t I = 0; I < Length; ++I) Expected[64 + I] = Expected[64 + I - Distance];
  inflate::CopyMatchFast(Buffer.data() + 64, Distance, Length);
  EXPECT_TRUE(std::equal(Buffer.begin(), Buffer.begin() + 64 + static_cast<std::ptrdiff_t>(Length),
                         Expected.begin()));
  const std::size_t Untouched = 64 + Length + inflate::kCopyOvershoot;
  EXPECT_TRUE(std::equal(Buffer.begin() + static_cast<std::ptrdiff_t>(Untouched), Buffer.end(),
                         Expected.begin() + static_cast<std::ptrdiff_t>(Untouched)));
}

std::vector<TCopyCase> CopyCases() {
  std::vector<TCopyCase> Cases;
  for (std::size_t Distance = 1; Distance <= 40; ++Distance) {
    for (std::size_t Length : {3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 100, 258}) {
      Cases.push_back({Distance, Length});
    }
  }
  return Cases;
}

INSTANTIATE_TEST_SUITE_P(Distances, InflateCopyTest, ::testing::ValuesIn(CopyCases()),
                         [](const auto& Info) {
                           return "D" + std::to_string(Info.param.Distance) + "L" +
                                  std::to_string(Info.param.Length);
                         });

// Root tables of exact width, as the fast path indexes them with constant masks: every index
// decodes to the symbol whose bit-reversed code it starts with, or to an invalid code.
struct TRootCase {
  const char* Name;
  std::vector<std::uint8_t> Lengths;
  std::vector<int> Expected;  // the symbol of index 0, 1, 2, ... (cycling); -1: invalid
  int Result;
};

class InflateExactRootTest : public ::testing::TestWithParam<TRootCase> {};

TEST_P(InflateExactRootTest, FillsTheWholeRoot) {
  const TRootCase& Case = GetParam();
  constexpr unsigned kRoot = 8;
  std::vector<inflate::TTableEntry> Pool(1u << kRoot, 0xFFFFFFFFu);
  std::vector<inflate::TTableEntry> Symbols(Case.Lengths.size());
  for (unsigned Symbol = 0; Symbol < Symbols.size(); ++Symbol) {
    Symbols[Symbol] = inflate::MakeEntry(inflate::kEntryLiteral, Symbol);
  }
  std::uint32_t Used = 0;
  inflate::TTableRef Table;
  ASSERT_EQ(inflate::BuildDecodeTable(
                Case.Lengths.data(), static_cast<unsigned>(Case.Lengths.size()), Symbols.data(),
                kRoot, Pool.data(), static_cast<std::uint32_t>(Pool.size()), Used, Table, true),
            Case.Result);
  EXPECT_EQ(Table.RootBits, kRoot);
  EXPECT_EQ(Used, 1u << kRoot);
  for (std::uint32_t Index = 0; Index < Pool.size(); ++Index) {
    const inflate::TTableEntry Entry = Pool[Index];
    const int Want = Case.Expected[Index % Case.Expected.size()];
    if (Want < 0) {
      EXPECT_EQ(Entry & inflate::kEntryKindMask, inflate::kEntryInvalid) << Index;
      continue;
    }
    ASSERT_NE(Entry & inflate::kEntryLiteral, 0u) << Index;
    EXPECT_EQ(inflate::EntryValue(Entry), static_cast<unsigned>(Want)) << Index;
    EXPECT_EQ(inflate::EntryUsed(Entry), Case.Lengths[static_cast<std::size_t>(Want)]) << Index;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, InflateExactRootTest,
    ::testing::Values(TRootCase{"Empty", {0, 0, 0}, {-1}, kInflateOk},
                      TRootCase{"SingleOneBitCode", {0, 1}, {1, -1}, kInflateOk},
                      TRootCase{"TwoOneBitCodes", {1, 1}, {0, 1}, kInflateOk},
                      // Codes 0, 10, 11 read first bit first: index bits 0, 01, 11.
                      TRootCase{"OneAndTwoBits", {1, 2, 2}, {0, 1, 0, 2}, kInflateOk}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// A fixed block: Before literals, one match, After literals, end of block.
struct TMatchCase {
  const char* Name;
  TInflateVariant Variant;
  int WindowBits;
  std::size_t Before;  // literals before the match
  unsigned LengthSymbol;
  std::uint32_t LengthExtra;
  unsigned LengthExtraBits;
  unsigned DistSymbol;
  std::uint32_t DistExtra;
  unsigned DistExtraBits;
  std::size_t Length;    // the match's length (0: the stream is invalid)
  std::size_t Distance;  // and its distance
};

constexpr std::size_t kAfter = 300;

TBytes Literals(std::size_t Count, std::uint32_t Seed) {
  std::mt19937 Random(Seed);
  TBytes Bytes(Count);
  for (std::uint8_t& Byte : Bytes) Byte = static_cast<std::uint8_t>('a' + Random() % 26);
  return Bytes;
}

TBytes MatchStream(const TMatchCase& Case) {
  TBitWriter Writer;
  Writer.Bits(1, 1);
  Writer.Bits(1, 2);
  for (std::uint8_t Byte : Literals(Case.Before, 1)) PutFixedLitLen(Writer, Byte);
  PutFixedLitLen(Writer, Case.LengthSymbol);
  Writer.Bits(Case.LengthExtra, Case.LengthExtraBits);
  PutFixedDist(Writer, Case.DistSymbol);
  Writer.Bits(Case.DistExtra, Case.DistExtraBits);
  for (std::uint8_t Byte : Literals(kAfter, 2)) PutFixedLitLen(Writer, Byte);
  PutFixedLitLen(Writer, 256);
  return Writer.Bytes();
}

TBytes MatchOutput(const TMatchCase& Case) {
  TBytes Out = Literals(Case.Before, 1);
  for (std::size_t I = 0; I < Case.Length; ++I) {
    Out.push_back(Case.Distance > Out.size() ? 0 : Out[Out.size() - Case.Distance]);
  }
  const TBytes After = Literals(kAfter, 2);
  Out.insert(Out.end(), After.begin(), After.end());
  return Out;
}

class InflateFastMatchTest : public ::testing::TestWithParam<TMatchCase> {};

TEST_P(InflateFastMatchTest, DecodesInEveryOutputPiece) {
  const TMatchCase& Case = GetParam();
  const TBytes Stream = MatchStream(Case);
  for (std::size_t OutFeed : {std::size_t{0}, std::size_t{4096}, std::size_t{32768}}) {
    const TInflateOutcome Outcome =
        InflateInPieces(Stream, Case.Variant, Case.WindowBits, 0, OutFeed, 200'000);
    if (Case.Length == 0) {
      EXPECT_EQ(Outcome.Result, kInflateDataError) << OutFeed;
      continue;
    }
    ASSERT_EQ(Outcome.Result, kInflateStreamEnd) << OutFeed;
    EXPECT_EQ(Outcome.Output, MatchOutput(Case)) << OutFeed;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InflateFastMatchTest,
    ::testing::Values(
        TMatchCase{"Run", kDeflate, -15, 300, 284, 30, 5, 0, 0, 0, 257, 1},
        TMatchCase{"Period3", kDeflate, -15, 300, 270, 2, 2, 2, 0, 0, 25, 3},
        TMatchCase{"Period7", kDeflate, -15, 300, 276, 5, 3, 5, 0, 1, 64, 7},
        TMatchCase{"Period12", kDeflate, -15, 300, 280, 9, 4, 6, 3, 2, 124, 12},
        TMatchCase{"Far", kDeflate, -15, 40'000, 285, 0, 0, 29, 8191, 13, 258, 32768},
        TMatchCase{"BeforeTheFirstByte", kDeflate, -15, 300, 260, 0, 0, 17, 0, 7, 6, 385},
        TMatchCase{"Dist30InDeflate", kDeflate, -15, 300, 260, 0, 0, 30, 0, 14, 0, 0},
        TMatchCase{"TooFarForNineBits", kDeflate, -9, 600, 260, 0, 0, 18, 0, 8, 0, 0},
        TMatchCase{"Length285Long", kDeflate64, -15, 300, 285, 4000, 16, 1, 0, 0, 4003, 2},
        TMatchCase{"Length285Longest", kDeflate64, -15, 300, 285, 65535, 16, 3, 0, 0, 65538, 4},
        TMatchCase{"Length285Shortest", kDeflate64, -15, 300, 285, 0, 16, 4, 0, 1, 3, 5},
        TMatchCase{"Dist30InDeflate64", kDeflate64, -15, 40'000, 270, 1, 2, 30, 77, 14, 24,
                   32769 + 77},
        TMatchCase{"Dist31InDeflate64", kDeflate64, -15, 70'000, 284, 0, 5, 31, 16383, 14, 227,
                   65536}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid::test
