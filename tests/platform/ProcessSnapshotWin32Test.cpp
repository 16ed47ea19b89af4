// The ToolHelp process table against real processes: copies of the tests' sleeper program started
// under chosen names.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/ProcessSnapshot.h"
#include "support/Sleeper.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::optional<std::string> ListedName(IProcessTable& Table, std::uint32_t ProcessId) {
  const std::unique_ptr<IProcessSnapshot> Snapshot = Table.CreateSnapshot();
  if (!Snapshot) return std::nullopt;
  TProcessEntry Entry;
  for (bool Fetched = Snapshot->First(Entry); Fetched; Fetched = Snapshot->Next(Entry)) {
    if (Entry.th32ProcessID == ProcessId) return Entry.szExeFile;
  }
  return std::nullopt;
}

// Names unique to this test process, so that suites running side by side do not meet.
std::string OwnName(const std::string& Stem) {
  return Stem + "-" + std::to_string(::GetCurrentProcessId()) + ".exe";
}

TEST(ToolHelpProcessTable, ListsChildUnderBareImageName) {
  test::TempDir Dir;
  const test::TSleeper Child(Dir.path(), OwnName("RovuzurP"));
  const std::unique_ptr<IProcessTable> Table = CreateSystemProcessTable();
  EXPECT_EQ(ListedName(*Table, Child.Id()), OwnName("RovuzurP"));
}

// Names outside ASCII arrive in UTF-8.
TEST(ToolHelpProcessTable, ListsNonAsciiImageNameInUtf8) {
  test::TempDir Dir;
  const std::string Name = OwnName("\xED\x95\x9C\xEA\xB8\x80");  // "한글"
  const test::TSleeper Child(Dir.path(), Name);
  const std::unique_ptr<IProcessTable> Table = CreateSystemProcessTable();
  EXPECT_EQ(ListedName(*Table, Child.Id()), Name);
}

TEST(ToolHelpProcessTable, ListsItself) {
  const std::unique_ptr<IProcessTable> Table = CreateSystemProcessTable();
  const std::uint32_t Self = Table->CurrentProcessId();
  EXPECT_EQ(Self, static_cast<std::uint32_t>(::GetCurrentProcessId()));
  std::wstring Path(32768, L'\0');
  Path.resize(::GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size())));
  EXPECT_EQ(ListedName(*Table, Self), fs::path(Path).filename().string());
}

TEST(ToolHelpProcessTable, FirstRestartsTheWalk) {
  const std::unique_ptr<IProcessTable> Table = CreateSystemProcessTable();
  const std::unique_ptr<IProcessSnapshot> Snapshot = Table->CreateSnapshot();
  ASSERT_TRUE(Snapshot);
  TProcessEntry First;
  ASSERT_TRUE(Snapshot->First(First));
  TProcessEntry Entry;
  int Count = 1;
  while (Snapshot->Next(Entry)) ++Count;
  EXPECT_FALSE(Snapshot->Next(Entry));
  TProcessEntry Again;
  ASSERT_TRUE(Snapshot->First(Again));
  EXPECT_EQ(Again.th32ProcessID, First.th32ProcessID);
  EXPECT_EQ(Again.szExeFile, First.szExeFile);
  EXPECT_GE(Count, 2);
}

TEST(ToolHelpProcessTable, TerminateEndsProcess) {
  test::TempDir Dir;
  const test::TSleeper Child(Dir.path(), OwnName("RovuzurP"));
  const std::unique_ptr<IProcessTable> Table = CreateSystemProcessTable();
  EXPECT_NE(Table->Terminate({Child.Id(), OwnName("RovuzurP")}), 0);
  EXPECT_EQ(Child.WaitForExit(5s), std::optional<std::uint32_t>(1));
  EXPECT_FALSE(ListedName(*Table, Child.Id()).has_value());
}

// Windows file names are the same in any letter case; so are the images of a snapshot.
TEST(ToolHelpProcessTable, TerminateTakesImageNameInOtherCase) {
  test::TempDir Dir;
  const test::TSleeper Child(Dir.path(), OwnName("RovuzurP"));
  const std::unique_ptr<IProcessTable> Table = CreateSystemProcessTable();
  std::string Upper = OwnName("ROVUZURP");
  Upper.replace(Upper.size() - 4, 4, ".EXE");
  EXPECT_NE(Table->Terminate({Child.Id(), Upper}), 0);
  EXPECT_TRUE(Child.WaitForExit(5s).has_value());
}

// The entry must still describe the process: an id now running another image is left alone.
TEST(ToolHelpProcessTable, TerminateLeavesProcessWithOtherImage) {
  test::TempDir Dir;
  const test::TSleeper Child(Dir.path(), OwnName("RovuzurQ"));
  const std::unique_ptr<IProcessTable> Table = CreateSystemProcessTable();
  EXPECT_EQ(Table->Terminate({Child.Id(), OwnName("RovuzurP")}), 0);
  EXPECT_FALSE(Child.WaitForExit(50ms).has_value());
}

TEST(ToolHelpProcessTable, TerminateOfEndedProcessFails) {
  test::TempDir Dir;
  // The handle kept by the object keeps the id from going to another process.
  const test::TSleeper Child(Dir.path(), OwnName("RovuzurP"), 0);
  ASSERT_EQ(Child.WaitForExit(10s), std::optional<std::uint32_t>(0));
  const std::unique_ptr<IProcessTable> Table = CreateSystemProcessTable();
  EXPECT_EQ(Table->Terminate({Child.Id(), OwnName("RovuzurP")}), 0);
  EXPECT_EQ(Table->Terminate({0, OwnName("RovuzurP")}), 0);
}

}  // namespace
}  // namespace ruvevid
