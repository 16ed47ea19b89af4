// Failures injected into a run at different points: whatever is raised (out of memory, an
// application handler's exception, an error of the engine's own kind), nothing leaves Activate,
// the failure is reported, and the entry it hit is never reported as extracted.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "WalkSupport.h"
#include "archive/base/Stream32.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

enum class TWhere { wBegin, wProgress };

struct TFailureCase {
  const char* Name;
  TWhere Where;
  std::function<void()> Raise;
  // The lines of the recording from the failing entry's OnBegin on.
  std::vector<std::string> Tail;
};

const std::string kEntryText(200000, 'x');

class InjectedFailure : public ::testing::TestWithParam<TFailureCase> {
 protected:
  void SetUp() override {
    if (!test::HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    for (const char* Name : {"a.txt", "b.txt", "c.txt"})
      test::WriteBytes(Work / "in" / Name, kEntryText);
    // Deflated, so that b.txt is decoded in several chunks with progress between them.
    ASSERT_TRUE(test::RunShellIn(Work / "in", "zip -q -X ../a.zip a.txt b.txt c.txt"));
  }
  TempDir Work;
};

TEST_P(InjectedFailure, IsReportedAndNeverLeavesActivate) {
  const TFailureCase& Case = GetParam();
  TRecordedExtraction Run(Work / "a.zip", Work / "out");
  bool InB = false;
  Run.AfterBegin = [&](const std::string& Name, bool&) {
    InB = Name == "b.txt";
    if (InB && Case.Where == TWhere::wBegin) Case.Raise();
  };
  Run.AfterProgress = [&](std::uint8_t ByFile) {
    if (InB && Case.Where == TWhere::wProgress && ByFile > 0 && ByFile < 100) Case.Raise();
  };
  std::int32_t Extracted = -1;
  EXPECT_NO_THROW(Extracted = Run.Run());

  const std::vector<std::string>& Events = Run.Log;
  const std::vector<std::string> Head = {"activate", "begin 1 a.txt", "end PASS a.txt",
                                         "begin 2 b.txt"};
  std::vector<std::string> Expected = Head;
  for (std::string Line : Case.Tail) {
    if (const auto At = Line.find("ARCHIVE"); At != std::string::npos)
      Line.replace(At, 7, (Work / "a.zip").string());
    Expected.push_back(Line);
  }
  EXPECT_EQ(Events, Expected);
  const bool WentOn = std::find(Events.begin(), Events.end(), "end PASS c.txt") != Events.end();
  EXPECT_EQ(Extracted, WentOn ? 2 : 1) << "b.txt is never counted";
  EXPECT_FALSE(fs::exists(Work / "out" / "b.txt")) << "b.txt is never written";
  const std::vector<std::string> Written =
      WentOn ? std::vector<std::string>{"a.txt", "c.txt"} : std::vector<std::string>{"a.txt"};
  EXPECT_EQ(ListTree(Work / "out"), Written);
}

std::vector<std::string> EndsTheRun(const std::string& What) {
  return {"error 25104 b.txt|" + What + "|0", "elapsed", "deactivate"};
}

INSTANTIATE_TEST_SUITE_P(
    Table, InjectedFailure,
    ::testing::Values(
        TFailureCase{"OutOfMemoryInOnBegin", TWhere::wBegin, [] { throw std::bad_alloc(); },
                     EndsTheRun("std::bad_alloc")},
        TFailureCase{"RuntimeErrorInOnBegin", TWhere::wBegin,
                     [] { throw std::runtime_error("handler failed"); },
                     EndsTheRun("handler failed")},
        // The engine's own kind raised where nothing reports it: the walk reports it and ends.
        TFailureCase{"EngineErrorInOnBegin",
                     TWhere::wBegin,
                     [] { throw EReadError(); },
                     {"error 25104 ARCHIVE|Stream read error|0", "elapsed", "deactivate"}},
        TFailureCase{"OutOfMemoryWhileDecoding", TWhere::wProgress, [] { throw std::bad_alloc(); },
                     EndsTheRun("std::bad_alloc")},
        TFailureCase{"RuntimeErrorWhileDecoding", TWhere::wProgress,
                     [] { throw std::runtime_error("progress failed"); },
                     EndsTheRun("progress failed")},
        // An engine error while decoding costs the entry, whose verdict fails; the run goes on.
        TFailureCase{
            "EngineErrorWhileDecoding",
            TWhere::wProgress,
            [] { throw EReadError(); },
            {"end FAIL b.txt", "begin 2 c.txt", "end PASS c.txt", "elapsed", "deactivate"}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid::walk_test
