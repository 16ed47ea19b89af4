#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/SettingsWriter.h"
#include "platform/ProgramFolder.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

struct PathCase {
  const char* Name;
  std::string Folder;
  std::string FileName;
  std::string Path;
};

class SettingsFilePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsFilePathTest, FollowsNamingRules) {
  EXPECT_EQ(SettingsFilePath(GetParam().Folder, GetParam().FileName), GetParam().Path);
}

const PathCase kPathCases[] = {
    {"NameWithoutExtension", "/opt/ruvevid/", "Daz", "/opt/ruvevid/Daz.dat"},
    {"EmptyName", "/opt/ruvevid/", "", "/opt/ruvevid/daz.dat"},
    {"ThreeLetterExtension", "/opt/ruvevid/", "Daz.ini", "/opt/ruvevid/Daz.ini"},
    {"DatExtension", "/opt/ruvevid/", "Daz.dat", "/opt/ruvevid/Daz.dat"},
    {"LongerExtension", "/opt/ruvevid/", "Daz.conf", "/opt/ruvevid/Daz.conf.dat"},
    {"ShorterExtension", "/opt/ruvevid/", "Daz.db", "/opt/ruvevid/Daz.db.dat"},
    {"TwoDotsInName", "/opt/ruvevid/", "Daz.a.ini", "/opt/ruvevid/Daz.a.ini.dat"},
    {"DottedFolderAndName", "/opt/ruvevid-1.2/", "daz.dat", "/opt/ruvevid-1.2/daz.dat.dat"},
    {"DottedFolderAndEmptyName", "/opt/ruvevid-1.2/", "", "/opt/ruvevid-1.2/daz.dat.dat"},
    {"DottedFolderAndBareName", "/opt/ruvevid-1.2/", "Daz", "/opt/ruvevid-1.2/Daz.dat"},
    {"NameWithSlash", "/opt/ruvevid/", "conf/Daz", "/opt/ruvevid/conf/Daz.dat"},
    {"NameWithLeadingSlash", "/opt/ruvevid/", "/etc/Daz", "/opt/ruvevid//etc/Daz.dat"},
    {"NameWithBackslash", "/opt/ruvevid/", "conf\\Daz", "/opt/ruvevid/conf\\Daz.dat"},
    {"WindowsFolder", "C:\\Ruvevid\\", "Daz", "C:\\Ruvevid\\Daz.dat"},
    {"EmptyFolder", "", "Daz", "Daz.dat"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SettingsFilePathTest, ::testing::ValuesIn(kPathCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(WriteSettingIn, WritesTheUpdaterRecord) {
  test::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  ASSERT_TRUE(WriteSettingIn(folder, "Daz", "Update", "Work", "False"));
  EXPECT_EQ(test::ReadBytes(dir / "Daz.dat"), "[Update]\r\nWork=False\r\n");
  // Written again while the run stays stopped: the file does not change.
  ASSERT_TRUE(WriteSettingIn(folder, "Daz", "Update", "Work", "False"));
  EXPECT_EQ(test::ReadBytes(dir / "Daz.dat"), "[Update]\r\nWork=False\r\n");
}

TEST(WriteSettingIn, UpdatesFileOfOtherProgram) {
  test::TempDir dir;
  const std::string before =
      "; written by the label maker\r\n[Main]\r\nLang=ko\r\n\r\n[UPDATE]\r\nwork=True\r\n"
      "Last=2023-01-01\r\n\r\n[Fonts]\r\nFace=\xEB\x82\x98\xEB\x88\x94\r\n";
  test::WriteBytes(dir / "Daz.dat", before);
  ASSERT_TRUE(WriteSettingIn(dir.path().string() + "/", "Daz", "Update", "Work", "False"));
  std::string expected = before;
  expected.replace(expected.find("work=True"), 9, "work=False");
  EXPECT_EQ(test::ReadBytes(dir / "Daz.dat"), expected);
}

TEST(WriteSettingIn, DottedFolderGetsDoubleExtension) {
  test::TempDir dir;
  const fs::path folder = dir / "ruvevid-1.2";
  fs::create_directory(folder);
  ASSERT_TRUE(WriteSettingIn(folder.string() + "/", "daz.dat", "Update", "Work", "False"));
  EXPECT_TRUE(fs::exists(folder / "daz.dat.dat"));
  EXPECT_FALSE(fs::exists(folder / "daz.dat"));
}

TEST(WriteSettingIn, FolderThatIsAFileFailsAndKeepsIt) {
  test::TempDir dir;
  test::WriteBytes(dir / "folder", "old");
  EXPECT_FALSE(WriteSettingIn((dir / "folder").string() + "/", "Daz", "Update", "Work", "False"));
  EXPECT_EQ(test::ReadBytes(dir / "folder"), "old");
}

TEST(WriteSetting, UsesProgramFolder) {
  // The test program's folder is in the build folder: write there under a name of this test only.
  const std::string name = "WriteSettingTest-" + std::to_string(::getpid());
  const fs::path written = SettingsFilePath(ProgramFolder(), name);
  ASSERT_EQ(written.parent_path(), fs::read_symlink("/proc/self/exe").parent_path());
  ASSERT_TRUE(WriteSetting(name, "Update", "Work", "False"));
  EXPECT_EQ(test::ReadBytes(written), "[Update]\r\nWork=False\r\n");
  fs::remove(written);
}

}  // namespace
}  // namespace ruvevid
