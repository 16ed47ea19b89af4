// The path rules, with the Windows examples and their native equivalents.

#include <gtest/gtest.h>

#include <string>

#include "archive/base/PathRules.h"

namespace ruvevid {
namespace {

const TPathRules Win = TPathRules::Windows();
const TPathRules Posix = TPathRules::Posix();

TEST(OutputPathRules, DirPart) {
  EXPECT_EQ(Win.DirPart("C:\\"), "C:\\");
  EXPECT_EQ(Win.DirPart("C:\\x"), "C:\\");
  EXPECT_EQ(Win.DirPart("C:\\out\\a.txt"), "C:\\out");
  EXPECT_EQ(Win.DirPart("C:x"), "C:x");  // three characters with a colon: taken as a root
  EXPECT_EQ(Win.DirPart("C:ab"), "C:");
  EXPECT_EQ(Win.DirPart("dir\\a.txt"), "dir");
  EXPECT_EQ(Win.DirPart("a.txt"), "");
  EXPECT_EQ(Posix.DirPart("/out/a.txt"), "/out");
  EXPECT_EQ(Posix.DirPart("dir/sub/"), "dir/sub");
  EXPECT_EQ(Posix.FileNamePart("dir/sub/a.txt"), "a.txt");
  EXPECT_EQ(Posix.DirWithSeparator("dir/sub/a.txt"), "dir/sub/");
}

TEST(OutputPathRules, AppendBackslashUsesTheRulesSeparator) {
  EXPECT_EQ(Win.AppendBackslash("C:\\out"), "C:\\out\\");
  EXPECT_EQ(Win.AppendBackslash("C:\\out\\"), "C:\\out\\");
  EXPECT_EQ(Win.AppendBackslash(""), "");
  EXPECT_EQ(Posix.AppendBackslash("/out"), "/out/");
  EXPECT_EQ(Posix.AppendBackslash("/out/"), "/out/");
}

TEST(OutputPathRules, ExtractDirSetter) {
  EXPECT_EQ(Win.ExtractDirFor("C:/out", ""), "C:\\out\\");
  EXPECT_EQ(Win.ExtractDirFor("C:", ""), "C:\\");
  EXPECT_EQ(Win.ExtractDirFor("", "D:\\arc\\a.zip"), "D:\\arc\\");
  EXPECT_EQ(Win.ExtractDirFor("", ""), "");
  EXPECT_EQ(Posix.ExtractDirFor("/opt/app", ""), "/opt/app/");
  EXPECT_EQ(Posix.ExtractDirFor("", "/srv/a.zip"), "/srv/");
}

struct TComposeCase {
  const char* Title;
  bool Windows;
  std::string ExtractDir;
  std::string Stored;
  bool UseStoredDirs;
  std::string Output;
  bool Refused;
};

class OutputCompose : public ::testing::TestWithParam<TComposeCase> {};

TEST_P(OutputCompose, OutputName) {
  const TComposeCase& Case = GetParam();
  const TPathRules Rules = Case.Windows ? Win : Posix;
  const TOutputPath Path =
      Rules.ComposeOutputName(Case.Stored, Case.ExtractDir, Case.UseStoredDirs);
  EXPECT_EQ(Path.Name, Case.Output);
  EXPECT_EQ(Path.Refused, Case.Refused);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputCompose,
    ::testing::Values(
        TComposeCase{"WinDrivePrefix", true, "C:\\out\\", "C:\\x\\y.txt", true, "C:\\out\\x\\y.txt",
                     false},
        TComposeCase{"WinLeadingSeparator", true, "C:\\out\\", "\\y.txt", true, "C:\\out\\y.txt",
                     false},
        TComposeCase{"WinDriveRelative", true, "C:\\out\\", "C:y.txt", true, "C:\\out\\y.txt",
                     false},
        TComposeCase{"WinRelativeExtractDir", true, "out\\", "a\\b.txt", true, "\\out\\a\\b.txt",
                     false},
        TComposeCase{"WinNoStoredDirs", true, "C:\\out\\", "a\\b\\c.txt", false, "C:\\out\\c.txt",
                     false},
        TComposeCase{"WinSlashesInStoredName", true, "C:\\out\\", "a/b.txt", true,
                     "C:\\out\\a\\b.txt", false},
        TComposeCase{"PosixDrivePrefix", false, "/out/", "C:\\x\\y.txt", true, "/out/x/y.txt",
                     false},
        TComposeCase{"PosixLeadingSeparator", false, "/out/", "/y.txt", true, "/out/y.txt", false},
        TComposeCase{"PosixRelativeExtractDir", false, "out/", "a/b.txt", true, "/out/a/b.txt",
                     false},
        TComposeCase{"PosixNoStoredDirs", false, "/out/", "a/b/c.txt", false, "/out/c.txt", false},
        TComposeCase{"PosixDirectoryEntry", false, "/out/", "a/b/", true, "/out/a/b/", false},
        TComposeCase{"PosixDotsInNames", false, "/out/", "a..b/..c/x..", true, "/out/a..b/..c/x..",
                     false},
        // Hostile names: refused, whatever the stripping left.
        TComposeCase{"DotDot", false, "/out/", "../x", true, "/out/../x", true},
        TComposeCase{"DeepDotDot", false, "/out/", "a/../../x", true, "/out/a/../../x", true},
        TComposeCase{"Absolute", false, "/out/", "/etc/x", true, "/out/etc/x", false},
        TComposeCase{"DoubleAbsolute", false, "/out/", "//etc/x", true, "/out//etc/x", false},
        TComposeCase{"DriveThenDotDot", false, "/out/", "C:\\..\\x", true, "/out/../x", true},
        TComposeCase{"BackslashDotDot", false, "/out/", "..\\x", true, "/out/../x", true},
        TComposeCase{"WinBackslashDotDot", true, "C:\\out\\", "..\\x", true, "C:\\out\\..\\x",
                     true},
        TComposeCase{"WinDriveDotDot", true, "C:\\out\\", "C:..\\x", true, "C:\\out\\..\\x", true},
        TComposeCase{"TrailingDotDot", false, "/out/", "a/..", true, "/out/a/..", true},
        TComposeCase{"DotDotFileNoStoredDirs", false, "/out/", "a/..", false, "/out/..", true},
        TComposeCase{"DotDotDirNoStoredDirs", false, "/out/", "../x", false, "/out/x", false},
        // ':' belongs to POSIX names; a drive is a letter, ':' and a separator at the start.
        TComposeCase{"PosixColonInName", false, "/out/", "dir/file:1.txt", true,
                     "/out/dir/file:1.txt", false},
        TComposeCase{"PosixColonTime", false, "/out/", "time 12:30.log", true,
                     "/out/time 12:30.log", false},
        TComposeCase{"PosixDriveWithoutSeparator", false, "/out/", "C:x.txt", true, "/out/C:x.txt",
                     false},
        TComposeCase{"PosixDriveDotDot", false, "/out/", "a:/../../x", true, "/out/../../x", true},
        // Names a Windows file system cannot hold as they are: refused under its rules only.
        TComposeCase{"WinDevice", true, "C:\\out\\", "dir\\CON", true, "C:\\out\\dir\\CON", true},
        TComposeCase{"WinDeviceWithExtension", true, "C:\\out\\", "nul.txt", true,
                     "C:\\out\\nul.txt", true},
        TComposeCase{"WinDeviceAnyCase", true, "C:\\out\\", "Com1.log", true, "C:\\out\\Com1.log",
                     true},
        TComposeCase{"WinDeviceAsFolder", true, "C:\\out\\", "lpt9\\a.txt", true,
                     "C:\\out\\lpt9\\a.txt", true},
        TComposeCase{"WinDeviceSpaceBeforeExtension", true, "C:\\out\\", "prn .txt", true,
                     "C:\\out\\prn .txt", true},
        TComposeCase{"WinDeviceNoStoredDirs", true, "C:\\out\\", "x\\aux.h", false,
                     "C:\\out\\aux.h", true},
        TComposeCase{"WinNotADeviceCom0", true, "C:\\out\\", "COM0.txt", true, "C:\\out\\COM0.txt",
                     false},
        TComposeCase{"WinNotADeviceCom10", true, "C:\\out\\", "com10", true, "C:\\out\\com10",
                     false},
        TComposeCase{"WinNotADeviceLonger", true, "C:\\out\\", "console.txt", true,
                     "C:\\out\\console.txt", false},
        TComposeCase{"WinTrailingDot", true, "C:\\out\\", "a\\b.", true, "C:\\out\\a\\b.", true},
        TComposeCase{"WinTrailingSpace", true, "C:\\out\\", "a\\b ", true, "C:\\out\\a\\b ", true},
        TComposeCase{"WinFolderWithTrailingDot", true, "C:\\out\\", "dir.\\b", true,
                     "C:\\out\\dir.\\b", true},
        TComposeCase{"WinColonInName", true, "C:\\out\\", "dir\\a:b.txt", true,
                     "C:\\out\\dir\\a:\\b.txt", true},
        TComposeCase{"WinColonNoStoredDirs", true, "C:\\out\\", "a:b.txt", false, "C:\\out\\b.txt",
                     true},
        TComposeCase{"WinForbiddenCharacter", true, "C:\\out\\", "what?.txt", true,
                     "C:\\out\\what?.txt", true},
        TComposeCase{"WinKoreanName", true, "C:\\out\\", "\xED\x95\x9C\xEA\xB8\x80/a.txt", true,
                     "C:\\out\\\xED\x95\x9C\xEA\xB8\x80\\a.txt", false},
        TComposeCase{"WinDirectoryEntry", true, "C:\\out\\", "a\\b\\", true, "C:\\out\\a\\b\\",
                     false},
        TComposeCase{"WinDotFolder", true, "C:\\out\\", ".\\a.txt", true, "C:\\out\\.\\a.txt",
                     false},
        TComposeCase{"PosixDeviceName", false, "/out/", "CON", true, "/out/CON", false},
        TComposeCase{"PosixTrailingDot", false, "/out/", "a/b.", true, "/out/a/b.", false}),
    [](const auto& Info) { return std::string(Info.param.Title); });

TEST(OutputPathRules, AbsoluteNames) {
  EXPECT_TRUE(Win.IsAbsolute("C:\\out"));
  EXPECT_TRUE(Win.IsAbsolute("\\\\server\\share"));
  EXPECT_FALSE(Win.IsAbsolute("out\\a"));
  EXPECT_TRUE(Posix.IsAbsolute("/out"));
  EXPECT_FALSE(Posix.IsAbsolute("C:/out"));
}

TEST(OutputPathRules, NamesDifferingInCaseAreOneFileOnlyOnWindows) {
  EXPECT_TRUE(Win.SameFile("C:\\out\\Read.ME", "c:\\OUT\\read.me"));
  EXPECT_FALSE(Win.SameFile("C:\\out\\a.txt", "C:\\out\\b.txt"));
  EXPECT_FALSE(Posix.SameFile("/out/Read.ME", "/out/read.me"));
  EXPECT_TRUE(Posix.SameFile("/out/a", "/out/a"));
}

}  // namespace
}  // namespace ruvevid
