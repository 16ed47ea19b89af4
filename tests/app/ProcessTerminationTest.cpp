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

// A process table given as a list; records every termination asked of it.
class FakeProcessTable final : public IProcessTable {
 public:
  explicit FakeProcessTable(std::vector<TProcessEntry> Entries, bool SnapshotFails = false)
      : FEntries(std::move(Entries)), FSnapshotFails(SnapshotFails) {}

  std::unique_ptr<IProcessSnapshot> CreateSnapshot() override {
    if (FSnapshotFails) return nullptr;
    return std::make_unique<Snapshot>(FEntries);
  }
  int Terminate(const TProcessEntry& Entry) override {
    Terminated.push_back(Entry.th32ProcessID);
    return Entry.th32ProcessID == FUnkillable ? 0 : 1;
  }
  std::uint32_t CurrentProcessId() const override { return Self; }

  std::vector<std::uint32_t> Terminated;
  std::uint32_t Self = 4242;
  std::uint32_t FUnkillable = 0xFFFFFFFF;

 private:
  class Snapshot final : public IProcessSnapshot {
   public:
    explicit Snapshot(const std::vector<TProcessEntry>& Entries) : FEntries(Entries) {}
    bool First(TProcessEntry& Entry) override {
      FNext = 0;
      return Next(Entry);
    }
    bool Next(TProcessEntry& Entry) override {
      if (FNext >= FEntries.size()) return false;
      Entry = FEntries[FNext++];
      return true;
    }

   private:
    const std::vector<TProcessEntry>& FEntries;
    std::size_t FNext = 0;
  };

  std::vector<TProcessEntry> FEntries;
  bool FSnapshotFails;
};

TEST(NameRules, UpperCaseAsciiOnly) {
  EXPECT_EQ(UpperCaseAscii("RovuzurA.exe"), "ROVUZURA.EXE");
  EXPECT_EQ(UpperCaseAscii("az{`@[AZ09"), "AZ{`@[AZ09");
  EXPECT_EQ(UpperCaseAscii("\xC3\xA9\xEA\xB0\x80"), "\xC3\xA9\xEA\xB0\x80");
  EXPECT_EQ(UpperCaseAscii(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(NameRules, BareFileNameAfterLastSeparator) {
  EXPECT_EQ(BareFileName("C:\\Program Files\\Ruvevid\\RovuzurA.exe"), "RovuzurA.exe");
  EXPECT_EQ(BareFileName("C:RovuzurA.exe"), "RovuzurA.exe");
  EXPECT_EQ(BareFileName("/opt/ruvevid/RovuzurA.exe"), "RovuzurA.exe");
  EXPECT_EQ(BareFileName("a\\b/c:d"), "d");
  EXPECT_EQ(BareFileName("RovuzurA.exe"), "RovuzurA.exe");
  EXPECT_EQ(BareFileName("folder\\"), "");
  EXPECT_EQ(BareFileName(""), "");
}

struct LookupCase {
  const char* Name;
  std::vector<TProcessEntry> Snapshot;
  std::string Asked;
  bool Running;                           // IsProcessRunning's answer
  std::vector<std::uint32_t> Terminated;  // what KillProcess ends, in order
};

class ProcessLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ProcessLookupTest, IsProcessRunning) {
  FakeProcessTable table(GetParam().Snapshot);
  EXPECT_EQ(IsProcessRunning(table, GetParam().Asked), GetParam().Running);
  EXPECT_TRUE(table.Terminated.empty());
}

TEST_P(ProcessLookupTest, KillProcess) {
  FakeProcessTable table(GetParam().Snapshot);
  const int result = KillProcess(table, GetParam().Asked);
  EXPECT_EQ(table.Terminated, GetParam().Terminated);
  EXPECT_EQ(result, GetParam().Terminated.empty() ? 0 : 1);
}

const LookupCase kLookupCases[] = {
    {"BareNames", {{10, "init"}, {20, "RovuzurA.exe"}, {30, "bash"}}, "RovuzurA.exe", true, {20}},
    {"CaseDiffers", {{20, "rOVUZURa.EXE"}}, "RovuzurA.exe", true, {20}},
    {"TwoInstances", {{20, "RovuzurA.exe"}, {21, "ROVUZURA.EXE"}}, "RovuzurA.exe", true, {20, 21}},
    {"OtherNameLeftAlone",
     {{20, "RovuzurB.exe"}, {21, "RovuzurA.exe.old"}},
     "RovuzurA.exe",
     false,
     {}},
    {"NothingRunning", {}, "RovuzurA.exe", false, {}},
    // A snapshot with full paths: the lookup compares the bare argument with the whole path and
    // misses, while the termination matches through the path's bare file name.
    {"FullPathsInSnapshot",
     {{20, "C:\\Program Files\\Ruvevid\\RovuzurA.exe"}, {21, "/opt/ruvevid/ROVUZURA.exe"}},
     "RovuzurA.exe",
     false,
     {20, 21}},
    // A full path asked: the lookup takes its bare name, the termination compares it whole.
    {"FullPathAsked", {{20, "RovuzurA.exe"}}, "C:\\Ruvevid\\RovuzurA.exe", true, {}},
    {"FullPathAskedMatchesSameFullPath",
     {{20, "C:\\Ruvevid\\RovuzurA.exe"}},
     "c:\\ruvevid\\rovuzura.exe",
     false,
     {20}},
    {"ProcessIdZero", {{0, "RovuzurA.exe"}}, "RovuzurA.exe", false, {0}},
    {"NonAsciiComparedByteForByte", {{20, "\xC3\xA9.exe"}}, "\xC3\x89.exe", false, {}},
    {"NonAsciiSameBytes", {{20, "\xEB\xA3\xA8.exe"}}, "\xEB\xA3\xA8.EXE", true, {20}},
    // The walking process itself is never ended, whatever its name.
    {"SelfSkipped", {{4242, "RovuzurA.exe"}, {20, "RovuzurA.exe"}}, "RovuzurA.exe", true, {20}},
};

INSTANTIATE_TEST_SUITE_P(Snapshots, ProcessLookupTest, ::testing::ValuesIn(kLookupCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(KillProcess, ResultIsThatOfLastTermination) {
  FakeProcessTable table({{20, "RovuzurA.exe"}, {21, "RovuzurA.exe"}});
  table.FUnkillable = 21;
  EXPECT_EQ(KillProcess(table, "RovuzurA.exe"), 0);
  EXPECT_EQ(table.Terminated, (std::vector<std::uint32_t>{20, 21}));

  FakeProcessTable reversed({{21, "RovuzurA.exe"}, {20, "RovuzurA.exe"}});
  reversed.FUnkillable = 21;
  EXPECT_EQ(KillProcess(reversed, "RovuzurA.exe"), 1);
}

TEST(KillProcess, FailedSnapshotEndsNothing) {
  FakeProcessTable table({{20, "RovuzurA.exe"}}, true);
  EXPECT_FALSE(IsProcessRunning(table, "RovuzurA.exe"));
  EXPECT_EQ(KillProcess(table, "RovuzurA.exe"), 0);
  EXPECT_TRUE(table.Terminated.empty());
}

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
