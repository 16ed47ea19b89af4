#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "platform/ProgramLaunch.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void WriteScript(const fs::path& Path, const std::string& Body, fs::perms Mode) {
  test::WriteBytes(Path, "#!/bin/sh\n" + Body);
  fs::permissions(Path, Mode);
}

// Waits until the file exists and its writer has finished it (its last line is "done").
std::string WaitForMarker(const fs::path& Path, std::chrono::milliseconds Timeout) {
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = fs::exists(Path) ? test::ReadBytes(Path) : std::string();
    if (text.ends_with("done\n")) return text;
    std::this_thread::sleep_for(5ms);
  }
  return {};
}

// Reads "name=value" lines.
std::string Field(const std::string& Text, const std::string& Name) {
  std::istringstream lines(Text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(Name + "=")) return line.substr(Name.size() + 1);
  }
  return "<missing>";
}

// The process id of the launched script, its session, its arguments, its folder and whether
// a descriptor of ours reached it.
std::string ReportingScript(const fs::path& Marker, int Descriptor, const std::string& Delay) {
  return "sleep " + Delay + "\n" + "exec > '" + Marker.string() + ".part'\n" +
         "echo pid=$$\n"
         "echo session=$(cut -d' ' -f6 /proc/$$/stat)\n"
         "echo argc=$#\n"
         "echo argv0=$0\n"
         "echo folder=$(pwd)\n"
         "if [ -e /proc/$$/fd/" +
         std::to_string(Descriptor) +
         " ]; then echo leaked=yes; else echo leaked=no; fi\n"
         "echo done\n"
         "mv '" +
         Marker.string() + ".part' '" + Marker.string() + "'\n";
}

class CurrentFolder {
 public:
  explicit CurrentFolder(const fs::path& Folder) : FOld(fs::current_path()) {
    fs::current_path(Folder);
  }
  ~CurrentFolder() { fs::current_path(FOld); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  fs::path FOld;
};

TEST(LaunchProgram, StartsDetachedProgramThatIsNotOurChild) {
  test::TempDir dir;
  fs::create_directory(dir / "work");
  const fs::path marker = dir / "marker";
  const int descriptor = ::open("/dev/null", O_RDONLY);  // inheritable on purpose
  ASSERT_GE(descriptor, 0);
  WriteScript(dir / "Ruvevid.exe", ReportingScript(marker, descriptor, "0"), fs::perms::owner_all);
  {
    CurrentFolder current(dir / "work");
    ASSERT_TRUE(LaunchProgram((dir / "Ruvevid.exe").string()));
  }
  ::close(descriptor);
  const std::string report = WaitForMarker(marker, 10s);
  ASSERT_FALSE(report.empty()) << "the program did not run";
  const std::string pid = Field(report, "pid");
  EXPECT_EQ(Field(report, "session"), pid) << "the program leads its own session";
  EXPECT_EQ(Field(report, "argc"), "0");
  EXPECT_EQ(Field(report, "argv0"), (dir / "Ruvevid.exe").string());
  EXPECT_EQ(Field(report, "folder"), (dir / "work").string());
  EXPECT_EQ(Field(report, "leaked"), "no");
  // Neither the program nor a helper of the launch is left for us to reap.
  errno = 0;
  EXPECT_EQ(::waitpid(static_cast<pid_t>(std::stoi(pid)), nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

// The launching process ends at once; the program goes on and finishes its work later.
TEST(LaunchProgram, ProgramOutlivesTheLauncher) {
  test::TempDir dir;
  const fs::path marker = dir / "marker";
  WriteScript(dir / "Ruvevid.exe", ReportingScript(marker, 99, "0.3"), fs::perms::owner_all);
  const pid_t launcher = ::fork();
  ASSERT_GE(launcher, 0);
  if (launcher == 0) ::_exit(LaunchProgram((dir / "Ruvevid.exe").string()) ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(launcher, &status, 0), launcher);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(fs::exists(marker)) << "the program should still be sleeping";
  const std::string report = WaitForMarker(marker, 10s);
  ASSERT_FALSE(report.empty()) << "the program did not survive its launcher";
  EXPECT_EQ(Field(report, "session"), Field(report, "pid"));
}

struct FailureCase {
  const char* Name;
  std::string Contents;  // empty: no file at all
  fs::perms Mode;
};

class LaunchFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LaunchFailureTest, GivesFalse) {
  test::TempDir dir;
  const fs::path file = dir / "Ruvevid.exe";
  if (!GetParam().Contents.empty()) {
    test::WriteBytes(file, GetParam().Contents);
    fs::permissions(file, GetParam().Mode);
  }
  EXPECT_FALSE(LaunchProgram(file.string()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, LaunchFailureTest,
    ::testing::Values(FailureCase{"Missing", "", fs::perms::none},
                      FailureCase{"NotExecutable", "#!/bin/sh\ntrue\n", fs::perms::owner_read},
                      FailureCase{"NotAProgram", "plain text\n", fs::perms::owner_all},
                      FailureCase{"MissingInterpreter", "#!/nonexistent/shell\n",
                                  fs::perms::owner_all}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(LaunchProgram, FolderOrEmptyPathGivesFalse) {
  test::TempDir dir;
  EXPECT_FALSE(LaunchProgram(dir.path().string()));
  EXPECT_FALSE(LaunchProgram(""));
}

}  // namespace
}  // namespace ruvevid
