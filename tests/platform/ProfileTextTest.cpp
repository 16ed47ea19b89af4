#include <gtest/gtest.h>

#include <string>

#include "platform/ProfileText.h"

namespace ruvevid {
namespace {

struct ProfileCase {
  const char* Name;
  std::string Before;
  std::string Section;
  std::string Key;
  std::string Value;
  std::string After;
};

class SetProfileKeyTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(SetProfileKeyTest, GivesExactText) {
  const ProfileCase& c = GetParam();
  EXPECT_EQ(SetProfileKey(c.Before, c.Section, c.Key, c.Value), c.After);
}

const ProfileCase kProfileCases[] = {
    {"EmptyTextGetsSectionAndKey", "", "Update", "Work", "False", "[Update]\r\nWork=False\r\n"},
    {"ValueReplacedInPlace", "[Update]\r\nWork=True\r\nOther=1\r\n", "Update", "Work", "False",
     "[Update]\r\nWork=False\r\nOther=1\r\n"},
    {"NamesMatchedWithoutCase", "[uPDATE]\r\nwORK=True\r\n", "Update", "Work", "False",
     "[uPDATE]\r\nwORK=False\r\n"},
    {"NameSpellingAndBlanksBeforeEqualsKept", "  [ Update ]  ; note\r\n  Work =True\r\n", "Update",
     "Work", "False", "  [ Update ]  ; note\r\n  Work =False\r\n"},
    {"OnlyFirstEqualsSplits", "[Update]\r\nWork=a=b\r\n", "Update", "Work", "c",
     "[Update]\r\nWork=c\r\n"},
    {"KeyOfOtherSectionLeftAlone", "[Other]\r\nWork=1\r\n[Update]\r\nWork=2\r\n", "Update", "Work",
     "False", "[Other]\r\nWork=1\r\n[Update]\r\nWork=False\r\n"},
    {"MissingKeyAfterLastFilledLine", "[Update]\r\nA=1\r\n\r\n[Next]\r\nB=2\r\n", "Update", "Work",
     "False", "[Update]\r\nA=1\r\nWork=False\r\n\r\n[Next]\r\nB=2\r\n"},
    {"MissingKeyAfterBareHeader", "[Update]\r\n[Next]\r\n", "Update", "Work", "False",
     "[Update]\r\nWork=False\r\n[Next]\r\n"},
    {"MissingKeyAtEndWithoutLineEnd", "[Update]\r\nA=1", "Update", "Work", "False",
     "[Update]\r\nA=1\r\nWork=False\r\n"},
    {"MissingSectionAppendedAtEnd", "; settings\r\n[Other]\r\nA=1\r\n\r\n", "Update", "Work",
     "False", "; settings\r\n[Other]\r\nA=1\r\n\r\n[Update]\r\nWork=False\r\n"},
    {"MissingSectionAfterTextWithoutLineEnd", "[Other]\r\nA=1", "Update", "Work", "False",
     "[Other]\r\nA=1\r\n[Update]\r\nWork=False\r\n"},
    {"LineFeedFileGetsLineFeeds", "[Other]\nA=1\n", "Update", "Work", "False",
     "[Other]\nA=1\n[Update]\nWork=False\n"},
    {"CommentThatLooksLikeKeyIgnored", "[Update]\r\n;Work=True\r\n", "Update", "Work", "False",
     "[Update]\r\n;Work=True\r\nWork=False\r\n"},
    {"KeyWithoutEqualsGetsValue", "[Update]\r\nWork  \r\n", "Update", "Work", "False",
     "[Update]\r\nWork=False\r\n"},
    {"KeysBeforeAnySectionIgnored", "Work=True\r\n[Update]\r\n", "Update", "Work", "False",
     "Work=True\r\n[Update]\r\nWork=False\r\n"},
    {"FirstOfTwoSameSectionsUsed", "[Update]\r\nA=1\r\n[Update]\r\nWork=1\r\n", "Update", "Work",
     "False", "[Update]\r\nA=1\r\nWork=False\r\n[Update]\r\nWork=1\r\n"},
    {"ByteOrderMarkBeforeFirstSection", "\xEF\xBB\xBF[Update]\r\nWork=1\r\n", "Update", "Work",
     "False", "\xEF\xBB\xBF[Update]\r\nWork=False\r\n"},
    {"UnclosedBracketIsNoSection", "[Update\r\nWork=1\r\n", "Update", "Work", "False",
     "[Update\r\nWork=1\r\n[Update]\r\nWork=False\r\n"},
    {"NonAsciiNamesComparedByteForByte", "[\xC3\xA9]\r\nWork=1\r\n", "\xC3\x89", "Work", "0",
     "[\xC3\xA9]\r\nWork=1\r\n[\xC3\x89]\r\nWork=0\r\n"},
    {"EmptyValue", "[Update]\r\nWork=True\r\n", "Update", "Work", "", "[Update]\r\nWork=\r\n"},
    {"GivenNamesTrimmed", "", " Update ", " Work ", "False", "[Update]\r\nWork=False\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SetProfileKeyTest, ::testing::ValuesIn(kProfileCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(SetProfileKey, LeavesEveryOtherByte) {
  std::string before = "; header \t\r\n\r\n[A]\r\nx = 1 ; c\r\n";
  before += std::string("bin=\x01\x7F\xFF\r\n", 9);
  before += "\n[Update]\r\nWork=True\r\n\r\n   \r\n[Z]\nq=\r\n";
  std::string expected = before;
  expected.replace(expected.find("Work=True"), 9, "Work=False");
  EXPECT_EQ(SetProfileKey(before, "Update", "Work", "False"), expected);
}

struct WritableCase {
  const char* Name;
  std::string Section;
  std::string Key;
  std::string Value;
  bool Writable;
};

class IsWritableProfileKeyTest : public ::testing::TestWithParam<WritableCase> {};

TEST_P(IsWritableProfileKeyTest, Decides) {
  const WritableCase& c = GetParam();
  EXPECT_EQ(IsWritableProfileKey(c.Section, c.Key, c.Value), c.Writable);
}

const WritableCase kWritableCases[] = {
    {"Plain", "Update", "Work", "False", true},
    {"ValueWithEquals", "Update", "Work", "a=b", true},
    {"LineFeedInValue", "Update", "Work", "a\nb", false},
    {"CarriageReturnInKey", "Update", "Wo\rrk", "x", false},
    {"NulInValue", "Update", "Work", std::string("a\0b", 3), false},
    {"BracketInSection", "Up]date", "Work", "x", false},
    {"EqualsInKey", "Update", "Wo=rk", "x", false},
    {"CommentKey", "Update", ";Work", "x", false},
    {"SectionLikeKey", "Update", "[Work]", "x", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, IsWritableProfileKeyTest, ::testing::ValuesIn(kWritableCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
