// ruvevid-unzip as a child process: its event lines, its result line and its exit status.

#include <gtest/gtest.h>

#include <string>

#include "WalkSupport.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

test::TCommandRun RunTool(const std::string& Arguments) {
  const fs::path Tool = test::FindBuiltProgram("ruvevid-unzip");
  return test::RunCapturing("'" + Tool.string() + "' " + Arguments + " 2>/dev/null");
}

class UnzipTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::FindBuiltProgram("ruvevid-unzip").empty())
      GTEST_SKIP() << "ruvevid-unzip is not built in this build folder";
    if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    WriteBytes(Work / "in/a.txt", "alpha\n");
    WriteBytes(Work / "in/d/b.txt", "beta\n");
    ASSERT_TRUE(RunShellIn(Work / "in", "zip -q -0 -X ../a.zip a.txt d/ d/b.txt"));
  }
  std::string Out() const { return (Work / "out").string(); }
  TempDir Work;
};

TEST_F(UnzipTool, PrintsOneLinePerEventAndExitsWithZeroWhenAllPassed) {
  const test::TCommandRun Run = RunTool("'" + (Work / "a.zip").string() + "' '" + Out() + "'");
  EXPECT_EQ(Run.Status, 0);
  EXPECT_EQ(Run.Output,
            "activate\n"
            "begin 1 " +
                Out() +
                "/a.txt\n"
                "end PASS " +
                Out() +
                "/a.txt\n"
                "end PASS " +
                Out() +
                "/d/\n"
                "begin 2 " +
                Out() +
                "/d/b.txt\n"
                "end PASS " +
                Out() +
                "/d/b.txt\n"
                "deactivate\n"
                "result 2\n");
  EXPECT_EQ(ReadBytes(Work / "out/d/b.txt"), "beta\n");
}

TEST_F(UnzipTool, AFailedEntryGivesFailAndExitStatusOne) {
  PatchFile(Work / "a.zip", FindInFile(Work / "a.zip", "alpha"), "A");
  const test::TCommandRun Run = RunTool("'" + (Work / "a.zip").string() + "' '" + Out() + "'");
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Output.find("end FAIL " + Out() + "/a.txt\n"), std::string::npos);
  EXPECT_NE(Run.Output.find("result 1\n"), std::string::npos) << "only kept entries count";
}

TEST_F(UnzipTool, ErrorsAreTabSeparatedAndThePasswordOptionIsUsed) {
  WriteBytes(Work / "in/s.txt", "secret\n");
  ASSERT_TRUE(MakeEncryptedArchive(Work / "in", "zip -q -0 -X -P right ../s.zip s.txt",
                                   Work / "s.zip", {"wrong"}));
  const std::string Archive = "'" + (Work / "s.zip").string() + "' '" + Out() + "'";
  const test::TCommandRun Wrong = RunTool(Archive + " -p wrong");
  EXPECT_EQ(Wrong.Status, 1);
  EXPECT_NE(Wrong.Output.find("error 25270 " + Out() + "/s.txt\tOnGetPassword\t0\n"),
            std::string::npos)
      << Wrong.Output;
  EXPECT_NE(Wrong.Output.find("end FAIL s.txt\n"), std::string::npos) << Wrong.Output;
  const test::TCommandRun Right = RunTool(Archive + " -p right");
  EXPECT_EQ(Right.Status, 0) << Right.Output;
  EXPECT_EQ(ReadBytes(Work / "out/s.txt"), "secret\n");
}

// A split set read from its last part; a stored file crosses both part boundaries.
class UnzipToolSplitSet : public UnzipTool {
 protected:
  void SetUp() override {
    UnzipTool::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    WriteBytes(Work / "big/a.bin", Bytes);
    ASSERT_TRUE(RunShellIn(Work / "big", "zip -q -s 64k -n .bin ../set.zip a.bin"));
    ASSERT_TRUE(fs::exists(Work / "set.z02")) << "zip -s made fewer parts than expected";
  }
  std::string Part(const char* Name) const { return (Work / Name).string(); }
  std::string Arguments() const { return "'" + Part("set.zip") + "' '" + Out() + "'"; }
  const std::string Bytes = NoiseBytes(150000, 5);
};

TEST_F(UnzipToolSplitSet, TakesEveryProposedPart) {
  const test::TCommandRun Run = RunTool(Arguments());
  EXPECT_EQ(Run.Status, 0) << Run.Output;
  EXPECT_EQ(Run.Output, "activate\nvolume 1 " + Part("set.z01") + "\nbegin 1 " + Out() +
                            "/a.bin\nvolume 2 " + Part("set.z02") + "\nvolume 3 " +
                            Part("set.zip") + "\nend PASS " + Out() +
                            "/a.bin\ndeactivate\nresult 1\n");
  EXPECT_TRUE(ReadBytes(Work / "out/a.bin") == Bytes);
}

TEST_F(UnzipToolSplitSet, AMissingPartCancelsTheRun) {
  fs::remove(Work / "set.z02");
  const test::TCommandRun Run = RunTool(Arguments());
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Output.find("volume 2 " + Part("set.z02") + "\nerror 25443 " + Part("set.z02") +
                            "\t\t2\n"),
            std::string::npos)
      << Run.Output;
  EXPECT_NE(Run.Output.find("end FAIL " + Out() + "/a.bin\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(Work / "out/a.bin"));
}

TEST_F(UnzipTool, AMissingArchiveOrAWrongCommandLineFails) {
  EXPECT_EQ(RunTool("'" + (Work / "none.zip").string() + "' '" + Out() + "'").Status, 1);
  EXPECT_EQ(RunTool("only-one-argument").Status, 2);
  const std::string Archive = "'" + (Work / "a.zip").string() + "' '" + Out() + "'";
  EXPECT_EQ(RunTool(Archive + " -j").Status, 2);
  EXPECT_EQ(RunTool(Archive + " -j two").Status, 2);
  EXPECT_EQ(RunTool(Archive + " -j -1").Status, 2);
}

// -j sets the decoding threads; the lines and the files are those of -j 1 whatever the count.
class UnzipToolThreads : public UnzipTool, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnzipToolThreads, GivesTheLinesAndFilesOfOneThread) {
  for (int I = 0; I < 40; ++I)
    WriteBytes(Work / ("in/m/" + std::to_string(I) + ".bin"), NoiseBytes(5000u * I, I));
  ASSERT_TRUE(RunShellIn(Work / "in", "zip -q -r -X ../m.zip m a.txt"));
  const std::string Archive = "'" + (Work / "m.zip").string() + "' '";
  const test::TCommandRun One = RunTool(Archive + (Work / "one").string() + "' -j 1");
  const test::TCommandRun Many = RunTool(Archive + Out() + "' " + GetParam());
  EXPECT_EQ(One.Status, 0) << One.Output;
  EXPECT_EQ(Many.Status, 0) << Many.Output;
  std::string Expected = One.Output;
  for (std::size_t At = 0; (At = Expected.find((Work / "one").string(), At)) != std::string::npos;)
    Expected.replace(At, (Work / "one").string().size(), Out());
  EXPECT_EQ(Many.Output, Expected);
  EXPECT_TRUE(test::ReadFileSet(Work / "out") == test::ReadFileSet(Work / "one"));
  EXPECT_EQ(ReadBytes(Work / "out/m/39.bin"), NoiseBytes(5000u * 39, 39));
}

INSTANTIATE_TEST_SUITE_P(Counts, UnzipToolThreads, ::testing::Values("-j 2", "-j 4", "-j 0", ""),
                         [](const auto& Info) {
                           const std::string Count = Info.param;
                           return Count.empty() ? std::string("Default") : "j" + Count.substr(3);
                         });

}  // namespace
}  // namespace ruvevid::walk_test
