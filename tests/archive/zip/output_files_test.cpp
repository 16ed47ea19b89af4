// Output files on the component: names, the per-entry decision with its events, creation, dates,
// attributes, and hostile stored names that must stay inside ExtractDir.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/base/DosDateTime.h"
#include "archive/base/OutputFiles.h"
#include "archive/base/support/ZipBuilder.h"
#include "archive/zip/EntryOutput.h"
#include "archive/zip/UnZip.h"
#include "platform/OutputFile.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
namespace zt = zipfmt_test;

class OutputFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    FOut = (FDir / "out").string() + "/";
    UnZip.SetExtractDir(FOut);
    UnZip.OnError = [this](TZipCommon*, const std::string& FileName, const std::string& Extended,
                           const std::string&, int ECode) {
      Errors.push_back(std::to_string(ECode) + " " + FileName + " " + Extended);
    };
  }

  // Names, confirms, opens, writes and closes one entry as the entry driver does.
  bool Extract(const std::string& Stored, const std::string& Data, std::uint32_t Attr = 0x20,
               std::uint32_t DosDateTime = 0x5A212C00) {
    UnZip.SetOutputName(Stored);
    if (!UnZip.ConfirmEntry(false)) return false;
    const std::string Name = UnZip.Run().OutputName;
    TStagedEntryOutput Output(UnZip);
    if (!Output.Open(Name, Stored)) {
      UnZip.ReportError(Name, "", "0", ecOpenError);
      return false;
    }
    Output.Stream()->WriteBuffer(Data.data(), static_cast<std::int32_t>(Data.size()));
    return Output.Close(DosDateTime, Attr) && Output.Commit();
  }

  test::TempDir FDir;
  std::string FOut;
  TUnZip UnZip;
  std::vector<std::string> Errors;
};

TEST_F(OutputFiles, ExtractDirIsNormalisedAndFilledFromTheArchive) {
  UnZip.SetExtractDir("/opt/app");
  EXPECT_EQ(UnZip.ExtractDir(), "/opt/app/");
  UnZip.SetExtractDir("");
  EXPECT_EQ(UnZip.ExtractDir(), "");
  test::WriteBytes(FDir / "a.zip", zt::ToBytes(std::string(30, 'x')));
  UnZip.SetArchiveFile((FDir / "a.zip").string());
  UnZip.SetOutputName("d/e.txt");
  EXPECT_EQ(UnZip.ExtractDir(), FDir.path().string() + "/");
  EXPECT_EQ(UnZip.Run().OutputName, FDir.path().string() + "/d/e.txt");
  UnZip.SetOutputName("");
  EXPECT_EQ(UnZip.Run().OutputName, "");
}

TEST_F(OutputFiles, StoredDirectoriesAreCreatedAndTheFileDatedAndMarked) {
  // 2021-06-15 13:45:30 local time, a Unix mode 0640 in the upper half.
  const std::uint32_t Date =
      (41u << 25) | (6u << 21) | (15u << 16) | (13u << 11) | (45u << 5) | 15u;
  ASSERT_TRUE(Extract("a/b/c.txt", "content", (0100640u << 16) | 0x20, Date));
  const fs::path File = FDir / "out" / "a" / "b" / "c.txt";
  EXPECT_EQ(test::ReadBytes(File), "content");
  struct stat Info {};
  ASSERT_EQ(::stat(File.c_str(), &Info), 0);
  EXPECT_EQ(Info.st_mode & 07777, 0640u);
  EXPECT_EQ(TimeToDosDateTime(Info.st_mtime).value_or(0), Date);
  EXPECT_EQ(UnZip.Run().ExtractedCount, 1);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(OutputFiles, ReadOnlyAttributeThenOverwriteFailsWithoutConfirmation) {
  ASSERT_TRUE(Extract("ro.txt", "first", 0x21));
  const fs::path File = FDir / "out" / "ro.txt";
  struct stat Info {};
  ASSERT_EQ(::stat(File.c_str(), &Info), 0);
  EXPECT_EQ(Info.st_mode & 0222, 0u);
  EXPECT_FALSE(Extract("ro.txt", "second"));
  EXPECT_EQ(test::ReadBytes(File), "first");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].substr(0, 5), "25235");
}

TEST_F(OutputFiles, ReadOnlyExistingFileIsClearedWithConfirmation) {
  ASSERT_TRUE(Extract("ro.txt", "first", 0x21));
  UnZip.ConfirmOverwrites = true;
  UnZip.OnFileExists = [](TZipCommon*, const std::string&, std::string&, TOverwriteMode& Mode) {
    Mode = TOverwriteMode::omOverwrite;
  };
  ASSERT_TRUE(Extract("ro.txt", "second"));
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "ro.txt"), "second");
}

TEST_F(OutputFiles, ArchiveOnlyAttributeLeavesTheModeAlone) {
  ASSERT_TRUE(Extract("x.txt", "1"));
  const fs::path File = FDir / "out" / "x.txt";
  ::chmod(File.c_str(), 0604);
  ASSERT_TRUE(Extract("x.txt", "2", 0x20));
  struct stat Info {};
  ASSERT_EQ(::stat(File.c_str(), &Info), 0);
  EXPECT_EQ(Info.st_mode & 07777, 0604u);
  // A Unix mode never brings setuid, setgid or sticky bits.
  ASSERT_TRUE(Extract("x.txt", "3", (0107755u << 16)));
  ASSERT_EQ(::stat(File.c_str(), &Info), 0);
  EXPECT_EQ(Info.st_mode & 07777, 0755u);
}

TEST_F(OutputFiles, RestoreFileAttrOffKeepsTheDefaultMode) {
  UnZip.RestoreFileAttr = false;
  ASSERT_TRUE(Extract("x.txt", "1", 0x21));
  struct stat Info {};
  ASSERT_EQ(::stat((FDir / "out" / "x.txt").c_str(), &Info), 0);
  EXPECT_NE(Info.st_mode & 0200, 0u);
}

TEST_F(OutputFiles, DateOptions) {
  UnZip.Run().NewestEntryDate = 0x5B212C00;
  UnZip.DateAttribute = TDateAttribute::daMaxFileDate;
  EXPECT_EQ(UnZip.EffectiveDate(0x4A210000), 0x5B212C00u);
  UnZip.DateAttribute = TDateAttribute::daFileDate;
  EXPECT_EQ(UnZip.EffectiveDate(0x4A210000), 0x4A210000u);
  UnZip.DateAttribute = TDateAttribute::daSysDate;
  EXPECT_EQ(UnZip.EffectiveDate(0x4A210000) >> 16,
            TimeToDosDateTime(std::time(nullptr)).value_or(0) >> 16);
}

// ---- The per-entry decision ----

TEST_F(OutputFiles, WithoutConfirmationTheModeDecidesForAllEntries) {
  std::vector<std::string> Begun;
  UnZip.OnBegin = [&Begun](TZipCommon*, const std::string& Name, std::int32_t Count, bool&) {
    Begun.push_back(Name + "#" + std::to_string(Count));
  };
  UnZip.SetOutputName("a.txt");
  EXPECT_TRUE(UnZip.ConfirmEntry(false));
  UnZip.SetOutputName("b.txt");
  EXPECT_TRUE(UnZip.ConfirmEntry(false));
  EXPECT_TRUE(UnZip.ConfirmEntry(true));  // directories: no event, not counted
  UnZip.OverwriteMode = TOverwriteMode::omSkip;
  EXPECT_FALSE(UnZip.ConfirmEntry(false));
  EXPECT_EQ(Begun,
            (std::vector<std::string>{FOut + "a.txt#1", FOut + "b.txt#2", FOut + "b.txt#3"}));
  EXPECT_EQ(UnZip.Run().ExtractedCount, 2);
}

TEST_F(OutputFiles, OnBeginCanSkipAndOnRenameFileRuns) {
  UnZip.OnRenameFile = [this](TZipCommon*, const std::string&, std::string& NewName) {
    NewName = FOut + "renamed/x.txt";
  };
  bool Skip = false;
  UnZip.OnBegin = [&Skip](TZipCommon*, const std::string&, std::int32_t, bool& Extract) {
    Extract = !Skip;
  };
  UnZip.SetOutputName("a.txt");
  EXPECT_TRUE(UnZip.ConfirmEntry(false));
  EXPECT_EQ(UnZip.Run().OutputName, FOut + "renamed/x.txt");
  EXPECT_TRUE(fs::is_directory(FDir / "out" / "renamed"));
  Skip = true;
  EXPECT_FALSE(UnZip.ConfirmEntry(false));
  EXPECT_EQ(UnZip.Run().ExtractedCount, 1);
}

TEST_F(OutputFiles, OnRenameFileIsNotFiredWithoutOnBegin) {
  bool Renamed = false;
  UnZip.OnRenameFile = [&Renamed](TZipCommon*, const std::string&, std::string&) {
    Renamed = true;
  };
  UnZip.SetOutputName("a.txt");
  EXPECT_TRUE(UnZip.ConfirmEntry(false));
  EXPECT_FALSE(Renamed);
}

TEST_F(OutputFiles, MissingOnFileExistsSkipsTheExistingFile) {
  ASSERT_TRUE(Extract("a.txt", "old"));
  UnZip.ConfirmOverwrites = true;
  EXPECT_FALSE(Extract("a.txt", "new"));
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "a.txt"), "old");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "25270 " + FOut + "a.txt OnFileExists");
  EXPECT_TRUE(Extract("b.txt", "fresh"));  // a file that does not exist needs no handler
}

TEST_F(OutputFiles, OnFileExistsIsAskedAgainForAnotherExistingName) {
  ASSERT_TRUE(Extract("a.txt", "A"));
  ASSERT_TRUE(Extract("b.txt", "B"));
  UnZip.ConfirmOverwrites = true;
  std::vector<std::string> Asked;
  UnZip.OnFileExists = [&](TZipCommon*, const std::string& Name, std::string& NewName,
                           TOverwriteMode& Mode) {
    Asked.push_back(Name);
    EXPECT_EQ(Mode, TOverwriteMode::omOverwrite);
    NewName = Asked.size() == 1 ? FOut + "b.txt" : FOut + "c.txt";
  };
  ASSERT_TRUE(Extract("a.txt", "new"));
  EXPECT_EQ(Asked, (std::vector<std::string>{FOut + "a.txt", FOut + "b.txt"}));
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "c.txt"), "new");
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "a.txt"), "A");
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "b.txt"), "B");
}

TEST_F(OutputFiles, OnFileExistsSameNameOverwritesAndSkipSkips) {
  ASSERT_TRUE(Extract("a.txt", "A"));
  UnZip.ConfirmOverwrites = true;
  TOverwriteMode Answer = TOverwriteMode::omOverwrite;
  int Asked = 0;
  UnZip.OnFileExists = [&](TZipCommon*, const std::string&, std::string&, TOverwriteMode& Mode) {
    ++Asked;
    Mode = Answer;
  };
  ASSERT_TRUE(Extract("a.txt", "again"));
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "a.txt"), "again");
  Answer = TOverwriteMode::omSkip;
  EXPECT_FALSE(Extract("a.txt", "skipped"));
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "a.txt"), "again");
  EXPECT_EQ(Asked, 2);
  // The mode is reset for every entry while confirmations are on.
  UnZip.SetOutputName("new.txt");
  EXPECT_TRUE(UnZip.ConfirmEntry(false));
}

TEST_F(OutputFiles, ReadOnlyDirectoryInTheWayIsAWriteError) {
  fs::create_directories(FDir / "out" / "d.txt");
  test::WriteBytes(FDir / "out" / "e.txt", "e");
  ::chmod((FDir / "out" / "d.txt").c_str(), 0555);
  UnZip.ConfirmOverwrites = true;
  UnZip.OnFileExists = [this](TZipCommon*, const std::string&, std::string& NewName,
                              TOverwriteMode&) { NewName = FOut + "d.txt"; };
  UnZip.SetOutputName("e.txt");
  EXPECT_FALSE(UnZip.ConfirmEntry(false));
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].substr(0, 5), "25136");
  EXPECT_EQ(UnZip.Run().ExtractedCount, 0);
  ::chmod((FDir / "out" / "d.txt").c_str(), 0755);
}

// ---- Hostile names ----

class OutputHostileNames : public OutputFiles, public ::testing::WithParamInterface<const char*> {};

TEST_P(OutputHostileNames, NeverWriteOutsideExtractDir) {
  const std::string Stored = GetParam();
  fs::create_directories(FDir / "out");
  Extract(Stored, "evil");
  // Nothing appeared beside the output folder, and whatever was written is inside it.
  for (const auto& Entry : fs::recursive_directory_iterator(FDir.path())) {
    if (!Entry.is_regular_file()) continue;
    const std::string Path = Entry.path().string();
    EXPECT_EQ(Path.compare(0, FOut.size(), FOut), 0) << Path;
  }
  EXPECT_FALSE(fs::exists("/etc/x-ruvevid-test"));
}

INSTANTIATE_TEST_SUITE_P(Names, OutputHostileNames,
                         ::testing::Values("../x", "a/../../x", "/etc/x-ruvevid-test", "C:\\x",
                                           "..\\x", "a\\..\\..\\x", "C:..\\x", "C:\\..\\..\\x",
                                           "\xC7\xD1\\..\\..\\x", "..", "a/..", "./../x"));

TEST_F(OutputFiles, RefusedEntryIsReportedAndTheNextOneGoesOn) {
  EXPECT_FALSE(Extract("../escape.txt", "evil"));
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "25235 " + FOut + "../escape.txt ");
  EXPECT_FALSE(fs::exists(FDir / "escape.txt"));
  EXPECT_TRUE(Extract("good.txt", "good"));
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "good.txt"), "good");
  EXPECT_TRUE(IsOutputRefused(UnZip, FOut + "../escape.txt", "../escape.txt"));
  EXPECT_FALSE(IsOutputRefused(UnZip, FOut + "good.txt", "good.txt"));
}

TEST_F(OutputFiles, ApplicationMayRenameARefusedEntryToASafeName) {
  UnZip.OnBegin = [](TZipCommon*, const std::string&, std::int32_t, bool&) {};
  UnZip.OnRenameFile = [this](TZipCommon*, const std::string&, std::string& NewName) {
    NewName = FOut + "safe.txt";
  };
  EXPECT_TRUE(Extract("../escape.txt", "data"));
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "safe.txt"), "data");
}

TEST_F(OutputFiles, SymlinkedDirectoryOnTheWayIsRefused) {
  fs::create_directories(FDir / "out");
  fs::create_directories(FDir / "elsewhere");
  fs::create_directory_symlink(FDir / "elsewhere", FDir / "out" / "link");
  EXPECT_FALSE(Extract("link/x.txt", "evil"));
  EXPECT_FALSE(fs::exists(FDir / "elsewhere" / "x.txt"));
}

TEST_F(OutputFiles, SymlinkAtTheFileNameIsReplacedNotFollowed) {
  fs::create_directories(FDir / "out");
  test::WriteBytes(FDir / "target.txt", "keep");
  fs::create_symlink(FDir / "target.txt", FDir / "out" / "f.txt");
  ASSERT_TRUE(Extract("f.txt", "new"));
  EXPECT_EQ(test::ReadBytes(FDir / "target.txt"), "keep");
  EXPECT_FALSE(fs::is_symlink(FDir / "out" / "f.txt"));
  EXPECT_EQ(test::ReadBytes(FDir / "out" / "f.txt"), "new");
}

TEST_F(OutputFiles, EvilFixtureNamesStayInside) {
  const auto Path = zt::Fixture("Zip.Evil.zip");
  if (Path.empty()) GTEST_SKIP() << "the shared fixtures folder is absent";
  // The second entry's stored name, as the manifest lists it.
  std::string Evil;
  for (int i = 0; i < 40; ++i) Evil += "..\\";
  Evil += "Temp\\evil.txt";
  EXPECT_TRUE(Extract("good.txt", "good"));
  EXPECT_FALSE(Extract(Evil, "evil"));
  for (const auto& Entry : fs::recursive_directory_iterator(FDir.path())) {
    if (Entry.is_regular_file()) {
      EXPECT_EQ(Entry.path().string().compare(0, FOut.size(), FOut), 0) << Entry.path();
    }
  }
}

TEST_F(OutputFiles, ForceDirectoriesCreatesEveryLevel) {
  EXPECT_TRUE(UnZip.ForceDirectories((FDir / "x" / "y" / "z").string()));
  EXPECT_TRUE(fs::is_directory(FDir / "x" / "y" / "z"));
  EXPECT_TRUE(UnZip.ForceDirectories((FDir / "x").string()));
  test::WriteBytes(FDir / "file", "f");
  EXPECT_FALSE(UnZip.ForceDirectories((FDir / "file" / "sub").string()));
}

}  // namespace
}  // namespace ruvevid
