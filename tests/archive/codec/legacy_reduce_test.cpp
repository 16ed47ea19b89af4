// Methods 2 to 5 (reduced) on streams built by hand: follower sets empty and in use, the 144-0
// pair, copies with a length equal to the factor's mask, copies from before the first byte, the
// last bits of the final byte, and the rejection of follower sets that do not fit.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "LegacyHarness.h"
#include "archive/codec/Unreduce.h"

namespace ruvevid::test {
namespace {

// Codes bytes through follower sets: each byte is coded for the byte before it.
class TReduceStream {
 public:
  TReduceStream& Set(std::uint8_t Preceding, std::vector<std::uint8_t> Followers) {
    FSets[Preceding] = std::move(Followers);
    return *this;
  }
  TReduceStream& Put(std::initializer_list<int> Bytes) {
    WriteSets();
    for (const int Byte : Bytes) {
      const std::vector<std::uint8_t>& Set = FSets[FLast];
      const auto Found = std::find(Set.begin(), Set.end(), Byte);
      if (Set.empty()) {
        FBits.Bits(static_cast<std::uint32_t>(Byte), 8);
      } else if (Found == Set.end()) {
        FBits.Bits(1, 1);
        FBits.Bits(static_cast<std::uint32_t>(Byte), 8);
      } else {
        FBits.Bits(0, 1);
        FBits.Bits(static_cast<std::uint32_t>(Found - Set.begin()),
                   TReduceTables::IndexBits(static_cast<int>(Set.size())));
      }
      FLast = static_cast<std::uint8_t>(Byte);
    }
    return *this;
  }
  TReduceStream& Text(const std::string& Text) {
    for (const char C : Text) Put({static_cast<unsigned char>(C)});
    return *this;
  }
  std::vector<std::uint8_t> Bytes() {
    WriteSets();
    return FBits.Bytes();
  }
  TBitWriter& Bits() { return FBits; }

 private:
  void WriteSets() {
    if (FSetsWritten) return;
    FSetsWritten = true;
    for (int Value = 255; Value >= 0; --Value) {
      FBits.Bits(static_cast<std::uint32_t>(FSets[Value].size()), 6);
      for (const std::uint8_t Byte : FSets[Value]) FBits.Bits(Byte, 8);
    }
  }

  std::array<std::vector<std::uint8_t>, 256> FSets;
  TBitWriter FBits;
  bool FSetsWritten = false;
  std::uint8_t FLast = 0;
};

std::string AsText(const std::vector<std::uint8_t>& Bytes) {
  return {Bytes.begin(), Bytes.end()};
}

TLegacyRun Unreduce(int Factor, const std::vector<std::uint8_t>& Stream,
                    std::int64_t UnpackedSize) {
  return RunLegacy(
      Stream, MakeEntry(static_cast<std::uint32_t>(Factor + 1), 0, Stream.size(), UnpackedSize));
}

class LegacyReduceTest : public ::testing::TestWithParam<int> {
 protected:
  int Factor() const { return GetParam(); }
  int Mask() const { return 0xFF >> Factor(); }
};

TEST_P(LegacyReduceTest, EmptyFollowerSetsGivePlainBytes) {
  const TLegacyRun Run = Unreduce(Factor(), TReduceStream().Text("hello").Bytes(), 5);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), "hello");
}

TEST_P(LegacyReduceTest, TheMarkerFollowedByZeroIsASingle144) {
  const TLegacyRun Run = Unreduce(Factor(), TReduceStream().Put({'a', 144, 0, 'b'}).Bytes(), 3);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output),
            "a\x90"
            "b");
}

TEST_P(LegacyReduceTest, CopiesFromTheDictionary) {
  // V = 1: length 1 + 3, distance high bits 0; then 2: distance 3.
  const TLegacyRun Run =
      Unreduce(Factor(), TReduceStream().Text("abc").Put({144, 1, 2}).Bytes(), 7);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), "abcabca");
}

TEST_P(LegacyReduceTest, ALengthEqualToTheMaskTakesOneMoreByte) {
  // Length mask + 5 + 3 bytes, copied from one byte back.
  const TLegacyRun Run =
      Unreduce(Factor(), TReduceStream().Text("x").Put({144, Mask(), 5, 0}).Bytes(), 1000);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), std::string(1 + Mask() + 5 + 3, 'x'));
}

TEST_P(LegacyReduceTest, TheHighBitsOfVSelectFarDistances) {
  // The farthest distance of the factor: ((255 >> (8 - f)) * 256 + 255 + 1); from the second
  // byte it reaches before the first output byte, which reads zeros.
  const int High = 0xFF >> (8 - Factor());
  const int V = (High << (8 - Factor())) | 2;  // length 2 + 3
  const TLegacyRun Run =
      Unreduce(Factor(), TReduceStream().Text("q").Put({144, V, 255}).Bytes(), 6);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(Run.Output, (std::vector<std::uint8_t>{'q', 0, 0, 0, 0, 0}));
}

TEST_P(LegacyReduceTest, FollowerSetsCodeTheirBytesByIndex) {
  TReduceStream Stream;
  Stream.Set(0, {'x', 'y', 'z'}).Set('y', {'q'}).Set('q', {'y', 'x'});
  // 'y' by index after 0, 'q' by index after 'y', 'x' by index after 'q', 'k' as a literal
  // after 'x' (an empty set), 'y' as a literal escape after 'k'... plus a marker by index.
  Stream.Set('k', {144}).Put({'y', 'q', 'x', 'k', 144, 0, 'y', 'q', 'q'});
  const TLegacyRun Run = Unreduce(Factor(), Stream.Bytes(), 8);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), "yqxk\x90yqq");
}

TEST_P(LegacyReduceTest, DecodesTheLastBitsOfTheFinalByteAndNothingAfterThem) {
  // 256 empty sets take 192 bytes; 5 plain bytes end exactly on the last byte. An entry that
  // claims more output gets just these bytes: the input has ended.
  const std::vector<std::uint8_t> Stream = TReduceStream().Text("12345").Bytes();
  ASSERT_EQ(Stream.size(), 192u + 5u);
  for (const std::int64_t Claimed : {5, 9}) {
    const TLegacyRun Run = Unreduce(Factor(), Stream, Claimed);
    EXPECT_TRUE(Run.Errors().empty());
    EXPECT_EQ(AsText(Run.Output), "12345");
  }
}

TEST_P(LegacyReduceTest, EveryTruncationGivesAPrefixOrBadBlock) {
  TReduceStream Builder;
  Builder.Set(0, {'a', 'b'}).Set('a', {'b', 144}).Set('b', {'a'});
  const std::vector<std::uint8_t> Stream =
      Builder.Put({'a', 'b', 'a', 144, 0, 'c', 144, 3, 4, 'd', 144, Mask(), 9, 1, 'e'}).Bytes();
  TReduceStream SetsOnly;
  SetsOnly.Set(0, {'a', 'b'}).Set('a', {'b', 144}).Set('b', {'a'});
  const std::size_t SetBits = SetsOnly.Bytes().size() * 8;
  ASSERT_EQ(SetBits, 256u * 6 + 5 * 8);
  const TLegacyRun Full = Unreduce(Factor(), Stream, 100000);
  ASSERT_TRUE(Full.Errors().empty());
  for (std::size_t Cut = 0; Cut < Stream.size(); ++Cut) {
    const std::vector<std::uint8_t> Truncated(Stream.begin(),
                                              Stream.begin() + static_cast<std::ptrdiff_t>(Cut));
    const TLegacyRun Run = Unreduce(Factor(), Truncated, 100000);
    ASSERT_LE(Run.Output.size(), Full.Output.size()) << Cut;
    EXPECT_TRUE(std::equal(Run.Output.begin(), Run.Output.end(), Full.Output.begin())) << Cut;
    // Inside the follower sets the stream is rejected; after them it just ends.
    if (Cut * 8 < SetBits) {
      EXPECT_EQ(Run.Raised, (std::vector<int>{ecBadBlock})) << Cut;
    } else {
      EXPECT_TRUE(Run.Errors().empty()) << Cut;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Factors, LegacyReduceTest, ::testing::Values(1, 2, 3, 4),
                         [](const ::testing::TestParamInfo<int>& Info) {
                           return "Factor" + std::to_string(Info.param);
                         });

TEST(LegacyReduceTest, AFollowerCountAbove32IsABadBlock) {
  TBitWriter Bits;
  Bits.Bits(33, 6);  // the set of 255
  for (int I = 0; I < 40; ++I) Bits.Bits('z', 8);
  const TLegacyRun Run = Unreduce(1, Bits.Bytes(), 10);
  EXPECT_EQ(Run.Raised, (std::vector<int>{ecBadBlock}));
  EXPECT_TRUE(Run.Output.empty());
}

TEST(LegacyReduceTest, AFollowerIndexBeyondTheSetIsABadBlock) {
  // The first byte is coded for the preceding byte 0, whose set holds three bytes: a 0 bit, then
  // index 3 in two bits.
  TReduceStream Stream;
  Stream.Set(0, {'x', 'y', 'z'});
  std::vector<std::uint8_t> Bytes = Stream.Bytes();
  ASSERT_EQ(Bytes.size(), 192u + 3u);  // the sets end on a byte boundary
  TBitWriter Tail;
  Tail.Bits(0, 1);
  Tail.Bits(3, 2);
  Bytes.push_back(Tail.Bytes()[0]);
  const TLegacyRun Run = Unreduce(2, Bytes, 10);
  EXPECT_EQ(Run.Raised, (std::vector<int>{ecBadBlock}));
  EXPECT_TRUE(Run.Output.empty());
}

TEST(LegacyReduceTest, AnEmptyEntryNeedsNoData) {
  const TLegacyRun Run = Unreduce(4, {}, 0);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_TRUE(Run.Output.empty());
  EXPECT_TRUE(Run.ReadRequests.empty());
}

}  // namespace
}  // namespace ruvevid::test
