// What a whole run reports: the archive's percentage over entries of every kind and fate, a disk
// that fills up, and the symbolic-link guard below a relative output folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "WalkSupport.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

// Stored and deflated entries, one of them damaged and one declined: the archive's percentage
// never falls back and ends at 100.
TEST(WalkRun, TheArchivePercentageNeverFallsBack) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
  TempDir Work;
  std::string Text;
  for (int i = 0; i < 20000; ++i) Text += "line " + std::to_string(i) + "\n";
  WriteBytes(Work / "in/1.bin", NoiseBytes(300000, 1));
  WriteBytes(Work / "in/2.txt", Text);
  WriteBytes(Work / "in/3.bin", NoiseBytes(200000, 3));
  WriteBytes(Work / "in/4.txt", Text);
  WriteBytes(Work / "in/5.txt", Text);
  ASSERT_TRUE(RunShellIn(Work / "in", "zip -q -n .bin ../a.zip 1.bin 2.txt 3.bin 4.txt 5.txt"));
  // The deflated 4.txt breaks off early; 5.txt is declined.
  PatchFile(Work / "a.zip", NthInFile(Work / "a.zip", kLocalSignature, 3) + 30 + 5 + 100,
            std::string(64, '\xFF'));
  TRecordedExtraction Run(Work / "a.zip", Work / "out");
  Run.AfterBegin = [](const std::string& Name, bool& Extract) { Extract = Name != "5.txt"; };
  std::vector<int> Seen;
  Run.UnZip.OnProgress = [&](TZipCommon*, std::uint8_t, std::uint8_t ByArchive) {
    Seen.push_back(ByArchive);
  };
  EXPECT_EQ(Run.Run(), 3);
  ASSERT_FALSE(Seen.empty());
  EXPECT_TRUE(std::is_sorted(Seen.begin(), Seen.end()));
  EXPECT_EQ(Seen.back(), 100);
  EXPECT_EQ(Run.Lines("end FAIL"), std::vector<std::string>{"end FAIL 4.txt"});
}

// No entry selected is no failure: the archive was read.
TEST(WalkRun, AFileSpecThatSelectsNothingIsNoError) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
  TempDir Work;
  WriteBytes(Work / "in/a.txt", "a\n");
  ASSERT_TRUE(RunShellIn(Work / "in", "zip -q ../a.zip a.txt"));
  TRecordedExtraction Run(Work / "a.zip", Work / "out");
  Run.UnZip.FileSpec = {"*.none"};
  EXPECT_EQ(Run.Run(), 0);
  EXPECT_EQ(Run.Log, (std::vector<std::string>{"activate", "elapsed", "deactivate"}));
}

// A guard that holds for an absolute ExtractDir holds for a relative one (taken from the root).
TEST(WalkRun, ALinkBelowARelativeOutputFolderIsNeverWrittenThrough) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
  TempDir Work;
  WriteBytes(Work / "in/link/x.txt", "x\n");
  ASSERT_TRUE(RunShellIn(Work / "in", "zip -q -r ../a.zip link"));
  fs::create_directories(Work / "out");
  fs::create_directories(Work / "elsewhere");
  fs::create_directory_symlink(Work / "elsewhere", Work / "out/link");
  TRecordedExtraction Run(Work / "a.zip", Work / "out");
  Run.UnZip.SetExtractDir((Work / "out").string().substr(1));
  ASSERT_NE(Run.UnZip.ExtractDir().front(), '/');
  EXPECT_EQ(Run.Run(), 0);
  EXPECT_FALSE(Run.Lines("error 25235").empty());
  EXPECT_FALSE(fs::exists(Work / "elsewhere/x.txt"));
}

// A disk that fills up ends each entry at its first failed write with one report. The full disk
// is a small tmpfs in a mount namespace of the extractor's own.
TEST(WalkRun, AFullDiskEndsTheEntryWithOneReport) {
  const fs::path Tool = test::FindBuiltProgram("ruvevid-unzip");
  if (Tool.empty() || !HaveProgram("zip") || !HaveProgram("unshare"))
    GTEST_SKIP() << "ruvevid-unzip, zip or unshare missing";
  if (::geteuid() != 0 || !RunShellIn("/", "unshare -m true")) GTEST_SKIP() << "no mount namespace";
  TempDir Work;
  WriteBytes(Work / "in/a.bin", NoiseBytes(1 << 20, 4));
  WriteBytes(Work / "in/b.bin", NoiseBytes(1 << 20, 5));
  ASSERT_TRUE(RunShellIn(Work / "in", "zip -q ../a.zip a.bin && zip -q -0 ../a.zip b.bin"));
  fs::create_directories(Work / "out");
  WriteBytes(Work / "run.sh", "mount -t tmpfs -o size=256k tmpfs out && '" + Tool.string() +
                                  "' a.zip out > log.txt\n");
  if (!RunShellIn(Work.path(), "unshare -m sh run.sh || test -s log.txt"))
    GTEST_SKIP() << "no tmpfs could be mounted here";
  const std::string Log = ReadBytes(Work / "log.txt");
  std::size_t Reports = 0;
  for (std::size_t At = Log.find("error 25160"); At != std::string::npos;
       At = Log.find("error 25160", At + 1))
    ++Reports;
  EXPECT_EQ(Reports, 2U) << Log;
  EXPECT_NE(Log.find("result 0"), std::string::npos) << Log;
}

}  // namespace
}  // namespace ruvevid::walk_test
