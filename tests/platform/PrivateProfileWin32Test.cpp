// The stop record written by the system's private-profile writer: the file's bytes after writes,
// and the refusals made before the writer is called.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/PrivateProfile.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

// The support's file helpers come with the Linux side's shell tools; these two are all a test here
// needs.
std::string ReadBytes(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot read " + Path.string());
  return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& Path, const std::string& Bytes) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  if (!Out) throw std::runtime_error("cannot write " + Path.string());
}

std::string Utf8Of(const fs::path& Path) {
  const std::u8string Text = Path.u8string();
  return std::string(Text.begin(), Text.end());
}

struct TWriteCase {
  const char* Name;
  std::string Before;  // empty: no file
  std::string Section;
  std::string Key;
  std::string Value;
  std::string After;
};

class PrivateProfileWriteTest : public ::testing::TestWithParam<TWriteCase> {};

TEST_P(PrivateProfileWriteTest, FileBytes) {
  const TWriteCase& Case = GetParam();
  test::TempDir Dir;
  const fs::path File = Dir / "Daz.dat";
  if (!Case.Before.empty()) WriteBytes(File, Case.Before);
  ASSERT_TRUE(WritePrivateProfileKey(Case.Section, Case.Key, Case.Value, Utf8Of(File)));
  EXPECT_EQ(ReadBytes(File), Case.After);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, PrivateProfileWriteTest,
    ::testing::Values(
        TWriteCase{"NewFile", "", "Update", "Work", "False", "[Update]\r\nWork=False\r\n"},
        TWriteCase{"NewKey", "[Update]\r\nWork=False\r\n", "Update", "Done", "True",
                   "[Update]\r\nWork=False\r\nDone=True\r\n"},
        TWriteCase{"ReplacedValue", "[Update]\r\nWork=True\r\n", "Update", "Work", "False",
                   "[Update]\r\nWork=False\r\n"},
        TWriteCase{"NewSection", "[Other]\r\nA=1\r\n", "Update", "Work", "False",
                   "[Other]\r\nA=1\r\n[Update]\r\nWork=False\r\n"},
        TWriteCase{"SectionInOtherCase", "[UPDATE]\r\nWork=True\r\n", "Update", "Work", "False",
                   "[UPDATE]\r\nWork=False\r\n"},
        TWriteCase{"OtherSectionsStay", "[Update]\r\nWork=True\r\n[Next]\r\nA=1\r\n", "Update",
                   "Work", "False", "[Update]\r\nWork=False\r\n[Next]\r\nA=1\r\n"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// The lines of Text that are not blank, each without its line end.
std::vector<std::string> NonBlankLines(const std::string& Text) {
  std::vector<std::string> Lines;
  std::size_t Start = 0;
  while (Start < Text.size()) {
    std::size_t End = Text.find("\r\n", Start);
    if (End == std::string::npos) End = Text.size();
    if (End > Start) Lines.push_back(Text.substr(Start, End - Start));
    Start = End + 2;
  }
  return Lines;
}

// The label maker's own file: its comment, its other sections and keys stay, in their order and
// letter case, and every line ends in CR LF. (Blank lines are the system writer's to keep or
// drop: Windows keeps them, Wine's writer drops them.)
TEST(PrivateProfileWin32, LabelMakerFileKeepsItsLines) {
  test::TempDir Dir;
  const std::string Before =
      "; written by the label maker\r\n[Main]\r\nLang=ko\r\n\r\n[UPDATE]\r\nwork=True\r\n"
      "Last=2023-01-01\r\n\r\n[Fonts]\r\nFace=Gulim\r\n";
  WriteBytes(Dir / "Daz.dat", Before);
  ASSERT_TRUE(WritePrivateProfileKey("Update", "Work", "False", Utf8Of(Dir / "Daz.dat")));
  const std::string After = ReadBytes(Dir / "Daz.dat");
  EXPECT_EQ(
      NonBlankLines(After),
      (std::vector<std::string>{"; written by the label maker", "[Main]", "Lang=ko", "[UPDATE]",
                                "work=False", "Last=2023-01-01", "[Fonts]", "Face=Gulim"}));
  EXPECT_TRUE(After.ends_with("\r\n"));
}

TEST(PrivateProfileWin32, RelativeNameIsInCurrentFolder) {
  test::TempDir Dir;
  std::wstring Before(32768, L'\0');
  Before.resize(::GetCurrentDirectoryW(static_cast<DWORD>(Before.size()), Before.data()));
  ASSERT_TRUE(::SetCurrentDirectoryW(Dir.path().c_str()));
  const bool Written = WritePrivateProfileKey("Update", "Work", "False", "Daz.dat");
  ::SetCurrentDirectoryW(Before.c_str());
  ASSERT_TRUE(Written);
  EXPECT_EQ(ReadBytes(Dir / "Daz.dat"), "[Update]\r\nWork=False\r\n");
}

TEST(PrivateProfileWin32, NonAsciiFolder) {
  test::TempDir Dir;
  const fs::path Folder = Dir.path() / fs::path(u8"\uD55C\uAE00");  // "한글"
  fs::create_directory(Folder);
  ASSERT_TRUE(WritePrivateProfileKey("Update", "Work", "False", Utf8Of(Folder / "Daz.dat")));
  EXPECT_EQ(ReadBytes(Folder / "Daz.dat"), "[Update]\r\nWork=False\r\n");
}

struct TRefusalCase {
  const char* Name;
  std::string Section;
  std::string Key;
  std::string Value;
};

class PrivateProfileRefusalTest : public ::testing::TestWithParam<TRefusalCase> {};

// The writer would take these and change the file's structure; nothing is written.
TEST_P(PrivateProfileRefusalTest, LeavesFileAsItWas) {
  const TRefusalCase& Case = GetParam();
  test::TempDir Dir;
  const std::string Before = "[Update]\r\nWork=True\r\n";
  WriteBytes(Dir / "Daz.dat", Before);
  EXPECT_FALSE(WritePrivateProfileKey(Case.Section, Case.Key, Case.Value, Utf8Of(Dir / "Daz.dat")));
  EXPECT_EQ(ReadBytes(Dir / "Daz.dat"), Before);
  EXPECT_FALSE(WritePrivateProfileKey(Case.Section, Case.Key, Case.Value, Utf8Of(Dir / "New.dat")));
  EXPECT_FALSE(fs::exists(Dir / "New.dat"));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, PrivateProfileRefusalTest,
    ::testing::Values(TRefusalCase{"LineBreakInValue", "Update", "Work", "False\r\n[Evil]"},
                      TRefusalCase{"LineFeedInKey", "Update", "Wo\nrk", "False"},
                      TRefusalCase{"CarriageReturnInSection", "Up\rdate", "Work", "False"},
                      TRefusalCase{"NulInValue", "Update", "Work", std::string("Fa\0lse", 6)},
                      TRefusalCase{"NulInKey", "Update", std::string("Wo\0rk", 5), "False"},
                      TRefusalCase{"BracketInSection", "Up]date", "Work", "False"},
                      TRefusalCase{"EqualsInKey", "Update", "Wo=rk", "False"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(PrivateProfileWin32, RefusesFolder) {
  test::TempDir Dir;
  fs::create_directory(Dir / "Daz.dat");
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", Utf8Of(Dir / "Daz.dat")));
  EXPECT_TRUE(fs::is_directory(Dir / "Daz.dat"));
}

// A link is never written through, to its target or over itself.
TEST(PrivateProfileWin32, RefusesSymbolicLinkAndLeavesTarget) {
  test::TempDir Dir;
  WriteBytes(Dir / "target.ini", "[Update]\r\nWork=True\r\n");
  const fs::path Link = Dir / "Daz.dat";
  // Wine 8 reports success without making a link: only a reparse point found there counts.
  const bool Made = ::CreateSymbolicLinkW(Link.c_str(), (Dir / "target.ini").c_str(),
                                          SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE;
  const DWORD LinkAttributes = ::GetFileAttributesW(Link.c_str());
  if (!Made || LinkAttributes == INVALID_FILE_ATTRIBUTES ||
      (LinkAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    GTEST_SKIP() << "no symbolic link can be made here";
  }
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", Utf8Of(Dir / "Daz.dat")));
  EXPECT_EQ(ReadBytes(Dir / "target.ini"), "[Update]\r\nWork=True\r\n");
  const DWORD Attributes = ::GetFileAttributesW(Link.c_str());
  EXPECT_NE(Attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(Attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0U);
}

TEST(PrivateProfileWin32, MissingFolderFails) {
  test::TempDir Dir;
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", Utf8Of(Dir / "none" / "Daz.dat")));
  EXPECT_FALSE(fs::exists(Dir / "none"));
}

TEST(PrivateProfileWin32, EmptyFileNameFails) {
  EXPECT_FALSE(WritePrivateProfileKey("Update", "Work", "False", ""));
}

}  // namespace
}  // namespace ruvevid
