// Streams made by zlib at every level and strategy, raw and wrapped, decoded with every input and
// output feed size: the decoder must stop wherever input or output runs out and resume with
// nothing lost, and produce exactly the original bytes.

#include <gtest/gtest.h>

#include <tuple>

#include "InflateTestSupport.h"

namespace ruvevid::test {
namespace {

struct TFeed {
  std::size_t In;
  std::size_t Out;
};

std::string FeedName(const TFeed& Feed) {
  const auto Name = [](std::size_t Size) {
    return Size == 0 ? std::string("whole") : std::to_string(Size);
  };
  return "in" + Name(Feed.In) + "_out" + Name(Feed.Out);
}

const TFeed kFeeds[] = {{1, 1}, {2, 2}, {3, 3}, {7, 7},    {64, 64}, {4096, 4096},
                        {0, 0}, {1, 0}, {0, 1}, {3, 4096}, {4096, 7}};

struct TStrategy {
  const char* Name;
  int Value;
};
const TStrategy kStrategies[] = {{"default", Z_DEFAULT_STRATEGY},
                                 {"filtered", Z_FILTERED},
                                 {"huffman", Z_HUFFMAN_ONLY},
                                 {"rle", Z_RLE},
                                 {"fixed", Z_FIXED}};

const TDataKind kKinds[] = {TDataKind::dkRandom, TDataKind::dkText, TDataKind::dkBinary,
                            TDataKind::dkRuns, TDataKind::dkMixed};

struct TCase {
  std::string Name;
  int WindowBits;
  TBytes Data;
  TBytes Packed;
};

// Every strategy at levels 1, 6 and 9 (and level 0, stored blocks), raw and wrapped, over every
// data kind; 70 KB each (more than the 64 KB window buffer) so that the window wraps and distances
// reach 32 KB back. Made once.
class InflateFeedTest : public ::testing::TestWithParam<TFeed> {
 protected:
  static void SetUpTestSuite() {
    FCases = new std::vector<TCase>;
    for (TDataKind Kind : kKinds) {
      const TBytes Data = MakeData(Kind, 70'000, 11 + static_cast<int>(Kind));
      for (int Level : {0, 1, 6, 9}) {
        for (const TStrategy& Strategy : kStrategies) {
          if (Level == 0 && Strategy.Value != Z_DEFAULT_STRATEGY) continue;
          for (int WindowBits : {-15, 15}) {
            FCases->push_back({"kind " + std::to_string(static_cast<int>(Kind)) + " level " +
                                   std::to_string(Level) + " " + Strategy.Name + " bits " +
                                   std::to_string(WindowBits),
                               WindowBits, Data,
                               ZlibDeflate(Data, Level, Strategy.Value, WindowBits)});
          }
        }
      }
    }
  }
  static void TearDownTestSuite() {
    delete FCases;
    FCases = nullptr;
  }
  static std::vector<TCase>* FCases;
};
std::vector<TCase>* InflateFeedTest::FCases = nullptr;

TEST_P(InflateFeedTest, ZlibStreamsDecodeToTheOriginal) {
  const TFeed Feed = GetParam();
  for (const TCase& Case : *FCases) {
    SCOPED_TRACE(Case.Name);
    ASSERT_FALSE(Case.Packed.empty());
    const TInflateOutcome Outcome =
        InflateInPieces(Case.Packed, TInflateVariant::ivDeflate, Case.WindowBits, Feed.In, Feed.Out,
                        Case.Data.size());
    ASSERT_EQ(Outcome.Result, kInflateStreamEnd);
    ASSERT_EQ(Outcome.Output.size(), Case.Data.size());
    ASSERT_TRUE(Outcome.Output == Case.Data);
    EXPECT_EQ(Outcome.TotalIn, Case.Packed.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Feeds, InflateFeedTest, ::testing::ValuesIn(kFeeds),
                         [](const auto& Info) { return FeedName(Info.param); });

// Every level 0-9 with the default strategy, decoded whole.
class InflateLevelTest : public ::testing::TestWithParam<int> {};

TEST_P(InflateLevelTest, EveryLevelDecodes) {
  const TBytes Data = MakeData(TDataKind::dkMixed, 300'000, 5);
  for (int WindowBits : {-15, 15, -9, 9, -12}) {
    const TBytes Packed = ZlibDeflate(Data, GetParam(), Z_DEFAULT_STRATEGY, WindowBits);
    ASSERT_FALSE(Packed.empty());
    const TInflateOutcome Outcome =
        InflateInPieces(Packed, TInflateVariant::ivDeflate, WindowBits, 0, 0, Data.size());
    ASSERT_EQ(Outcome.Result, kInflateStreamEnd) << WindowBits;
    ASSERT_TRUE(Outcome.Output == Data) << WindowBits;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, InflateLevelTest, ::testing::Range(0, 10));

// Deflate data decodes the same in deflate64 mode as long as it uses neither length symbol 285
// nor distance symbols 30 and 31; zlib's huffman-only streams use neither.
TEST(InflateVariantTest, LiteralOnlyStreamDecodesInBothVariants) {
  const TBytes Data = MakeData(TDataKind::dkText, 50'000);
  const TBytes Packed = ZlibDeflate(Data, 6, Z_HUFFMAN_ONLY, -15);
  for (TInflateVariant Variant : {TInflateVariant::ivDeflate, TInflateVariant::ivDeflate64}) {
    const TInflateOutcome Outcome = InflateInPieces(Packed, Variant, -15, 0, 0, Data.size());
    ASSERT_EQ(Outcome.Result, kInflateStreamEnd);
    EXPECT_TRUE(Outcome.Output == Data);
  }
}

TEST(InflateEmptyTest, EmptyInputGivesZeroBytes) {
  const TBytes Packed = ZlibDeflate({}, 6, Z_DEFAULT_STRATEGY, -15);
  const TInflateOutcome Outcome = InflateInPieces(Packed, TInflateVariant::ivDeflate, -15, 0, 0);
  EXPECT_EQ(Outcome.Result, kInflateStreamEnd);
  EXPECT_TRUE(Outcome.Output.empty());
}

// Input after the end of the stream is left unconsumed, to the last whole byte.
TEST(InflateEndTest, StopsRightAfterTheLastCompressedByte) {
  const TBytes Data = MakeData(TDataKind::dkText, 100'000);
  TBytes Packed = ZlibDeflate(Data, 9, Z_DEFAULT_STRATEGY, -15);
  const std::size_t StreamSize = Packed.size();
  Packed.insert(Packed.end(), {0xDE, 0xAD, 0xBE, 0xEF, 1,  2,  3,  4,  5,  6,  7,  8,
                               9,    10,   11,   12,   13, 14, 15, 16, 17, 18, 19, 20});
  for (const TFeed& Feed : kFeeds) {
    const TInflateOutcome Outcome =
        InflateInPieces(Packed, TInflateVariant::ivDeflate, -15, Feed.In, Feed.Out, Data.size());
    ASSERT_EQ(Outcome.Result, kInflateStreamEnd) << FeedName(Feed);
    EXPECT_EQ(Outcome.TotalIn, StreamSize) << FeedName(Feed);
    EXPECT_TRUE(Outcome.Output == Data) << FeedName(Feed);
  }
}

// After DecoderReset the same record decodes a new stream; the window starts from zeros again.
TEST(InflateResetTest, ResetDecodesANewStream) {
  const TBytes First = MakeData(TDataKind::dkBinary, 80'000, 1);
  const TBytes Second = MakeData(TDataKind::dkText, 60'000, 2);
  const TBytes PackedFirst = ZlibDeflate(First, 6, Z_DEFAULT_STRATEGY, -15);
  const TBytes PackedSecond = ZlibDeflate(Second, 6, Z_DEFAULT_STRATEGY, -15);
  TInflateRecord Record;
  ASSERT_EQ(DecoderInit(Record, TInflateVariant::ivDeflate, -15), kInflateOk);
  for (const auto& [Packed, Data] :
       {std::tie(PackedFirst, First), std::tie(PackedSecond, Second)}) {
    TBytes Out(Data.size() + 10);
    Record.NextIn = Packed.data();
    Record.AvailIn = static_cast<std::uint32_t>(Packed.size());
    Record.NextOut = Out.data();
    Record.AvailOut = static_cast<std::uint32_t>(Out.size());
    ASSERT_EQ(DecoderRun(Record), kInflateStreamEnd);
    EXPECT_EQ(Record.TotalOut, Data.size());
    EXPECT_EQ(Record.TotalIn, Packed.size());
    Out.resize(Data.size());
    EXPECT_TRUE(Out == Data);
    EXPECT_EQ(DecoderRun(Record), kInflateStreamEnd) << "done stays done";
    ASSERT_EQ(DecoderReset(Record), kInflateOk);
    EXPECT_EQ(Record.TotalIn, 0u);
    EXPECT_EQ(Record.TotalOut, 0u);
  }
  EXPECT_EQ(DecoderFree(Record), kInflateOk);
  EXPECT_EQ(Record.State, nullptr);
}

// The Adler-32 of the wrapped form is left in the record's check field.
TEST(InflateWrappedTest, CheckFieldHoldsTheAdler32) {
  const TBytes Data = MakeData(TDataKind::dkText, 20'000);
  const TBytes Packed = ZlibDeflate(Data, 6, Z_DEFAULT_STRATEGY, 15);
  TInflateRecord Record;
  ASSERT_EQ(DecoderInit(Record, TInflateVariant::ivDeflate, 15), kInflateOk);
  TBytes Out(Data.size());
  Record.NextIn = Packed.data();
  Record.AvailIn = static_cast<std::uint32_t>(Packed.size());
  Record.NextOut = Out.data();
  Record.AvailOut = static_cast<std::uint32_t>(Out.size());
  ASSERT_EQ(DecoderRun(Record), kInflateStreamEnd);
  EXPECT_EQ(Record.Check,
            adler32(adler32(0, nullptr, 0), Data.data(), static_cast<uInt>(Data.size())));
  DecoderFree(Record);
}

}  // namespace
}  // namespace ruvevid::test
