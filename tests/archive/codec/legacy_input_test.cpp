// The compressed-input reader of the legacy decoders: bit order, the eager fetch of the next byte,
// refills in 32768-byte blocks bounded by the entry's compressed size, deciphering requests, the
// end of input and cancellation.

#include <gtest/gtest.h>

#include <vector>

#include "LegacyHarness.h"
#include "archive/codec/LegacyInput.h"

namespace ruvevid::test {
namespace {

std::vector<std::uint8_t> Counting(std::size_t Size) {
  std::vector<std::uint8_t> Bytes(Size);
  for (std::size_t I = 0; I < Size; ++I) Bytes[I] = static_cast<std::uint8_t>(I * 7 + 3);
  return Bytes;
}

TEST(LegacyInputTest, HandsOutBitsLowestFirstAcrossBytes) {
  TLegacyBench Bench({0xB4, 0x5A, 0xFF});
  TLegacyContext Context(Bench.Io());
  TLegacyInput Input(Context, false, 3);
  EXPECT_EQ(Input.ReadBits(3), 0b100);   // bits 0-2 of 1011'0100
  EXPECT_EQ(Input.ReadBits(4), 0b0110);  // bits 3-6
  EXPECT_EQ(Input.ReadBits(9), 0xB5);    // bit 7 (1), then all of 0x5A above it
  EXPECT_EQ(Input.ReadBits(8), 0xFF);
  EXPECT_EQ(Input.ReadBits(1), -1);
}

TEST(LegacyInputTest, FetchesTheNextByteAsSoonAsOneIsUsedUp) {
  TLegacyBench Bench({0x12, 0x34});
  TLegacyContext Context(Bench.Io());
  TLegacyInput Input(Context, false, 2);
  EXPECT_EQ(Input.ReadBits(8), 0x12);
  // The second byte is already taken: no compressed bytes are left, yet its bits are still there.
  EXPECT_EQ(Input.CompressedBytesLeft(), 0);
  EXPECT_FALSE(Input.EndOfInput());
  EXPECT_EQ(Input.ReadBits(4), 0x4);
  EXPECT_EQ(Input.ReadBits(4), 0x3);
  // Using up the last bits marks the end at once.
  EXPECT_TRUE(Input.EndOfInput());
}

TEST(LegacyInputTest, GivesMinusOneWhenFewerBitsRemainThanWanted) {
  TLegacyBench Bench({0xFF});
  TLegacyContext Context(Bench.Io());
  TLegacyInput Input(Context, false, 1);
  EXPECT_EQ(Input.ReadBits(5), 0x1F);
  EXPECT_EQ(Input.ReadBits(9), -1);
  EXPECT_EQ(Input.ReadBits(1), -1);
  EXPECT_TRUE(Input.EndOfInput());
}

TEST(LegacyInputTest, AnEmptyInputGivesNoBitsAtAll) {
  TLegacyBench Bench({});
  TLegacyContext Context(Bench.Io());
  TLegacyInput Input(Context, false, 0);
  EXPECT_EQ(Input.ReadBits(9), -1);
  EXPECT_TRUE(Input.EndOfInput());
  EXPECT_TRUE(Bench.Run().ReadRequests.empty());
}

TEST(LegacyInputTest, RefillsInBlocksOf32768UpToTheCompressedSize) {
  const std::vector<std::uint8_t> Data = Counting(70000);
  TLegacyBench Bench(Data);
  TLegacyContext Context(Bench.Io());
  TLegacyInput Input(Context, false, 40000);
  for (int I = 0; I < 40000; ++I) ASSERT_EQ(Input.ReadPackedByte(), Data[I]) << I;
  EXPECT_EQ(Input.ReadPackedByte(), -1);
  EXPECT_TRUE(Input.EndOfInput());
  EXPECT_EQ(Bench.Run().ReadRequests, (std::vector<int>{32768, 40000 - 32768}));
}

TEST(LegacyInputTest, EndsWhenTheStreamDeliversNothing) {
  TLegacyBench Bench(Counting(10));
  TLegacyContext Context(Bench.Io());
  TLegacyInput Input(Context, false, 100);  // the header promised more than the stream holds
  for (int I = 0; I < 10; ++I) ASSERT_GE(Input.ReadPackedByte(), 0);
  EXPECT_EQ(Input.ReadPackedByte(), -1);
  EXPECT_TRUE(Input.EndOfInput());
}

TEST(LegacyInputTest, AsksReadBlockToDecipherEncryptedEntries) {
  for (const bool Decrypt : {false, true}) {
    TLegacyBench Bench(Counting(40000));
    TLegacyContext Context(Bench.Io());
    TLegacyInput Input(Context, Decrypt, 40000);
    while (Input.ReadPackedByte() >= 0) {
    }
    ASSERT_EQ(Bench.Run().ReadDecrypt.size(), 2u);
    for (const bool Asked : Bench.Run().ReadDecrypt) EXPECT_EQ(Asked, Decrypt);
  }
}

TEST(LegacyInputTest, ACancelledRunReadsNothing) {
  TLegacyRunOptions Options;
  Options.CancelFromStart = true;
  TLegacyBench Bench(Counting(10), Options);
  TLegacyContext Context(Bench.Io());
  TLegacyInput Input(Context, false, 10);
  EXPECT_EQ(Input.ReadPackedByte(), -1);
  EXPECT_TRUE(Input.EndOfInput());
  EXPECT_EQ(Input.CompressedBytesLeft(), 0);
  EXPECT_TRUE(Bench.Run().ReadRequests.empty());
}

TEST(LegacyInputTest, ACancelDuringAProgressReportStopsTheInputAtTheNextByte) {
  // Stored-like reduce stream: every follower set empty, then plain bytes; 40000 of them.
  TBitWriter Bits;
  for (int Value = 0; Value < 256; ++Value) Bits.Bits(0, 6);
  for (int I = 0; I < 40000; ++I) Bits.Bits(static_cast<std::uint32_t>(I % 97), 8);
  const std::vector<std::uint8_t> Stream = Bits.Bytes();
  TLegacyRunOptions Options;
  Options.CancelAfterFlushes = 1;
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(2, 0, Stream.size(), 40000), Options);
  EXPECT_TRUE(Run.Errors().empty());
  // The byte already in the bit buffer may still come out; nothing after it.
  EXPECT_GE(Run.Output.size(), 32768u);
  EXPECT_LE(Run.Output.size(), 32769u);
}

}  // namespace
}  // namespace ruvevid::test
