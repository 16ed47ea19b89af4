#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/ProcessSnapshot.h"
#include "support/ChildProgram.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using namespace std::chrono_literals;

// The image name the snapshot gives for a process id; nothing when the process is not listed.
std::optional<std::string> ListedName(IProcessTable& Table, std::uint32_t ProcessId) {
  const std::unique_ptr<IProcessSnapshot> snapshot = Table.CreateSnapshot();
  if (!snapshot) return std::nullopt;
  TProcessEntry entry;
  for (bool fetched = snapshot->First(entry); fetched; fetched = snapshot->Next(entry)) {
    if (entry.th32ProcessID == ProcessId) return entry.szExeFile;
  }
  return std::nullopt;
}

TEST(SystemProcessTable, ListsChildUnderBareImageName) {
  test::TempDir dir;
  test::ChildProgram child = test::SleepingProgram(dir.path(), "RovuzurP.exe");
  const std::unique_ptr<IProcessTable> table = CreateSystemProcessTable();
  EXPECT_EQ(ListedName(*table, static_cast<std::uint32_t>(child.pid())), "RovuzurP.exe");
}

TEST(SystemProcessTable, ListsItself) {
  const std::unique_ptr<IProcessTable> table = CreateSystemProcessTable();
  const std::uint32_t self = table->CurrentProcessId();
  EXPECT_EQ(self, static_cast<std::uint32_t>(::getpid()));
  const std::optional<std::string> name = ListedName(*table, self);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(*name, std::filesystem::read_symlink("/proc/self/exe").filename().string());
}

TEST(SystemProcessTable, FirstRestartsTheWalk) {
  const std::unique_ptr<IProcessTable> table = CreateSystemProcessTable();
  const std::unique_ptr<IProcessSnapshot> snapshot = table->CreateSnapshot();
  ASSERT_TRUE(snapshot);
  TProcessEntry first;
  ASSERT_TRUE(snapshot->First(first));
  TProcessEntry entry;
  int count = 1;
  while (snapshot->Next(entry)) ++count;
  EXPECT_FALSE(snapshot->Next(entry));
  TProcessEntry again;
  ASSERT_TRUE(snapshot->First(again));
  EXPECT_EQ(again.th32ProcessID, first.th32ProcessID);
  EXPECT_GE(count, 2);
}

TEST(SystemProcessTable, EndedProcessIsNotListed) {
  test::TempDir dir;
  test::ChildProgram child("/bin/true", dir.path(), "RovuzurP.exe", {});
  // Let it end without reaping it: it stays behind as a zombie.
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child.pid()), &info, WEXITED | WNOWAIT), 0);
  const std::unique_ptr<IProcessTable> table = CreateSystemProcessTable();
  EXPECT_FALSE(ListedName(*table, static_cast<std::uint32_t>(child.pid())).has_value());
}

TEST(SystemProcessTable, TerminateEndsProcess) {
  test::TempDir dir;
  test::ChildProgram child = test::SleepingProgram(dir.path(), "RovuzurP.exe");
  const std::unique_ptr<IProcessTable> table = CreateSystemProcessTable();
  EXPECT_NE(table->Terminate({static_cast<std::uint32_t>(child.pid()), "RovuzurP.exe"}), 0);
  const std::optional<int> status = child.WaitForExit(5s);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFSIGNALED(*status));
  EXPECT_EQ(WTERMSIG(*status), SIGKILL);
}

// The entry must still describe the process: an id now running another image is left alone.
TEST(SystemProcessTable, TerminateLeavesProcessWithOtherImage) {
  test::TempDir dir;
  test::ChildProgram child = test::SleepingProgram(dir.path(), "RovuzurQ.exe");
  const std::unique_ptr<IProcessTable> table = CreateSystemProcessTable();
  EXPECT_EQ(table->Terminate({static_cast<std::uint32_t>(child.pid()), "RovuzurP.exe"}), 0);
  EXPECT_FALSE(child.WaitForExit(50ms).has_value());
}

TEST(SystemProcessTable, TerminateOfEndedProcessFails) {
  test::TempDir dir;
  std::uint32_t id = 0;
  {
    test::ChildProgram child("/bin/true", dir.path(), "RovuzurP.exe", {});
    ASSERT_TRUE(child.WaitForExit(5s).has_value());
    id = static_cast<std::uint32_t>(child.pid());
  }
  const std::unique_ptr<IProcessTable> table = CreateSystemProcessTable();
  EXPECT_EQ(table->Terminate({id, "RovuzurP.exe"}), 0);
  EXPECT_EQ(table->Terminate({0, "RovuzurP.exe"}), 0);
}

}  // namespace
}  // namespace ruvevid
