// The directory walks over damaged and unusual archives: a damaged local header, a central
// directory that is not where the end record says (the local-header walk and OnCorruptZipHeader),
// the FileSpec patterns, and the totals the walks keep.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WalkSupport.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

class WalkDamaged : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    WriteBytes(Work / "in/a.txt", "first file\n");
    WriteBytes(Work / "in/b.txt", "second file\n");
    WriteBytes(Work / "in/c.dat", "third file\n");
    ASSERT_TRUE(RunShellIn(Work / "in", "zip -q -0 -X ../a.zip a.txt b.txt c.dat"));
  }
  fs::path Archive() const { return Work / "a.zip"; }
  fs::path Out() const { return Work / "out"; }
  TempDir Work;
};

TEST_F(WalkDamaged, ADamagedLocalHeaderIsABadFileHeaderAndTheOthersAreExtracted) {
  PatchFile(Archive(), NthInFile(Archive(), kLocalSignature, 1), std::string("PK\0\0", 4));
  TRecordedExtraction Run(Archive(), Out());
  EXPECT_EQ(Run.Run(), 2);
  EXPECT_EQ(Run.Lines("error"), std::vector<std::string>{"error 25114 b.txt||0"});
  EXPECT_TRUE(Run.Lines("begin 2 b.txt").empty());
  EXPECT_EQ(Run.Lines("begin").size(), 2U);
  EXPECT_EQ(ListTree(Out()), (std::vector<std::string>{"a.txt", "c.dat"}));
  EXPECT_EQ(Run.UnZip.Run().TotalUnpackedSize, 11 + 11) << "the unlisted entry is not counted";
}

class WalkLocalHeaders : public WalkDamaged {
 protected:
  void SetUp() override {
    WalkDamaged::SetUp();
    if (IsSkipped()) return;
    // The central directory is damaged where the end record says it starts.
    const std::size_t Central = NthInFile(Archive(), kCentralSignature, 0);
    ASSERT_NE(Central, std::string::npos);
    PatchFile(Archive(), Central, std::string("PK\0\0", 4));
  }
};

TEST_F(WalkLocalHeaders, WithoutAHandlerTheLocalHeadersAreWalked) {
  TRecordedExtraction Run(Archive(), Out());
  EXPECT_EQ(Run.UnZip.ZipState().HeaderState, THeaderTypeState{THeaderType::htLocal});
  EXPECT_EQ(Run.Run(), 3);
  EXPECT_EQ(ReadBytes(Out() / "b.txt"), "second file\n");
  EXPECT_EQ(Run.Lines("end PASS").size(), 3U);
  EXPECT_TRUE(Run.Lines("error").empty());
}

TEST_F(WalkLocalHeaders, AHandlerThatLeavesCancelSetStopsEverything) {
  TRecordedExtraction Run(Archive(), Out());
  int Calls = 0;
  THeaderTypeState Seen;
  Run.UnZip.OnCorruptZipHeader = [&](TZipCommon*, THeaderTypeState HeadFlag, bool& Cancel) {
    ++Calls;
    Seen = HeadFlag;
    EXPECT_TRUE(Cancel) << "Cancel is preset";
  };
  EXPECT_EQ(Run.Run(), 0);
  EXPECT_EQ(Calls, 1);
  EXPECT_EQ(Seen, THeaderTypeState{THeaderType::htLocal});
  EXPECT_TRUE(Run.Lines("begin").empty());
  EXPECT_FALSE(fs::exists(Out()));
  EXPECT_EQ(Run.Log, (std::vector<std::string>{"activate", "elapsed", "deactivate"}));
}

TEST_F(WalkLocalHeaders, AHandlerThatClearsCancelLetsTheWalkGoOn) {
  TRecordedExtraction Run(Archive(), Out());
  Run.UnZip.OnCorruptZipHeader = [](TZipCommon*, THeaderTypeState, bool& Cancel) {
    Cancel = false;
  };
  EXPECT_EQ(Run.Run(), 3);
  EXPECT_EQ(ListTree(Out()), (std::vector<std::string>{"a.txt", "b.txt", "c.dat"}));
}

TEST_F(WalkDamaged, OnlyEntriesThatPassTheFileSpecAreListedAndCounted) {
  TRecordedExtraction Run(Archive(), Out());
  Run.UnZip.FileSpec = {"*.txt"};
  EXPECT_EQ(Run.Run(), 2);
  EXPECT_EQ(ListTree(Out()), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(Run.UnZip.Run().TotalUnpackedSize, 11 + 12);
  EXPECT_EQ(Run.UnZip.Run().TotalPackedSize, 11 + 12);
}

TEST(WalkTotals, AnEncryptedEntryCountsItsPackedSizeWithoutTheEncryptionHeader) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
  TempDir Work;
  WriteBytes(Work / "in/secret.bin", NoiseBytes(88, 3));
  ASSERT_TRUE(RunShellIn(Work / "in", "zip -q -0 -X -P pw ../a.zip secret.bin"));
  TRecordedExtraction Run(Work / "a.zip", Work / "out");
  Run.UnZip.Passwords = {"pw"};
  EXPECT_EQ(Run.Run(), 1);
  EXPECT_EQ(Run.UnZip.Run().TotalPackedSize, 88) << "compressed size 100 less 12";
  EXPECT_EQ(Run.UnZip.Run().TotalUnpackedSize, 88);
  EXPECT_EQ(ReadBytes(Work / "out/secret.bin"), NoiseBytes(88, 3));
}

TEST(WalkTotals, NewestEntryDateIsTheLatestDosDateOfTheListedEntries) {
  if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
  TempDir Work;
  ASSERT_TRUE(
      RunPython(Work.path(),
                "import zipfile\n"
                "with zipfile.ZipFile('a.zip', 'w') as z:\n"
                "    z.writestr(zipfile.ZipInfo('old.txt', (1999, 12, 31, 23, 59, 58)), 'x')\n"
                "    z.writestr(zipfile.ZipInfo('new.txt', (2024, 2, 29, 12, 30, 0)), 'y')\n"
                "    z.writestr(zipfile.ZipInfo('mid.txt', (2010, 6, 15, 8, 0, 0)), 'z')\n"));
  TRecordedExtraction Run(Work / "a.zip", Work / "out");
  EXPECT_EQ(Run.Run(), 3);
  const std::uint32_t Date = (2024 - 1980) << 9 | 2 << 5 | 29;
  const std::uint32_t Time = 12 << 11 | 30 << 5;
  EXPECT_EQ(static_cast<std::uint32_t>(Run.UnZip.Run().NewestEntryDate), Date << 16 | Time);
}

}  // namespace
}  // namespace ruvevid::walk_test
