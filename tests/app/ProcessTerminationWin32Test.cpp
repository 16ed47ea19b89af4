// The lookup and termination by image name against real Windows processes: copies of the tests'
// sleeper program under the names looked up.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/ProcessTermination.h"
#include "support/Sleeper.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using namespace std::chrono_literals;

// The name with this test process's id before its extension: the termination ends every process
// of a name on the machine, so tests running side by side must not share names.
std::string OwnName(const std::string& Name) {
  const std::size_t Dot = Name.rfind('.');
  return Name.substr(0, Dot) + "-" + std::to_string(::GetCurrentProcessId()) + Name.substr(Dot);
}

struct TRealCase {
  const char* Name;
  std::vector<std::string> MatchingImages;
  std::string Asked;
};

class RealProcessWin32Test : public ::testing::TestWithParam<TRealCase> {};

TEST_P(RealProcessWin32Test, AllMatchesEndOthersStay) {
  test::TempDir Dir;
  const TRealCase& Case = GetParam();
  std::vector<std::unique_ptr<test::TSleeper>> Matching;
  for (std::size_t I = 0; I < Case.MatchingImages.size(); ++I) {
    const std::filesystem::path Folder = Dir / std::to_string(I);
    std::filesystem::create_directory(Folder);
    Matching.push_back(std::make_unique<test::TSleeper>(Folder, OwnName(Case.MatchingImages[I])));
  }
  const test::TSleeper Other(Dir.path(), OwnName("RovuzurB.exe"));

  EXPECT_TRUE(IsProcessRunning(OwnName(Case.Asked)));
  EXPECT_NE(KillProcess(OwnName(Case.Asked)), 0);
  for (const auto& Child : Matching) {
    EXPECT_EQ(Child->WaitForExit(5s), std::optional<std::uint32_t>(1))
        << "process " << Child->Id() << " still runs";
  }
  EXPECT_FALSE(Other.WaitForExit(0ms).has_value());
  EXPECT_FALSE(IsProcessRunning(OwnName(Case.Asked)));
  EXPECT_TRUE(IsProcessRunning(OwnName("RovuzurB.exe")));
}

INSTANTIATE_TEST_SUITE_P(
    Children, RealProcessWin32Test,
    ::testing::Values(TRealCase{"OneInstance", {"RovuzurA.exe"}, "RovuzurA.exe"},
                      TRealCase{"TwoInstances", {"RovuzurA.exe", "RovuzurA.exe"}, "RovuzurA.exe"},
                      TRealCase{"CaseDiffers", {"rovuzura.EXE"}, "RovuzurA.exe"},
                      TRealCase{"MixedCase", {"RovuzurA.exe", "ROVUZURA.EXE"}, "rOvUzUrA.eXe"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(KillProcessWin32, NothingMatchedGivesZero) {
  test::TempDir Dir;
  const test::TSleeper Other(Dir.path(), OwnName("RovuzurB.exe"));
  const std::string Absent = OwnName("NoSuchProgram.exe");
  EXPECT_FALSE(IsProcessRunning(Absent));
  EXPECT_EQ(KillProcess(Absent), 0);
  EXPECT_FALSE(Other.WaitForExit(0ms).has_value());
}

}  // namespace
}  // namespace ruvevid
