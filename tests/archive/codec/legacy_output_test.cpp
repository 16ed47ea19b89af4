// The output side of the legacy decoders: 32768-byte blocks through WriteBlock with a progress
// report each, the closing flush, write failures, and copies out of the circular dictionary.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "LegacyHarness.h"
#include "archive/codec/LegacyOutput.h"

namespace ruvevid::test {
namespace {

// Stored-like reduce stream (every follower set empty, then plain bytes).
std::vector<std::uint8_t> PlainReduceStream(int Count) {
  TBitWriter Bits;
  for (int Value = 0; Value < 256; ++Value) Bits.Bits(0, 6);
  for (int I = 0; I < Count; ++I) Bits.Bits(static_cast<std::uint32_t>(I % 97), 8);
  return Bits.Bytes();
}

TEST(LegacyOutputTest, WritesFull32768ByteBlocksAndTheRestAtTheClosingFlush) {
  TLegacyBench Bench({});
  TLegacyContext Context(Bench.Io());
  TLegacyOutput Output(Context);
  for (int I = 0; I < 70000; ++I) Output.PutByte(static_cast<std::uint8_t>(I));
  EXPECT_EQ(Bench.Run().WriteRequests, (std::vector<int>{32768, 32768}));
  Output.FlushOutput();
  Output.FlushOutput();  // nothing left: no further write
  EXPECT_EQ(Bench.Run().WriteRequests, (std::vector<int>{32768, 32768, 70000 - 65536}));
  EXPECT_EQ(Bench.Run().Flushed, 70000);
  EXPECT_EQ(Bench.Run().FlushReports, 3);
  EXPECT_EQ(Output.OutputCount(), 70000);
  ASSERT_EQ(Bench.Run().Output.size(), 70000u);
  EXPECT_EQ(Bench.Run().Output[69999], static_cast<std::uint8_t>(69999));
}

TEST(LegacyOutputTest, AFailedWriteRaises25136OnceAndIsNotRetried) {
  const std::vector<std::uint8_t> Stream = PlainReduceStream(40000);
  TLegacyRunOptions Options;
  Options.FailingWrite = 0;
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(2, 0, Stream.size(), 40000), Options);
  EXPECT_EQ(Run.Raised, (std::vector<int>{ecWriteError}));
  EXPECT_EQ(Run.WriteRequests, (std::vector<int>{32768}));
  EXPECT_TRUE(Run.Output.empty());
}

TEST(LegacyOutputTest, AFailedClosingFlushRaises25136) {
  const std::vector<std::uint8_t> Stream = PlainReduceStream(40000);
  TLegacyRunOptions Options;
  Options.FailingWrite = 1;
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(2, 0, Stream.size(), 40000), Options);
  EXPECT_EQ(Run.Raised, (std::vector<int>{ecWriteError}));
  EXPECT_EQ(Run.WriteRequests, (std::vector<int>{32768, 40000 - 32768}));
  EXPECT_EQ(Run.Output.size(), 32768u);
}

TEST(LegacyOutputTest, AShortWriteIsLeftToWriteBlockToReport) {
  const std::vector<std::uint8_t> Stream = PlainReduceStream(40000);
  TLegacyRunOptions Options;
  Options.ShortWrite = 0;
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(2, 0, Stream.size(), 40000), Options);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(Run.Output.size(), 39999u);
  EXPECT_EQ(Run.Flushed, 40000);  // progress counts what was handed over
}

TEST(LegacyOutputTest, AFailedWriteInACancelledRunEndsTheEntry) {
  const std::vector<std::uint8_t> Stream = PlainReduceStream(100000);
  TLegacyRunOptions Options;
  Options.FailingWrite = 0;
  Options.CancelFromStart = true;
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(2, 0, Stream.size(), 100000), Options);
  EXPECT_TRUE(Run.Output.empty());
  EXPECT_LE(Run.WriteRequests.size(), 1u);
}

// Byte-at-a-time model of the dictionary copy.
struct TModel {
  std::vector<std::uint8_t> Out;
  std::vector<std::uint8_t> Dictionary;
  int Position = 0;
  explicit TModel(int Size) : Dictionary(static_cast<std::size_t>(Size), 0) {}
  void Put(std::uint8_t Byte) {
    Out.push_back(Byte);
    Dictionary[static_cast<std::size_t>(Position)] = Byte;
    Position = (Position + 1) % static_cast<int>(Dictionary.size());
  }
  void Copy(int Back, int Length) {
    const int Size = static_cast<int>(Dictionary.size());
    int Source = ((Position - Back) % Size + Size) % Size;
    for (int I = 0; I < Length; ++I) {
      Put(Dictionary[static_cast<std::size_t>(Source)]);
      Source = (Source + 1) % Size;
    }
  }
};

class LegacyDictionaryTest : public ::testing::TestWithParam<int> {};

TEST_P(LegacyDictionaryTest, CopiesMatchTheByteAtATimeModel) {
  const int Size = GetParam();
  TLegacyBench Bench({});
  TLegacyContext Context(Bench.Io());
  TLegacyOutput Output(Context);
  Output.ResetDictionary(Size);
  TModel Model(Size);
  std::mt19937 Random(static_cast<unsigned>(Size));
  // Overlapping copies (back 1), copies from before the first byte (zeros), copies of the whole
  // dictionary, wraps at its end and at the 32 KB output block.
  for (int Step = 0; Step < 3000; ++Step) {
    if (Random() % 3 == 0) {
      const auto Byte = static_cast<std::uint8_t>(Random());
      Output.PutDictByte(Byte);
      Model.Put(Byte);
    } else {
      const int Back = Random() % 4 == 0 ? 1 + static_cast<int>(Random() % 4)
                                         : 1 + static_cast<int>(Random() % Size);
      const int Length = 1 + static_cast<int>(Random() % 330);
      Output.CopyFromDictionary(Back, Length);
      Model.Copy(Back, Length);
    }
  }
  Output.FlushOutput();
  EXPECT_EQ(Bench.Run().Output, Model.Out);
}

INSTANTIATE_TEST_SUITE_P(Sizes, LegacyDictionaryTest, ::testing::Values(4096, 8192));

}  // namespace
}  // namespace ruvevid::test
