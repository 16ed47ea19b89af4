#include <gtest/gtest.h>

#include <string>

#include "platform/ProcessImageName.h"

namespace ruvevid {
namespace {

struct NameCase {
  const char* Name;
  std::string Input;
  std::string Expected;
};

class ExeLinkTest : public ::testing::TestWithParam<NameCase> {};
TEST_P(ExeLinkTest, GivesBareName) {
  EXPECT_EQ(ImageNameFromExeLink(GetParam().Input), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(
    Links, ExeLinkTest,
    ::testing::Values(NameCase{"FullPath", "/opt/ruvevid/RovuzurA.exe", "RovuzurA.exe"},
                      NameCase{"Deleted", "/opt/ruvevid/RovuzurA.exe (deleted)", "RovuzurA.exe"},
                      NameCase{"BlankInName", "/opt/a b/Rovuzur A.exe", "Rovuzur A.exe"},
                      NameCase{"Root", "/init", "init"}, NameCase{"Empty", "", ""}),
    [](const auto& Info) { return std::string(Info.param.Name); });

class CommandLineTest : public ::testing::TestWithParam<NameCase> {};
TEST_P(CommandLineTest, GivesBareArgumentZero) {
  EXPECT_EQ(ImageNameFromCommandLine(GetParam().Input), GetParam().Expected);
}
INSTANTIATE_TEST_SUITE_P(
    CommandLines, CommandLineTest,
    ::testing::Values(
        NameCase{"PathWithArguments", std::string("/opt/r/RovuzurA.exe\0-x\0/tmp/y\0", 29),
                 "RovuzurA.exe"},
        NameCase{"BareName", std::string("RovuzurA.exe\0", 13), "RovuzurA.exe"},
        NameCase{"RewrittenWithoutNul", "RovuzurA.exe: worker", "RovuzurA.exe: worker"},
        NameCase{"WindowsPathKept", std::string("C:\\R\\RovuzurA.exe\0", 18),
                 "C:\\R\\RovuzurA.exe"},
        NameCase{"Empty", "", ""}, NameCase{"EmptyArgumentZero", std::string("\0x\0", 3), ""}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ImageNameFromCommand, DropsLineEnd) {
  EXPECT_EQ(ImageNameFromCommand("kthreadd\n"), "kthreadd");
  EXPECT_EQ(ImageNameFromCommand("RovuzurA.exe"), "RovuzurA.exe");
  EXPECT_EQ(ImageNameFromCommand(""), "");
}

struct StatCase {
  const char* Name;
  std::string Stat;
  bool Ended;
};

class HasEndedByStatTest : public ::testing::TestWithParam<StatCase> {};
TEST_P(HasEndedByStatTest, ReadsState) {
  EXPECT_EQ(HasEndedByStat(GetParam().Stat), GetParam().Ended);
}
INSTANTIATE_TEST_SUITE_P(
    Stats, HasEndedByStatTest,
    ::testing::Values(StatCase{"Sleeping", "42 (sleep) S 1 42 42 0", false},
                      StatCase{"Running", "42 (sleep) R 1 42 42 0", false},
                      StatCase{"Zombie", "42 (sleep) Z 1 42 42 0", true},
                      StatCase{"Dead", "42 (sleep) X 1 42 42 0", true},
                      StatCase{"ParenthesisInName", "42 (a) Z (b) S 1 42", false},
                      StatCase{"Truncated", "42 (sleep)", true}, StatCase{"Empty", "", true}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
