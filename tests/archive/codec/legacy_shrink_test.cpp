// Method 1 (shrunk) on streams built by hand: the code being defined (KwKwK), code size growth,
// PartialClear and the reuse of freed codes lowest first, the full table, and the failure table.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LegacyHarness.h"
#include "archive/codec/Unshrink.h"

namespace ruvevid::test {
namespace {

// Writes shrink codes at the current code size.
class TShrinkStream {
 public:
  TShrinkStream& Code(int Value) {
    FBits.Bits(static_cast<std::uint32_t>(Value), FCodeSize);
    return *this;
  }
  TShrinkStream& Text(const std::string& Literals) {
    for (const char C : Literals) Code(static_cast<unsigned char>(C));
    return *this;
  }
  TShrinkStream& Grow() {
    Code(256).Code(1);
    ++FCodeSize;
    return *this;
  }
  TShrinkStream& Clear() { return Code(256).Code(2); }
  std::vector<std::uint8_t> Bytes() const { return FBits.Bytes(); }

 private:
  TBitWriter FBits;
  int FCodeSize = 9;
};

std::string AsText(const std::vector<std::uint8_t>& Bytes) {
  return {Bytes.begin(), Bytes.end()};
}

TLegacyRun Unshrink(const std::vector<std::uint8_t>& Stream, std::int64_t UnpackedSize = 1000) {
  return RunLegacy(Stream, MakeEntry(1, 0, Stream.size(), UnpackedSize));
}

TEST(LegacyShrinkTest, DecodesLiteralsAndStringCodes) {
  // "ab" becomes 257, "bc" 258; then 257 and 258 are used.
  const TLegacyRun Run = Unshrink(TShrinkStream().Text("abc").Code(257).Code(258).Bytes());
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), "abcabbc");
}

TEST(LegacyShrinkTest, ACodeNotYetAssignedIsThePreviousStringPlusItsFirstByte) {
  // 257 and 258 are each used in the step that defines them.
  const TLegacyRun Run = Unshrink(TShrinkStream().Code('A').Code(257).Code(258).Bytes());
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), "AAAAAA");
}

TEST(LegacyShrinkTest, GrowsTheCodeSizeOnRequest) {
  // After two requests codes are 11 bits wide.
  const TLegacyRun Run =
      Unshrink(TShrinkStream().Text("xy").Grow().Code('z').Grow().Code(257).Code(258).Bytes());
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), "xyzxyyz");
}

TEST(LegacyShrinkTest, PartialClearHandsFreedCodesOutAgainLowestFirst) {
  // 257 "ab" and 258 "bc" are leaves and are freed; "cd" then takes 257 and "dc" 258.
  const TLegacyRun Run =
      Unshrink(TShrinkStream().Text("abc").Clear().Code('d').Code(257).Code(258).Bytes());
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(AsText(Run.Output), "abcdcddc");
}

TEST(LegacyShrinkTest, PartialClearKeepsParentsAndFreesAParentEmptiedByItOnlyNextTime) {
  TShrinkTables Tables;
  Tables.AddNode('a', 'b');  // 257 "ab"
  Tables.AddNode(257, 'c');  // 258 "abc", child of 257
  Tables.AddNode('x', 'y');  // 259 "xy"
  EXPECT_EQ(Tables.ChildrenOf(257), 1);

  Tables.PartialClear();
  EXPECT_TRUE(Tables.IsAssigned(257));  // its child was freed in this same pass
  EXPECT_FALSE(Tables.IsAssigned(258));
  EXPECT_FALSE(Tables.IsAssigned(259));
  EXPECT_EQ(Tables.ChildrenOf(257), 0);
  EXPECT_EQ(Tables.ChildrenOf('a'), 1);
  EXPECT_EQ(Tables.NextFreeIndex(), 258);  // every code but 257 is free

  Tables.PartialClear();
  EXPECT_FALSE(Tables.IsAssigned(257));
  EXPECT_EQ(Tables.ChildrenOf('a'), 0);
  EXPECT_EQ(Tables.NextFreeIndex(), 257);

  // A clear that finds nothing to change leaves the table as it is.
  Tables.PartialClear();
  EXPECT_EQ(Tables.NextFreeIndex(), 257);
  Tables.AddNode('q', 'r');
  EXPECT_EQ(Tables.ParentOf(257), 'q');
}

TEST(LegacyShrinkTest, AFullTableTakesNoNewCodesUntilAPartialClear) {
  // 7936 literals define all 7935 codes 257 to 8191 (code 257 + i is literal i, then literal
  // i + 1). Then the widest codes are used, a further literal defines nothing, and after a
  // PartialClear the next string takes 257 again.
  auto Literal = [](int I) { return static_cast<std::uint8_t>('A' + I % 23); };
  TShrinkStream Stream;
  std::vector<std::uint8_t> Expected;
  for (int I = 0; I < 7936; ++I) {
    Stream.Code(Literal(I));
    Expected.push_back(Literal(I));
  }
  Stream.Grow().Grow().Grow().Grow();
  Stream.Code(8191).Code(257);
  Expected.insert(Expected.end(), {Literal(7934), Literal(7935), Literal(0), Literal(1)});
  Stream.Code('!');  // the table is full: this step defines nothing
  Expected.push_back('!');
  Stream.Code(8191).Code('!');  // still "literal 7934, literal 7935"; '!' defines nothing
  Expected.insert(Expected.end(), {Literal(7934), Literal(7935), '!'});
  Stream.Clear().Code('?').Code(257);
  // Every code was a leaf and is freed; 257 becomes "!?".
  Expected.insert(Expected.end(), {'?', '!', '?'});

  const std::vector<std::uint8_t> Bytes = Stream.Bytes();
  const TLegacyRun Run = Unshrink(Bytes, static_cast<std::int64_t>(Expected.size()));
  EXPECT_TRUE(Run.Errors().empty());
  EXPECT_EQ(Run.Output, Expected);
}

struct TShrinkFailure {
  const char* Name;
  std::vector<std::uint8_t> Stream;
  std::int64_t UnpackedSize;
  std::vector<int> Raised;
  std::string Output;  // what was written before the failure
};

class LegacyShrinkFailureTest : public ::testing::TestWithParam<TShrinkFailure> {};

TEST_P(LegacyShrinkFailureTest, ReportsAndStops) {
  const TShrinkFailure& Case = GetParam();
  const TLegacyRun Run = Unshrink(Case.Stream, Case.UnpackedSize);
  EXPECT_EQ(Run.Raised, Case.Raised);
  EXPECT_TRUE(Run.Reported.empty());
  EXPECT_EQ(AsText(Run.Output), Case.Output);
}

// A self-referencing code: 257 is freed by the clear while it is the previous code, and the next
// step gives the lowest free code, 257 itself, the parent 257. Decoding it never ends by itself.
std::vector<std::uint8_t> SelfLoopStream() {
  return TShrinkStream().Text("ab").Code(257).Clear().Code('c').Code(257).Bytes();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LegacyShrinkFailureTest,
    ::testing::Values(
        TShrinkFailure{"NoFirstCode", {}, 5, {ecBadBlock}, ""},
        TShrinkFailure{"EmptyEntryWithoutData", {}, 0, {}, ""},
        TShrinkFailure{"UnknownControlCode",
                       TShrinkStream().Text("ab").Code(256).Code(3).Code('c').Bytes(),
                       5,
                       {ecBadBlock},
                       "ab"},
        TShrinkFailure{"ControlCodeCutShort",
                       TShrinkStream().Text("ab").Code(256).Bytes(),
                       5,
                       {ecBadBlock},
                       "ab"},
        TShrinkFailure{"CodeSizeBeyond13Bits",
                       TShrinkStream().Text("a").Grow().Grow().Grow().Grow().Grow().Bytes(),
                       5,
                       {ecBadBlock},
                       "a"},
        TShrinkFailure{"StringThroughAFreeCode",
                       TShrinkStream().Code(300).Code(257).Bytes(),
                       5,
                       {ecBadBlock},
                       ","},
        // 258 "bc" is the previous code when the clear frees it; 257 then becomes "bc" + 'd'
        // with a parent that no longer exists.
        TShrinkFailure{"StringThroughAFreedPreviousCode",
                       TShrinkStream().Text("abc").Code(258).Clear().Code('d').Code(257).Bytes(),
                       50,
                       {ecBadBlock},
                       "abcbcd"},
        TShrinkFailure{
            "StringLongerThanTheStack", SelfLoopStream(), 50, {ecStackOverflow}, "ababc"}),
    [](const ::testing::TestParamInfo<TShrinkFailure>& Info) { return Info.param.Name; });

TEST(LegacyShrinkTest, EveryTruncationGivesAPrefixOfTheOutput) {
  const std::vector<std::uint8_t> Stream = TShrinkStream()
                                               .Text("abcab")
                                               .Code(257)
                                               .Code(262)
                                               .Grow()
                                               .Code(259)
                                               .Clear()
                                               .Text("xyz")
                                               .Code(257)
                                               .Code(258)
                                               .Bytes();
  const TLegacyRun Full = Unshrink(Stream);
  ASSERT_TRUE(Full.Errors().empty());
  for (std::size_t Cut = 0; Cut < Stream.size(); ++Cut) {
    const std::vector<std::uint8_t> Truncated(Stream.begin(),
                                              Stream.begin() + static_cast<std::ptrdiff_t>(Cut));
    const TLegacyRun Run = Unshrink(Truncated);
    ASSERT_LE(Run.Output.size(), Full.Output.size()) << Cut;
    EXPECT_TRUE(std::equal(Run.Output.begin(), Run.Output.end(), Full.Output.begin())) << Cut;
    for (const int Code : Run.Raised) EXPECT_EQ(Code, ecBadBlock) << Cut;
  }
}

}  // namespace
}  // namespace ruvevid::test
