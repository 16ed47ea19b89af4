// Method 6 (imploded) on streams built by hand: 2 and 3 trees, 4 KB and 8 KB dictionaries, the
// length escape 63, matches from before the first byte, and tree descriptions that are cut short,
// too long or ambiguous.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LegacyHarness.h"
#include "archive/codec/Explode.h"

namespace ruvevid::test {
namespace {

constexpr std::uint16_t k8KDictionary = 0x02;
constexpr std::uint16_t kThreeTrees = 0x04;

// The trees: every literal 8 bits long, every length and distance symbol 6 bits. The codes are
// then 255 - value and 63 - value, sent most significant bit first.
class TImplodeStream {
 public:
  explicit TImplodeStream(std::uint16_t Flags) : FFlags(Flags) {
    if (ThreeTrees()) Description(16, 0xF7);  // 16 runs of 16 codes of 8 bits
    Description(4, 0xF5);                     // 4 runs of 16 codes of 6 bits (lengths)
    Description(4, 0xF5);                     // (distances)
  }
  TImplodeStream& Literal(std::uint8_t Byte) {
    FBits.Bits(1, 1);
    if (ThreeTrees()) {
      FBits.Code(255u - Byte, 8);
    } else {
      FBits.Bits(Byte, 8);
    }
    return *this;
  }
  TImplodeStream& Text(const std::string& Text) {
    for (const char C : Text) Literal(static_cast<unsigned char>(C));
    return *this;
  }
  // Distance 1 (the byte just written) up to the dictionary size.
  TImplodeStream& Match(int Distance, int Length) {
    const int LowBits = (FFlags & k8KDictionary) != 0 ? 7 : 6;
    const int D = Distance - 1;
    FBits.Bits(0, 1);
    FBits.Bits(static_cast<std::uint32_t>(D & ((1 << LowBits) - 1)), LowBits);
    FBits.Code(static_cast<std::uint32_t>(63 - (D >> LowBits)), 6);
    const int L = Length - MinMatch();
    if (L >= 63) {
      FBits.Code(0, 6);  // symbol 63
      FBits.Bits(static_cast<std::uint32_t>(L - 63), 8);
    } else {
      FBits.Code(static_cast<std::uint32_t>(63 - L), 6);
    }
    return *this;
  }
  std::vector<std::uint8_t> Bytes() const { return FBits.Bytes(); }
  int MinMatch() const { return ThreeTrees() ? 3 : 2; }

 private:
  bool ThreeTrees() const { return (FFlags & kThreeTrees) != 0; }
  void Description(int Count, std::uint8_t Byte) {
    FBits.Bits(static_cast<std::uint32_t>(Count - 1), 8);
    for (int I = 0; I < Count; ++I) FBits.Bits(Byte, 8);
  }

  std::uint16_t FFlags;
  TBitWriter FBits;
};

std::string AsText(const std::vector<std::uint8_t>& Bytes) {
  return {Bytes.begin(), Bytes.end()};
}

TLegacyRun Explode(std::uint16_t Flags, const std::vector<std::uint8_t>& Stream,
                   std::int64_t UnpackedSize) {
  return RunLegacy(Stream, MakeEntry(6, Flags, Stream.size(), UnpackedSize));
}

class LegacyImplodeTest : public ::testing::TestWithParam<std::uint16_t> {
 protected:
  std::uint16_t Flags() const { return GetParam(); }
  int DictionarySize() const { return (Flags() & k8KDictionary) != 0 ? 8192 : 4096; }
};

TEST_P(LegacyImplodeTest, TakesTreeCountAndDictionarySizeFromTheFlags) {
  const TImplodeTables Tables(Flags());
  EXPECT_EQ(Tables.TreeCount(), (Flags() & kThreeTrees) != 0 ? 3 : 2);
  EXPECT_EQ(Tables.DictionarySize(), DictionarySize());
}

TEST_P(LegacyImplodeTest, DecodesLiterals) {
  const TLegacyRun Run = Explode(Flags(), TImplodeStream(Flags()).Text("hello").Bytes(), 5);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), "hello");
}

TEST_P(LegacyImplodeTest, CopiesMatchesOfTheMinimumLengthAndMore) {
  TImplodeStream Stream(Flags());
  const int Min = Stream.MinMatch();
  Stream.Text("abcd").Match(4, Min).Match(1, Min + 1).Match(100, 5);
  std::string Expected = "abcd";
  Expected += std::string("abcd").substr(0, static_cast<std::size_t>(Min));
  Expected += std::string(static_cast<std::size_t>(Min + 1), Expected.back());
  // Distance 100 reaches before the first byte: zeros, then the first bytes.
  std::string Far;
  for (int I = 0; I < 5; ++I) {
    const int From = static_cast<int>(Expected.size()) - 100;
    Far += From < 0 ? '\0' : Expected[static_cast<std::size_t>(From)];
    Expected += Far.back();
  }
  const TLegacyRun Run =
      Explode(Flags(), Stream.Bytes(), static_cast<std::int64_t>(Expected.size()));
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), Expected);
}

TEST_P(LegacyImplodeTest, LengthSymbol63TakesEightMoreBits) {
  TImplodeStream Stream(Flags());
  const int Length = 63 + 255 + Stream.MinMatch();  // 318 plus the minimum match length
  Stream.Text("z").Match(1, Length);
  const TLegacyRun Run = Explode(Flags(), Stream.Bytes(), 1 + Length);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), std::string(static_cast<std::size_t>(1 + Length), 'z'));
}

TEST_P(LegacyImplodeTest, AMatchBeforeTheFirstByteCopiesZeros) {
  const TLegacyRun Run =
      Explode(Flags(), TImplodeStream(Flags()).Match(DictionarySize(), 6).Text("!").Bytes(), 7);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(Run.Output, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, '!'}));
}

TEST_P(LegacyImplodeTest, TheDictionaryWrapsAtItsSize) {
  // Fill more than the dictionary, then copy from its full distance.
  TImplodeStream Stream(Flags());
  std::string Expected;
  for (int I = 0; I < DictionarySize() + 300; ++I) {
    const char C = static_cast<char>('a' + (I * 7) % 26);
    Stream.Literal(static_cast<std::uint8_t>(C));
    Expected += C;
  }
  Stream.Match(DictionarySize(), 40);
  for (int I = 0; I < 40; ++I) Expected += Expected[Expected.size() - DictionarySize()];
  const TLegacyRun Run =
      Explode(Flags(), Stream.Bytes(), static_cast<std::int64_t>(Expected.size()));
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), Expected);
}

TEST_P(LegacyImplodeTest, EveryTruncationGivesAPrefixOrAnAmbiguousTree) {
  TImplodeStream Stream(Flags());
  Stream.Text("implode").Match(3, 4).Text("x").Match(1, 70).Match(9, 3);
  const std::size_t TreeBytes = TImplodeStream(Flags()).Bytes().size();
  const std::vector<std::uint8_t> Bytes = Stream.Bytes();
  const TLegacyRun Full = Explode(Flags(), Bytes, 100000);
  ASSERT_TRUE(Full.Errors().empty());
  for (std::size_t Cut = 0; Cut < Bytes.size(); ++Cut) {
    const std::vector<std::uint8_t> Truncated(Bytes.begin(),
                                              Bytes.begin() + static_cast<std::ptrdiff_t>(Cut));
    const TLegacyRun Run = Explode(Flags(), Truncated, 100000);
    ASSERT_LE(Run.Output.size(), Full.Output.size()) << Cut;
    EXPECT_TRUE(std::equal(Run.Output.begin(), Run.Output.end(), Full.Output.begin())) << Cut;
    EXPECT_TRUE(Run.Raised.empty()) << Cut;
    if (Cut < TreeBytes) {
      EXPECT_EQ(Run.Reported, (std::vector<int>{ecAmbiguousTree})) << Cut;
    } else {
      EXPECT_TRUE(Run.Reported.empty()) << Cut;
    }
  }
}

TEST_P(LegacyImplodeTest, AnEmptyEntryNeedsNoData) {
  const TLegacyRun Run = Explode(Flags(), {}, 0);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_TRUE(Run.Output.empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, LegacyImplodeTest,
                         ::testing::Values(0, k8KDictionary, kThreeTrees,
                                           k8KDictionary | kThreeTrees),
                         [](const ::testing::TestParamInfo<std::uint16_t>& Info) {
                           return std::string((Info.param & kThreeTrees) != 0 ? "ThreeTrees"
                                                                              : "TwoTrees") +
                                  ((Info.param & k8KDictionary) != 0 ? "8K" : "4K");
                         });

TEST(LegacyImplodeTest, AMatchMayRunPastTheUnpackedSize) {
  const TLegacyRun Run = Explode(0, TImplodeStream(0).Text("a").Match(1, 10).Bytes(), 3);
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), std::string(11, 'a'));
}

// A description as bytes: the count less one, then the description bytes.
std::vector<std::uint8_t> Description(std::vector<std::uint8_t> Bytes) {
  Bytes.insert(Bytes.begin(), static_cast<std::uint8_t>(Bytes.size() - 1));
  return Bytes;
}

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> Parts) {
  std::vector<std::uint8_t> All;
  for (const auto& Part : Parts) All.insert(All.end(), Part.begin(), Part.end());
  return All;
}

const std::vector<std::uint8_t> kUniform64 = Description({0xF5, 0xF5, 0xF5, 0xF5});

struct THostileTrees {
  const char* Name;
  std::uint16_t Flags;
  std::vector<std::uint8_t> Stream;
  std::vector<int> Reported;
  std::vector<int> Raised;
};

class LegacyImplodeHostileTest : public ::testing::TestWithParam<THostileTrees> {};

TEST_P(LegacyImplodeHostileTest, RejectsTheTreesWithoutDecoding) {
  const THostileTrees& Case = GetParam();
  TLegacyBench Bench(Case.Stream);
  TLegacyDecoder Legacy(Bench.Io(), MakeEntry(6, Case.Flags, Case.Stream.size(), 100));
  ASSERT_TRUE(Legacy.PrepareImploded(Case.Flags));
  bool Decoded = true;
  try {
    Decoded = Legacy.DecodeImploded();
  } catch (const TRaised&) {
    Decoded = false;
  }
  Legacy.FlushOutput();
  EXPECT_FALSE(Decoded);
  EXPECT_EQ(Bench.Run().Reported, Case.Reported);
  EXPECT_EQ(Bench.Run().Raised, Case.Raised);
  EXPECT_TRUE(Bench.Run().Output.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LegacyImplodeHostileTest,
    ::testing::Values(
        // The count says 256 description bytes of 16 codes each: far more than 64 leaves.
        THostileTrees{"TooManyLengthCodes",
                      0,
                      Concat({{0xFF}, std::vector<std::uint8_t>(256, 0xFF)}),
                      {ecAmbiguousTree},
                      {}},
        THostileTrees{
            "TooManyLiteralCodes",
            kThreeTrees,
            Concat({Description(std::vector<std::uint8_t>(17, 0xF7)), kUniform64, kUniform64}),
            {ecAmbiguousTree},
            {}},
        // A truncated description reads as -1: the count of a cut stream.
        THostileTrees{"CutAfterTheCount", 0, {0x03, 0xF5}, {ecAmbiguousTree}, {}},
        THostileTrees{"NoDescriptionAtAll", 0, {}, {ecAmbiguousTree}, {}},
        // Three codes of one bit: the third gets the first one's slot again.
        THostileTrees{
            "FinalSlotTaken", 0, Concat({Description({0x20}), kUniform64}), {}, {ecAmbiguousTree}},
        // One code of one bit ("1"), then three of two bits: "10" runs into the leaf.
        THostileTrees{"PathRunsIntoALeaf",
                      0,
                      Concat({Description({0x00, 0x21}), kUniform64}),
                      {ecAmbiguousTree},
                      {}},
        // Sixteen-bit codes for all 64 symbols of the distance tree: far more inner nodes than
        // a 128-node tree holds.
        THostileTrees{"MoreInnerNodesThanTheTreeHolds",
                      0,
                      Concat({kUniform64, Description({0x0F, 0x0F, 0xFF, 0xFF, 0xFF, 0xEF})}),
                      {ecAmbiguousTree},
                      {}}),
    [](const ::testing::TestParamInfo<THostileTrees>& Info) { return Info.param.Name; });

TEST(LegacyImplodeTest, AnEmptyChildMetWhileDecodingRaises25293) {
  // Length tree complete; the distance tree holds one code, "0": a distance walk on a 1 bit
  // finds nothing.
  TBitWriter Bits;
  for (const std::uint8_t Byte : Concat({kUniform64, Description({0x00})})) Bits.Bits(Byte, 8);
  Bits.Bits(1, 1);
  Bits.Bits('a', 8);  // a literal
  Bits.Bits(0, 1);    // a match
  Bits.Bits(0, 6);    // distance low bits
  Bits.Bits(1, 1);    // distance tree: the empty right child
  Bits.Bits(0, 16);
  const std::vector<std::uint8_t> Stream = Bits.Bytes();
  const TLegacyRun Run = Explode(0, Stream, 50);
  EXPECT_EQ(Run.Raised, (std::vector<int>{ecAmbiguousTree}));
  EXPECT_EQ(AsText(Run.Output), "a");
}

TEST(LegacyImplodeTest, AnEmptyChildInACancelledRunEndsTheEntry) {
  // The OnError handler cancels, so RaiseError returns: the walk must not try the same empty
  // child again (the input has ended, every further bit would read as 0).
  TBitWriter Bits;
  for (const std::uint8_t Byte : Concat({kUniform64, Description({0x00})})) Bits.Bits(Byte, 8);
  for (int I = 0; I < 200; ++I) {
    Bits.Bits(0, 1);
    Bits.Bits(0, 6);
    Bits.Bits(1, 1);
  }
  const std::vector<std::uint8_t> Stream = Bits.Bytes();
  TLegacyRunOptions Options;
  Options.CancelOnError = true;
  const TLegacyRun Run = RunLegacy(Stream, MakeEntry(6, 0, Stream.size(), 50), Options);
  EXPECT_EQ(Run.Raised, (std::vector<int>{ecAmbiguousTree}));
  EXPECT_TRUE(Run.Output.empty());
}

}  // namespace
}  // namespace ruvevid::test
