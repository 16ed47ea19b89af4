// Starting a real program through the shell, and the program folder of this test program.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/ProcessSnapshot.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramLaunch.h"
#include "support/Sleeper.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The support's file helpers come with the Linux side's shell tools; this is all a test here needs.
std::string ReadBytes(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot read " + Path.string());
  return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}

std::string Utf8Of(const fs::path& Path) {
  const std::u8string Text = Path.u8string();
  return std::string(Text.begin(), Text.end());
}

fs::path OwnPath() {
  std::wstring Path(32768, L'\0');
  Path.resize(::GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size())));
  return fs::path(Path);
}

// Ends every process running the image FileName; the number ended.
int EndAll(const std::string& FileName) {
  const std::unique_ptr<IProcessTable> Table = CreateSystemProcessTable();
  const std::unique_ptr<IProcessSnapshot> Snapshot = Table->CreateSnapshot();
  int Ended = 0;
  TProcessEntry Entry;
  for (bool Fetched = Snapshot && Snapshot->First(Entry); Fetched;
       Fetched = Snapshot->Next(Entry)) {
    if (Entry.szExeFile == FileName && Table->Terminate(Entry) != 0) ++Ended;
  }
  return Ended;
}

// Waits up to five seconds for File to appear with contents.
bool AwaitFile(const fs::path& File) {
  for (int Round = 0; Round < 100; ++Round) {
    std::error_code Error;
    if (fs::file_size(File, Error) > 0 && !Error) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

TEST(LaunchProgramWin32, StartsProgramInItsOwnFolder) {
  test::TempDir Dir;
  const std::string Name = "RovuzurL-" + std::to_string(::GetCurrentProcessId()) + ".exe";
  const fs::path Folder = Dir.path() / fs::path(u8"\uD55C\uAE00 folder");  // "한글 folder"
  fs::create_directory(Folder);
  fs::copy_file(test::TestProgramFolder() / "ruvevid-sleeper.exe", Folder / Name);
  ASSERT_TRUE(LaunchProgram(Utf8Of(Folder / Name)));
  const bool Started = AwaitFile(Folder / (Name + ".ran"));
  // Give the mark a moment to be written whole before it is read.
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(EndAll(Name), 1);
  ASSERT_TRUE(Started) << "the program left no mark";
  const std::string Current = ReadBytes(Folder / (Name + ".ran"));
  EXPECT_TRUE(fs::equivalent(fs::path(std::u8string(Current.begin(), Current.end())), Folder))
      << Current;
}

struct TFailureCase {
  const char* Name;
  const char* Path;  // below the test's folder; empty: the empty path itself
};

class LaunchProgramFailureTest : public ::testing::TestWithParam<TFailureCase> {};

TEST_P(LaunchProgramFailureTest, ReportsFailure) {
  test::TempDir Dir;
  fs::create_directory(Dir / "folder");
  const std::string Path = *GetParam().Path == '\0' ? "" : Utf8Of(Dir / GetParam().Path);
  EXPECT_FALSE(LaunchProgram(Path));
}

INSTANTIATE_TEST_SUITE_P(Failures, LaunchProgramFailureTest,
                         ::testing::Values(TFailureCase{"Missing", "none.exe"},
                                           TFailureCase{"MissingFolder", "none\\x.exe"},
                                           TFailureCase{"Folder", "folder"},
                                           TFailureCase{"Empty", ""}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ProgramFolderWin32, FolderOfThisProgramWithBackslash) {
  const std::string Folder = ProgramFolder();
  ASSERT_FALSE(Folder.empty());
  EXPECT_EQ(Folder.back(), '\\');
  EXPECT_EQ(Folder + Utf8Of(OwnPath().filename()), Utf8Of(OwnPath()));
}

struct TFolderOfCase {
  const char* Name;
  const char* Path;
  const char* Folder;
};

class ProgramFolderOfWin32Test : public ::testing::TestWithParam<TFolderOfCase> {};

TEST_P(ProgramFolderOfWin32Test, EitherSeparator) {
  EXPECT_EQ(ProgramFolderOf(GetParam().Path), GetParam().Folder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ProgramFolderOfWin32Test,
    ::testing::Values(TFolderOfCase{"Backslashes", "C:\\Ruvevid\\upd.exe", "C:\\Ruvevid\\"},
                      TFolderOfCase{"Slashes", "C:/Ruvevid/upd.exe", "C:/Ruvevid/"},
                      TFolderOfCase{"Mixed", "C:\\Ruvevid/sub\\upd.exe", "C:\\Ruvevid/sub\\"},
                      TFolderOfCase{"LastIsSlash", "C:\\Ruvevid\\sub/upd.exe", "C:\\Ruvevid\\sub/"},
                      TFolderOfCase{"Share", "\\\\server\\share\\upd.exe", "\\\\server\\share\\"},
                      TFolderOfCase{"BareName", "upd.exe", ""}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
