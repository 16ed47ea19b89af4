// The install's journal, a commit whose move fails, and a start that finds the program folder in
// another updater's hands or cannot put it right.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/FailureTexts.h"
#include "app/FakeUpdaterView.h"
#include "app/InstallTransaction.h"
#include "app/Updater.h"
#include "platform/FolderLock.h"
#include "support/FakeApplication.h"
#include "support/FileSet.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using test::TFileSet;

struct JournalCase {
  std::string Name;
  std::string Text;
  TJournalState State;
  std::size_t Moves;
};

class JournalParseTest : public testing::TestWithParam<JournalCase> {};

TEST_P(JournalParseTest, OnlyWholeLinesCount) {
  const TInstallJournal Journal = TInstallJournal::Parse(GetParam().Text);
  EXPECT_EQ(Journal.State, GetParam().State);
  EXPECT_EQ(Journal.Moves.size(), GetParam().Moves);
}

const std::string kList =
    "ruvevid install journal 1\nfolder data\nadd data/a.dat\nreplace readme.txt\nend\n";

INSTANTIATE_TEST_SUITE_P(
    Texts, JournalParseTest,
    testing::Values(
        JournalCase{"Listed", kList, TJournalState::jsListed, 2},
        JournalCase{"Committing", kList + "committing\n", TJournalState::jsCommitting, 2},
        JournalCase{"RollingBack", kList + "committing\nrolling-back\n",
                    TJournalState::jsRollingBack, 2},
        JournalCase{"MarkCutShort", kList + "committing\nrolling-ba", TJournalState::jsCommitting,
                    2},
        JournalCase{"EndCutShort", kList.substr(0, kList.size() - 1), TJournalState::jsIncomplete,
                    0},
        JournalCase{"NameCutShort", kList.substr(0, 50), TJournalState::jsIncomplete, 0},
        JournalCase{"Empty", "", TJournalState::jsIncomplete, 0},
        JournalCase{"OtherFile", "[Update]\nWork=False\n", TJournalState::jsIncomplete, 0}),
    [](const auto& Info) { return Info.param.Name; });

TEST(InstallJournalTest, AnyNameSurvivesTheJournal) {
  TInstallJournal Journal;
  Journal.Folders = {"100% done"};
  Journal.Moves = {{"100% done/line\nfeed\r.txt", true}, {"%0A", false}};
  const TInstallJournal Read = TInstallJournal::Parse(Journal.ListText());
  EXPECT_EQ(Read.State, TJournalState::jsListed);
  EXPECT_EQ(Read.Folders, Journal.Folders);
  ASSERT_EQ(Read.Moves.size(), 2u);
  EXPECT_EQ(Read.Moves[0].Name, Journal.Moves[0].Name);
  EXPECT_TRUE(Read.Moves[0].Replaces);
  EXPECT_EQ(Read.Moves[1].Name, "%0A");
  EXPECT_FALSE(Read.Moves[1].Replaces);
  EXPECT_TRUE(IsInstallOwnName(".RUVEVID-Staging/x"));
  EXPECT_TRUE(IsInstallOwnName(".ruvevid-journal"));
  EXPECT_FALSE(IsInstallOwnName("data/.ruvevid-journal"));
}

// Thrown from a step to leave the install where a kill would have left it.
struct TKilled : std::runtime_error {
  TKilled() : std::runtime_error("killed") {}
};

class InstallTransactionTest : public testing::Test {
 protected:
  void SetUp() override {
    test::WriteFileSet(Program.path(), Old);
    test::WriteFileSet(Program.path() / ".ruvevid-staging", Staged);
  }
  std::string Folder() const { return Program.path().string() + "/"; }
  // Someone else's folder where a new file should go.
  void BlockPlaceOf(const std::string& Name) {
    test::WriteFileSet(Program.path(), {{Name + "/blocker", "in the way"}});
  }
  TFileSet OldAndBlocker(const std::string& Name) const {
    TFileSet Files = Old;
    Files[Name + "/blocker"] = "in the way";
    return Files;
  }

  test::TempDir Program;
  const TFileSet Old = {{"a.txt", "old a"}, {"c.txt", "old c"}, {"keep.txt", "mine"}};
  const TFileSet Staged = {
      {"a.txt", "new a"}, {"b/b.txt", "new b"}, {"c.txt", "new c"}, {"d/e/d.txt", "new d"}};
};

TEST_F(InstallTransactionTest, AFailedMovePutsEverythingBack) {
  // After the first file, something takes the second one's place: it cannot be moved there.
  int Placed = 0;
  TInstallTransaction Install(Folder(), [&](const char* Point) {
    if (std::string(Point) == "new file placed" && ++Placed == 1) BlockPlaceOf("b/b.txt");
  });
  EXPECT_EQ(Install.Commit(), TCommitResult::crRolledBack);
  EXPECT_EQ(test::ReadFileSet(Program.path()), OldAndBlocker("b/b.txt"));
}

TEST_F(InstallTransactionTest, AnUndoCutShortIsFinishedAtTheNextStart) {
  int Placed = 0;
  int Restored = 0;
  TInstallTransaction Install(Folder(), [&](const char* Point) {
    const std::string Step = Point;
    if (Step == "new file placed" && ++Placed == 3) BlockPlaceOf("d/e/d.txt");
    if (Step == "file restored" && ++Restored == 2) throw TKilled();
  });
  EXPECT_THROW(Install.Commit(), TKilled);
  EXPECT_EQ(TInstallTransaction(Folder()).Recover(), TRecoveryResult::rrRecovered);
  EXPECT_EQ(test::ReadFileSet(Program.path()), OldAndBlocker("d/e/d.txt"));
}

TEST_F(InstallTransactionTest, ACommitCutShortIsFinishedAtTheNextStart) {
  int Placed = 0;
  TInstallTransaction Install(Folder(), [&](const char* Point) {
    if (std::string(Point) == "new file placed" && ++Placed == 2) throw TKilled();
  });
  EXPECT_THROW(Install.Commit(), TKilled);
  EXPECT_EQ(TInstallTransaction(Folder()).Recover(), TRecoveryResult::rrRecovered);
  TFileSet New = Old;
  for (const auto& [Name, Bytes] : Staged) New[Name] = Bytes;
  EXPECT_EQ(test::ReadFileSet(Program.path()), New);
}

// A start that must not begin: the folder is another updater's, or cannot be put right.
class RefusedStartTest : public testing::Test {
 protected:
  TUpdaterServices Services() {
    TUpdaterServices Services;
    Server.On("/Roduvov0.zip", test::FullResponse(200, "bytes"));
    Services.UrlText = Server.Url("/Roduvov0.zip");
    Services.ProgramFolder = [this] { return Program.path().string() + "/"; };
    Services.IsProcessRunning = [this](const std::string&) {
      ++ProcessLookups;
      return false;
    };
    Services.WriteSetting = [this](const std::string&, const std::string&, const std::string&,
                                   const std::string&) {
      ++SettingWrites;
      return true;
    };
    return Services;
  }

  void ExpectRefused(const std::string& Text) {
    TfrmUpdater Updater(View, App, Services());
    Updater.FormCreate();
    Updater.FormResize();
    EXPECT_EQ(View.LabDown, Text);
    EXPECT_FALSE(View.ButtonEnabled(TUpdaterButton::btnCancel));
    EXPECT_FALSE(View.ButtonEnabled(TUpdaterButton::btnRedown));
    EXPECT_TRUE(View.ButtonEnabled(TUpdaterButton::btnClose));
    EXPECT_TRUE(Server.Requests().empty()) << "nothing is downloaded";
    EXPECT_EQ(ProcessLookups, 0) << "the running application is left alone";
    Updater.btnCloseClick();
    EXPECT_TRUE(App.Terminated());
    EXPECT_EQ(SettingWrites, 0);
    EXPECT_EQ(Updater.ExitCode(), 1);
  }

  test::TempDir Program;
  test::ScriptedHttpServer Server;
  test::FakeUpdaterView View;
  test::FakeApplication App;
  int ProcessLookups = 0;
  int SettingWrites = 0;
};

TEST_F(RefusedStartTest, AnotherUpdaterHoldsTheFolder) {
  TFolderLock Other;
  ASSERT_EQ(Other.Acquire(Program.path().string()), TFolderLockResult::flLocked);
  ExpectRefused(kTextBusy);
}

TEST_F(RefusedStartTest, AnInstallThatCannotBeFinished) {
  // The journal wants a folder where a file stands: the commit cannot be finished, and is undone.
  test::WriteFileSet(Program.path(), {{"data", "a file"}, {".ruvevid-staging/data/x.dat", "x"}});
  test::WriteBytes(Program.path() / ".ruvevid-journal",
                   "ruvevid install journal 1\nfolder data\nadd data/x.dat\nend\ncommitting\n");
  ExpectRefused(kTextCannotWrite);
  EXPECT_EQ(test::ReadFileSet(Program.path(), {".ruvevid-journal"}),
            (TFileSet{{"data", "a file"}}));
}

}  // namespace
}  // namespace ruvevid
