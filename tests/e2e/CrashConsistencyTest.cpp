// An install killed at any of its steps, and then a recovery killed in its turn, leaves the
// program folder holding exactly the old files or exactly the new ones once the updater has
// started again (with the update server gone), and none of the install's own files.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/ServerProcess.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::TFileSet;

class CrashConsistencyTest : public testing::Test {
 protected:
  void SetUp() override {
    Child = test::FindBuiltProgram("ruvevid-install-child");
    if (Child.empty()) GTEST_SKIP() << "ruvevid-install-child is not built";
    // Ten files the update replaces, three it leaves alone.
    for (int I = 0; I < 10; ++I)
      Old["lib/part" + std::to_string(I) + ".dll"] = "old " + std::to_string(I);
    Old["Ruvevid.exe"] = "old program";
    Old["notes/user.txt"] = "the user's own notes";
    Old["config.ini"] = "[Options]\nSize=A4\n";
    TFileSet Update;
    for (int I = 0; I < 10; ++I) {
      Update["lib/part" + std::to_string(I) + ".dll"] = std::string(3000 + I, 'a' + I);
    }
    for (int I = 0; I < 14; ++I) {
      Update["data/set" + std::to_string(I % 3) + "/file" + std::to_string(I) + ".dat"] =
          std::string(2000 + I, 'k' + I % 5);
    }
    Update["Ruvevid.exe"] = "#!/bin/sh\n";
    New = Old;
    for (const auto& [Name, Bytes] : Update) New[Name] = Bytes;
    test::MakeStoredZip(Update, {"Ruvevid.exe"}, test::TZipMaker::zmInfoZip,
                        ServerRoot.path() / "HTTP" / "Ruvevid" / "Roduvov0.zip");
    Server = std::make_unique<test::ServerProcess>(ServerRoot.path());
  }

  // One start of the updater over the program folder; its wait status.
  int Start(const std::string& Url, long KillAt) {
    return test::RunToEnd({Child.string(), Folder().string(), Url, std::to_string(KillAt)}, 30s);
  }
  fs::path Folder() const { return Work.path() / "program"; }

  fs::path Child;
  test::TempDir ServerRoot;
  test::TempDir Work;
  std::unique_ptr<test::ServerProcess> Server;
  TFileSet Old;
  TFileSet New;
};

bool Killed(int Status) {
  return WIFSIGNALED(Status) && WTERMSIG(Status) == SIGKILL;
}

TEST_F(CrashConsistencyTest, EveryKillLeavesTheOldOrTheNewFiles) {
  const std::string Url = Server->url("/HTTP/Ruvevid/Roduvov0.zip");
  const std::string Gone =
      "127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/Roduvov0.zip";
  std::map<std::string, int> Outcomes;
  long KillAt = 1;
  for (;; ++KillAt) {
    fs::remove_all(Folder());
    test::WriteFileSet(Folder(), Old);
    const int Status = Start(Url, KillAt);
    if (!Killed(Status)) {
      // Past the last step: the install ran through.
      EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
      EXPECT_EQ(test::ReadFileSet(Folder(), {"Daz.dat"}), New);
      break;
    }
    // The next start puts the folder right; it may be killed in its turn, and the one after
    // must finish the job.
    Start(Gone, 2);
    const int Recovered = Start(Gone, 0);
    EXPECT_TRUE(WIFEXITED(Recovered) && WEXITSTATUS(Recovered) == 1) << "killed at " << KillAt;
    const TFileSet After = test::ReadFileSet(Folder(), {"Daz.dat"});
    const bool IsOld = After == Old;
    const bool IsNew = After == New;
    EXPECT_TRUE(IsOld || IsNew) << "killed at step " << KillAt;
    ++Outcomes[IsNew ? "new" : IsOld ? "old" : "broken"];
  }
  RecordProperty("Steps", static_cast<int>(KillAt - 1));
  std::printf("killed at %ld steps: %d old, %d new\n", KillAt - 1, Outcomes["old"],
              Outcomes["new"]);
  EXPECT_GE(KillAt - 1, 50) << "steps at which the install was killed";
  EXPECT_GT(Outcomes["old"], 0);
  EXPECT_GT(Outcomes["new"], 0);
  EXPECT_EQ(Outcomes["broken"], 0);
}

}  // namespace
}  // namespace ruvevid
