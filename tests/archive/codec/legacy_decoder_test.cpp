// The per-entry decoder as the method dispatch uses it: which methods it takes, the deciphering
// request of encrypted entries, compressed data delivered in pieces of any size, and a cancelled
// run that meets an error.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LegacyHarness.h"
#include "support/FixtureArchive.h"
#include "support/TestPaths.h"

namespace ruvevid::test {
namespace {

// "abcabbc" in 9-bit shrink codes.
std::vector<std::uint8_t> SmallShrunkStream() {
  TBitWriter Bits;
  for (const int Code : std::initializer_list<int>{'a', 'b', 'c', 257, 258})
    Bits.Bits(static_cast<std::uint32_t>(Code), 9);
  return Bits.Bytes();
}

TEST(LegacyDecoderTest, TakesMethodsOneToSixOnly) {
  for (std::uint32_t Method = 0; Method <= 12; ++Method) {
    EXPECT_EQ(TLegacyDecoder::HandlesMethod(Method), Method >= 1 && Method <= 6) << Method;
  }
  const std::vector<std::uint8_t> Stream = SmallShrunkStream();
  for (const std::uint32_t Method : {0u, 7u, 8u, 9u}) {
    const TLegacyRun Run = RunLegacy(Stream, MakeEntry(Method, 0, Stream.size(), 7));
    EXPECT_FALSE(Run.Handled) << Method;
    EXPECT_TRUE(Run.ReadRequests.empty()) << Method;
    EXPECT_TRUE(Run.WriteRequests.empty()) << Method;
  }
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(1, 0, Stream.size(), 7));
  EXPECT_TRUE(Run.Handled);
  EXPECT_EQ(std::string(Run.Output.begin(), Run.Output.end()), "abcabbc");
}

TEST(LegacyDecoderTest, AnEncryptedEntryIsReadDeciphered) {
  const std::vector<std::uint8_t> Stream = SmallShrunkStream();
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(1, 0x0001, Stream.size(), 7));
  ASSERT_FALSE(Run.ReadDecrypt.empty());
  for (const bool Decrypt : Run.ReadDecrypt) EXPECT_TRUE(Decrypt);
}

TEST(LegacyDecoderTest, ReadsNoFurtherThanTheCompressedSize) {
  std::vector<std::uint8_t> Stream = SmallShrunkStream();
  const std::size_t Size = Stream.size();
  Stream.insert(Stream.end(), 100, 0xAB);  // the next entry's bytes
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(1, 0, Size, 7));
  EXPECT_EQ(Run.ReadRequests, (std::vector<int>{static_cast<int>(Size)}));
  EXPECT_EQ(std::string(Run.Output.begin(), Run.Output.end()), "abcabbc");
}

TEST(LegacyDecoderTest, AStackOverflowInACancelledRunEndsTheEntry) {
  // 257 ends up as its own parent (see the shrink tests); the OnError handler cancels.
  TBitWriter Bits;
  for (const int Code : std::initializer_list<int>{'a', 'b', 257, 256, 2, 'c', 257, 'd', 'e'}) {
    Bits.Bits(static_cast<std::uint32_t>(Code), 9);
  }
  const std::vector<std::uint8_t> Stream = Bits.Bytes();
  TLegacyRunOptions Options;
  Options.CancelOnError = true;
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(1, 0, Stream.size(), 50), Options);
  EXPECT_EQ(Run.Raised, (std::vector<int>{ecStackOverflow}));
  EXPECT_EQ(std::string(Run.Output.begin(), Run.Output.end()), "ababc");
}

TEST(LegacyDecoderTest, RepeatedClearsThatChangeNothingEndQuickly) {
  // A hostile stream of nothing but clears after one literal.
  TBitWriter Bits;
  Bits.Bits('a', 9);
  for (int I = 0; I < 200000; ++I) {
    Bits.Bits(256, 9);
    Bits.Bits(2, 9);
  }
  const std::vector<std::uint8_t> Stream = Bits.Bytes();
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(1, 0, Stream.size(), 1));
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(std::string(Run.Output.begin(), Run.Output.end()), "a");
}

TEST(LegacyDecoderTest, ClearsAfterEveryLiteralCostLittle) {
  // Each clear frees the one string the literal before it defined: a clear must not cost a pass
  // over all 8192 codes.
  TBitWriter Bits;
  for (int I = 0; I < 30000; ++I) {
    Bits.Bits('a' + I % 3, 9);
    Bits.Bits(256, 9);
    Bits.Bits(2, 9);
  }
  const std::vector<std::uint8_t> Stream = Bits.Bytes();
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(1, 0, Stream.size(), 30000));
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(Run.Output.size(), 30000u);
}

struct TFeedCase {
  const char* File;
  int Chunk;
};

class LegacyFeedSizeTest : public ::testing::TestWithParam<TFeedCase> {};

TEST_P(LegacyFeedSizeTest, DecodesTheSameWhateverPiecesTheStreamDelivers) {
  const std::filesystem::path Root = FixturesDir();
  if (Root.empty()) GTEST_SKIP() << "the shared fixtures folder (../shared/fixtures) is absent";
  for (const TFixtureEntry& Entry : ReadFixtureArchive(Root / "zip" / GetParam().File)) {
    if (!TLegacyDecoder::HandlesMethod(Entry.Method)) continue;
    TLegacyRunOptions Options;
    Options.ReadChunk = GetParam().Chunk;
    const TLegacyRun Whole =
        RunLegacy(Entry.Compressed, MakeEntry(Entry.Method, Entry.Flags, Entry.Compressed.size(),
                                              static_cast<std::int64_t>(Entry.UnpackedSize)));
    const TLegacyRun Pieces =
        RunLegacy(Entry.Compressed,
                  MakeEntry(Entry.Method, Entry.Flags, Entry.Compressed.size(),
                            static_cast<std::int64_t>(Entry.UnpackedSize)),
                  Options);
    EXPECT_EQ(Pieces.Output, Whole.Output) << Entry.Name;
    EXPECT_EQ(Pieces.Output.size(), Entry.UnpackedSize) << Entry.Name;
    EXPECT_TRUE(Pieces.Errors().empty()) << Entry.Name;
  }
}

std::vector<TFeedCase> FeedCases() {
  std::vector<TFeedCase> Cases;
  for (const char* File : {"SHRUNK.ZIP", "zip2-legacy-reduce.zip", "imploding-4Kdict-2trees.zip",
                           "zip2-legacy-implode.zip"}) {
    for (const int Chunk : {1, 2, 3, 5, 7, 64, 1000}) Cases.push_back({File, Chunk});
  }
  return Cases;
}

INSTANTIATE_TEST_SUITE_P(Pieces, LegacyFeedSizeTest, ::testing::ValuesIn(FeedCases()),
                         [](const ::testing::TestParamInfo<TFeedCase>& Info) {
                           std::string Name = Info.param.File;
                           for (char& C : Name) {
                             if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
                           }
                           return Name + "_by_" + std::to_string(Info.param.Chunk);
                         });

}  // namespace
}  // namespace ruvevid::test
