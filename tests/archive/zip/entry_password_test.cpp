// Encrypted stored entries: the right password, a wrong one, none; once the password flow has
// failed, every later encrypted entry of the run is skipped without another prompt while plain
// entries are extracted as usual.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WalkSupport.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

class EntryPasswords : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    WriteBytes(Work / "in/e1.txt", "first secret\n");
    WriteBytes(Work / "in/p.txt", "plain\n");
    WriteBytes(Work / "in/e2.txt", "second secret\n");
    ASSERT_TRUE(MakeEncryptedArchive(Work / "in",
                                     "zip -q -0 -X -P right ../a.zip e1.txt && "
                                     "zip -q -0 -X ../a.zip p.txt && "
                                     "zip -q -0 -X -P right ../a.zip e2.txt",
                                     Work / "a.zip", {"wrong", "guess"}));
  }
  fs::path Out() const { return Work / "out"; }
  TempDir Work;
};

// The set-up's guard against wrong passwords that pass the check byte sees the right one pass.
TEST_F(EntryPasswords, TheArchiveMakerSeesARightPasswordPassTheCheck) {
  EXPECT_FALSE(MakeEncryptedArchive(Work / "in", "zip -q -0 -X -P right ../b.zip e1.txt",
                                    Work / "b.zip", {"right"}));
}

TEST_F(EntryPasswords, TheRightPasswordExtractsEveryEntry) {
  TRecordedExtraction Run(Work / "a.zip", Out());
  Run.UnZip.Passwords = {"wrong", "right"};
  EXPECT_EQ(Run.Run(), 3);
  EXPECT_EQ(Run.Lines("end PASS").size(), 3U);
  EXPECT_EQ(ReadBytes(Out() / "e1.txt"), "first secret\n");
  EXPECT_EQ(ReadBytes(Out() / "e2.txt"), "second secret\n");
  EXPECT_TRUE(Run.Lines("error").empty());
}

struct TPasswordCase {
  const char* Label;
  std::vector<std::string> Passwords;
};

class EntryPasswordFails : public EntryPasswords,
                           public ::testing::WithParamInterface<TPasswordCase> {};

TEST_P(EntryPasswordFails, LaterEncryptedEntriesAreSkippedWithoutAnotherCheck) {
  WriteBytes(Out() / "e2.txt", "old e2\n");
  TRecordedExtraction Run(Work / "a.zip", Out());
  Run.UnZip.Passwords = GetParam().Passwords;
  EXPECT_EQ(Run.Run(), 1);
  EXPECT_EQ(Run.Lines("error"), std::vector<std::string>{"error 25270 e1.txt|OnGetPassword|0"});
  // A skipped entry's end names the entry, not its output path.
  EXPECT_EQ(Run.Lines("end"),
            (std::vector<std::string>{"end FAIL e1.txt", "end PASS p.txt", "end FAIL e2.txt"}));
  EXPECT_EQ(ListTree(Out()), (std::vector<std::string>{"e2.txt", "p.txt"}));
  EXPECT_EQ(ReadBytes(Out() / "e2.txt"), "old e2\n");
  EXPECT_EQ(Run.UnZip.Run().BytesRemaining, 0);
}

INSTANTIATE_TEST_SUITE_P(Passwords, EntryPasswordFails,
                         ::testing::Values(TPasswordCase{"None", {}},
                                           TPasswordCase{"Wrong", {"wrong"}}),
                         [](const auto& Info) { return std::string(Info.param.Label); });

TEST_F(EntryPasswords, TheApplicationIsAskedOnlyForTheFirstEncryptedEntry) {
  TRecordedExtraction Run(Work / "a.zip", Out());
  int Prompts = 0;
  Run.UnZip.OnGetPassword = [&](TZipCommon*, const std::string&, std::string& Password,
                                bool& TryAgain) {
    ++Prompts;
    Password = "guess";
    TryAgain = true;
  };
  Run.UnZip.PasswordAttempts = 2;
  EXPECT_EQ(Run.Run(), 1);
  EXPECT_EQ(Prompts, 2);
  EXPECT_EQ(Run.Lines("error 26517").size(), 2U);
  EXPECT_EQ(Run.Lines("end FAIL").size(), 2U);
}

TEST_F(EntryPasswords, APasswordGivenByTheApplicationOpensBothEntries) {
  TRecordedExtraction Run(Work / "a.zip", Out());
  int Prompts = 0;
  Run.UnZip.OnGetPassword = [&](TZipCommon*, const std::string&, std::string& Password, bool&) {
    ++Prompts;
    Password = "right";
  };
  EXPECT_EQ(Run.Run(), 3);
  EXPECT_EQ(Prompts, 1);
  EXPECT_EQ(ReadBytes(Out() / "e2.txt"), "second secret\n");
}

}  // namespace
}  // namespace ruvevid::walk_test
