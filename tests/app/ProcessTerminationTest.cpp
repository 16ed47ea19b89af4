#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/ProcessTermination.h"
#include "support/ChildProgram.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using namespace std::chrono_literals;

// Real processes: copies of /bin/sleep under the names looked up.
struct RealCase {
  const char* Name;
  std::vector<std::string> MatchingImages;
  std::string Asked;
};

class RealProcessTest : public ::testing::TestWithParam<RealCase> {};

// The name with this test process's id before its extension: the termination ends every process
// of a name on the machine, so tests running side by side (and the end-to-end tests' RovuzurA.exe)
// must not share names.
std::string OwnName(const std::string& Name) {
  const std::size_t Dot = Name.rfind('.');
  return Name.substr(0, Dot) + "-" + std::to_string(::getpid()) + Name.substr(Dot);
}

TEST_P(RealProcessTest, AllMatchesEndOthersStay) {
  test::TempDir dir;
  const RealCase& c = GetParam();
  std::vector<std::unique_ptr<test::ChildProgram>> matching;
  for (std::size_t i = 0; i < c.MatchingImages.size(); ++i) {
    const std::filesystem::path folder = dir / std::to_string(i);
    std::filesystem::create_directory(folder);
    matching.push_back(std::make_unique<test::ChildProgram>(
        "/bin/sleep", folder, OwnName(c.MatchingImages[i]), std::vector<std::string>{"60"}));
  }
  test::ChildProgram other = test::SleepingProgram(dir.path(), OwnName("RovuzurB.exe"));

  EXPECT_TRUE(IsProcessRunning(OwnName(c.Asked)));
  EXPECT_NE(KillProcess(OwnName(c.Asked)), 0);
  for (const auto& child : matching) {
    const std::optional<int> status = child->WaitForExit(5s);
    ASSERT_TRUE(status.has_value()) << "process " << child->pid() << " still runs";
    EXPECT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), SIGKILL);
  }
  EXPECT_FALSE(other.WaitForExit(0ms).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Children, RealProcessTest,
    ::testing::Values(RealCase{"OneInstance", {"RovuzurA.exe"}, "RovuzurA.exe"},
                      RealCase{"TwoInstances", {"RovuzurA.exe", "RovuzurA.exe"}, "RovuzurA.exe"},
                      RealCase{"CaseDiffers", {"rovuzura.EXE"}, "RovuzurA.exe"},
                      RealCase{"MixedCase", {"RovuzurA.exe", "ROVUZURA.EXE"}, "rOvUzUrA.eXe"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(KillProcess, NothingMatchedGivesZero) {
  test::TempDir dir;
  test::ChildProgram other = test::SleepingProgram(dir.path(), "RovuzurB.exe");
  const std::string absent = "NoSuchProgram-" + std::to_string(other.pid()) + ".exe";
  EXPECT_FALSE(IsProcessRunning(absent));
  EXPECT_EQ(KillProcess(absent), 0);
  EXPECT_FALSE(other.WaitForExit(0ms).has_value());
}

}  // namespace
}  // namespace ruvevid
