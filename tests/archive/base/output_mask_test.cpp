// The wildcard matcher and the selection of entries by FileSpec.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive/base/WildcardMask.h"

namespace ruvevid {
namespace {

struct TMaskCase {
  const char* Name;
  const char* Mask;
  bool Matches;
};

class OutputMask : public ::testing::TestWithParam<TMaskCase> {};

TEST_P(OutputMask, Matches) {
  EXPECT_EQ(MaskMatches(GetParam().Name, GetParam().Mask), GetParam().Matches)
      << GetParam().Name << " ~ " << GetParam().Mask;
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputMask,
    ::testing::Values(TMaskCase{"Makefile", "*.", true}, TMaskCase{"a.txt", "*.", false},
                      TMaskCase{"a", "a?", false}, TMaskCase{"a", "a*?", true},
                      TMaskCase{"ab", "a?", true}, TMaskCase{"abc", "a?", false},
                      TMaskCase{"README.TXT", "readme.txt", true},
                      TMaskCase{"dir\\sub\\a.txt", "dir\\*.txt", true},
                      TMaskCase{"dir/sub/a.txt", "dir\\*.txt", true},  // separators fold
                      TMaskCase{"a.b.c", "*.c", true}, TMaskCase{"a.b.c", "*.b", false},
                      TMaskCase{"abcabd", "*abd", true}, TMaskCase{"aaa", "*a*a*a*", true},
                      TMaskCase{"aa", "*a*a*a*", false}, TMaskCase{"", "*", true},
                      TMaskCase{"", "?", false}, TMaskCase{"x", "", false}, TMaskCase{"", "", true},
                      TMaskCase{"mississippi", "m*iss*ppi", true},
                      TMaskCase{"mississippi", "m*iss*x", false},
                      TMaskCase{"\xED\x95\x9C.txt", "*.TXT", true}));

// A dynamic-programming reference with the same rules ('?' right after '*' matches nothing).
bool Reference(const std::string& Name, const std::string& Mask) {
  std::string Compact;  // '?' after '*' dropped, '*' runs joined
  bool Star = false;
  for (char C : Mask) {
    if (C == '*') {
      if (!Star) Compact += '*';
      Star = true;
    } else if (C == '?' && Star) {
      continue;
    } else {
      Compact += C;
      Star = false;
    }
  }
  const std::size_t N = Name.size(), M = Compact.size();
  std::vector<std::vector<char>> Can(N + 1, std::vector<char>(M + 1, 0));
  Can[N][M] = 1;
  for (std::size_t J = M; J-- > 0;) {
    for (std::size_t I = N + 1; I-- > 0;) {
      if (Compact[J] == '*') {
        Can[I][J] = Can[I][J + 1] || (I < N && Can[I + 1][J]);
      } else {
        Can[I][J] = I < N &&
                    (Compact[J] == '?' || FoldMaskChar(Compact[J]) == FoldMaskChar(Name[I])) &&
                    Can[I + 1][J + 1];
      }
    }
  }
  return Can[0][0] != 0;
}

TEST(OutputMaskStack, MoreThanThirtyStarGroupsMatchLikeAnUnlimitedMatcher) {
  std::mt19937 Random(12345);
  const std::string Letters = "ab.";
  int Agreed = 0;
  for (int Round = 0; Round < 3000; ++Round) {
    std::string Name, Mask;
    const int NameLength = static_cast<int>(Random() % 70);
    for (int i = 0; i < NameLength; ++i) Name += Letters[Random() % 2];
    const int Groups = 25 + static_cast<int>(Random() % 15);
    for (int i = 0; i < Groups; ++i) {
      Mask += '*';
      Mask += Letters[Random() % 2];
      if (Random() % 4 == 0) Mask += '?';
    }
    if (Random() % 2 == 0) Mask += '*';
    const bool Expected = Reference(Name, Mask);
    ASSERT_EQ(MaskMatches(Name, Mask), Expected) << Name << " ~ " << Mask;
    Agreed += Expected ? 1 : 0;
  }
  EXPECT_GT(Agreed, 10);  // both outcomes occur
}

TEST(OutputMaskStack, FortyStarGroupsFindTheirMatch) {
  std::string Mask, Name;
  for (int i = 0; i < 40; ++i) {
    Mask += "*a";
    Name += "xxa";
  }
  EXPECT_TRUE(MaskMatches(Name + "zz", Mask + "*"));
  EXPECT_TRUE(MaskMatches(Name, Mask));
  EXPECT_FALSE(MaskMatches(Name + "b", Mask));
}

struct TSpecCase {
  const char* Title;
  std::vector<std::string> Specs;
  std::string Name;
  bool RecurseDirs;
  bool Selected;
};

class OutputFileSpec : public ::testing::TestWithParam<TSpecCase> {};

TEST_P(OutputFileSpec, Selects) {
  std::vector<std::string> Specs = GetParam().Specs;
  EXPECT_EQ(MatchFileSpec(GetParam().Name, Specs, nullptr, GetParam().RecurseDirs),
            GetParam().Selected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputFileSpec,
    ::testing::Values(TSpecCase{"EmptySpecs", {}, "a.txt", true, false},
                      TSpecCase{"OnlyEmptyLines", {"", ""}, "a.txt", true, false},
                      TSpecCase{"EmptyName", {"*.*"}, "", true, false},
                      TSpecCase{"StarDotStarPlain", {"*.*"}, "readme", true, true},
                      TSpecCase{"StarDotStarInDir", {"*.*"}, "dir/a.txt", true, true},
                      TSpecCase{"StarDotStarDirEntry", {"*.*"}, "dir/", true, true},
                      TSpecCase{"TxtNoRecurseTop", {"*.txt"}, "a.txt", false, true},
                      TSpecCase{"TxtNoRecurseInDir", {"*.txt"}, "dir/a.txt", false, false},
                      TSpecCase{"TxtRecurseInDir", {"*.txt"}, "dir/a.txt", true, true},
                      TSpecCase{"DirSpanBySlash", {"dir/*.txt"}, "dir/sub/a.txt", true, true},
                      TSpecCase{"DirSpanByBackslash", {"dir\\*.txt"}, "dir/sub/a.txt", true, true},
                      TSpecCase{"DirSameNoRecurse", {"dir\\*.txt"}, "dir/a.txt", false, true},
                      TSpecCase{"DirOtherNoRecurse", {"dir\\*.txt"}, "dir/sub/a.txt", false, false},
                      TSpecCase{"WholeNameIgnoringCase", {"README"}, "readme", true, true},
                      TSpecCase{"SecondLine", {"*.bin", "*.txt"}, "x/a.txt", true, true}),
    [](const auto& Info) { return std::string(Info.param.Title); });

TEST(OutputFileSpecRewrite, LineWithoutDotGainsOneWhenTriedAgain) {
  std::vector<std::string> Specs = {"abc"};
  EXPECT_FALSE(MatchFileSpec("abc.txt", Specs, nullptr, true));
  EXPECT_EQ(Specs, (std::vector<std::string>{"abc."}));
}

TEST(OutputFileSpecRewrite, ExcludesDeselect) {
  std::vector<std::string> Specs = {"*.*"};
  const std::vector<std::string> Excludes = {"*.tmp"};
  EXPECT_FALSE(MatchFileSpec("dir/x.tmp", Specs, &Excludes, true));
  EXPECT_TRUE(MatchFileSpec("dir/x.txt", Specs, &Excludes, true));
}

TEST(OutputFileSpecRewrite, WindowsRulesGiveTheSameSelection) {
  std::vector<std::string> Specs = {"dir\\*.txt"};
  EXPECT_TRUE(MatchFileSpec("dir\\a.txt", Specs, nullptr, false, TPathRules::Windows()));
  EXPECT_FALSE(MatchFileSpec("dir\\sub\\a.txt", Specs, nullptr, false, TPathRules::Windows()));
}

}  // namespace
}  // namespace ruvevid
