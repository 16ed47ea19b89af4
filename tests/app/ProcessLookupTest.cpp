// The lookup and termination by image name against process tables given as lists: the name rules
// alone, the same on every system.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/ProcessTermination.h"

namespace ruvevid {
namespace {

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

}  // namespace
}  // namespace ruvevid
