// The Win32 file layer on a real Windows file system (or Wine's): UTF-8 names that are no ANSI
// text, paths longer than MAX_PATH, files another program still holds, attributes, times, the
// folder lock, drives and error codes.

#include <gtest/gtest.h>
#include <windows.h>
// <windows.h> names its own functions so; the platform headers declare ours.
#undef DeleteFile
#undef ReplaceFile

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/DriveLayer.h"
#include "platform/FileHandle.h"
#include "platform/FileReplace.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/OutputFile.h"
#include "platform/StagedFile.h"
#include "platform/WideText.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The scratch folder as a UTF-8 path (path::string() would give the ANSI code page's text).
std::string Utf8Of(const fs::path& Path) {
  return WideToUtf8(Path.wstring());
}

// "한글 이름.txt"
const std::string kKoreanName = "\xED\x95\x9C\xEA\xB8\x80 \xEC\x9D\xB4\xEB\xA6\x84.txt";

// Opens Path as a program that has not let go of it yet: others may read and write, but neither
// rename nor delete it.
HANDLE HoldWithoutDeleteSharing(const std::string& Path) {
  return ::CreateFileW(LongPath(Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string StageFile(const std::string& Target, const std::string& Contents) {
  std::string Staging;
  TFileHandle File = CreateStagingFile(Target, Staging);
  EXPECT_TRUE(File.IsOpen());
  EXPECT_EQ(WriteAll(File.Native(), Contents.data(), Contents.size()), 0);
  EXPECT_EQ(File.Close(), 0);
  return Staging;
}

TEST(FileWin32, KoreanNamesAreUtf8Inside) {
  test::TempDir Dir;
  const std::string Folder = Utf8Of(Dir.path()) + "/\xED\x8F\xB4\xEB\x8D\x94";  // "폴더"
  ASSERT_TRUE(CreateFolders(Folder + "/sub"));
  const std::string File = Folder + "/sub/" + kKoreanName;
  ASSERT_TRUE(WriteWholeFile(File, "contents"));
  EXPECT_TRUE(FileExists(File));
  EXPECT_EQ(ReadWholeFile(File), "contents");
  // What the system holds is the UTF-16 form of the name.
  EXPECT_TRUE(fs::exists(Dir.path() / L"\uD3F4\uB354" / L"sub" / L"\uD55C\uAE00 \uC774\uB984.txt"));
  const auto Listing = ListFolderTree(Folder);
  ASSERT_TRUE(Listing.has_value());
  EXPECT_EQ(Listing->Files, (std::vector<std::string>{"sub/" + kKoreanName}));
  EXPECT_TRUE(RemoveTree(Folder));
  EXPECT_FALSE(PathOccupied(Folder));
}

TEST(FileWin32, PathsLongerThanMaxPath) {
  test::TempDir Dir;
  std::string Deep = Utf8Of(Dir.path());
  const std::string Level(60, 'd');
  for (int I = 0; I < 6; ++I) Deep += "\\" + Level + std::to_string(I);
  const std::string File = Deep + "/" + std::string(100, 'f') + ".txt";
  ASSERT_GT(File.size(), static_cast<std::size_t>(MAX_PATH));
  EXPECT_TRUE(NameFitsFileSystem(File));
  ASSERT_TRUE(CreateFolders(Deep));
  EXPECT_TRUE(DirectoryExists(Deep));
  const std::string Staging = StageFile(File, "long");
  ASSERT_TRUE(CommitStagingFile(Staging, File));
  EXPECT_EQ(ReadWholeFile(File), "long");
  EXPECT_TRUE(RenamePath(File, File + ".moved"));
  EXPECT_TRUE(FileExists(File + ".moved"));
  EXPECT_TRUE(RemoveTree(Utf8Of(Dir.path() / (Level + "0"))));
  EXPECT_FALSE(PathOccupied(Deep));
  EXPECT_FALSE(NameFitsFileSystem(Deep + "/" + std::string(256, 'n')));
}

TEST(FileWin32, ErrorsAreTheCodesCallersTest) {
  test::TempDir Dir;
  int Error = 0;
  EXPECT_FALSE(OpenFile(Utf8Of(Dir / "missing"), TOpenFor::ofRead, Error).IsOpen());
  EXPECT_EQ(Error, ENOENT);
  EXPECT_FALSE(OpenFile(Utf8Of(Dir.path()), TOpenFor::ofRead, Error).IsOpen());
  EXPECT_EQ(Error, EISDIR);
  EXPECT_FALSE(OpenFile(Utf8Of(Dir / "no/such/folder/x"), TOpenFor::ofCreate, Error).IsOpen());
  EXPECT_EQ(Error, ENOENT);
  // The texts are the system's, not the C library's numbers.
  EXPECT_FALSE(SystemErrorText(ENOSPC).empty());
  EXPECT_NE(SystemErrorText(ENOENT), SystemErrorText(EACCES));
}

TEST(FileWin32, HandlesReadWriteSeekAndResize) {
  test::TempDir Dir;
  const std::string Path = Utf8Of(Dir / "file.bin");
  int Error = 0;
  TFileHandle File = OpenFile(Path, TOpenFor::ofCreate, Error);
  ASSERT_TRUE(File.IsOpen()) << Error;
  EXPECT_EQ(WriteAll(File.Native(), "0123456789", 10), 0);
  EXPECT_EQ(RegularFileSize(File.Native()), 10);
  EXPECT_EQ(SeekFile(File.Native(), 2, TSeekFrom::sfBeginning), 2);
  char Read[4] = {};
  EXPECT_EQ(ReadFull(File.Native(), Read, 3), 3u);
  EXPECT_EQ(std::string(Read, 3), "234");
  EXPECT_EQ(ResizeFile(File.Native(), 4), 0);
  // Cutting leaves the position where it was.
  EXPECT_EQ(SeekFile(File.Native(), 0, TSeekFrom::sfCurrent), 5);
  EXPECT_EQ(SeekFile(File.Native(), 0, TSeekFrom::sfEnd), 4);
  EXPECT_TRUE(FileBirthTime(File.Native()).has_value());
  EXPECT_EQ(File.Close(), 0);
  // Creating empties an existing file, hidden ones included.
  ASSERT_TRUE(::SetFileAttributesW(LongPath(Path).c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(WriteWholeFile(Path, "new"));
  EXPECT_EQ(ReadWholeFile(Path), "new");
  EXPECT_TRUE(AppendToFile(Path, "er"));
  EXPECT_EQ(ReadWholeFile(Path), "newer");
}

TEST(FileWin32, AReplacementWaitsForAFileBeingLetGo) {
  test::TempDir Dir;
  const std::string Target = Utf8Of(Dir / "program.dll");
  test::WriteBytes(Dir / "program.dll", "old");
  const HANDLE Held = HoldWithoutDeleteSharing(Target);
  ASSERT_NE(Held, INVALID_HANDLE_VALUE);
  const std::string Staging = StageFile(Target, "new");
  std::thread Holder([Held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::CloseHandle(Held);
  });
  const Clock::time_point Begin = Clock::now();
  const bool Committed = CommitStagingFile(Staging, Target);
  const auto Took = Clock::now() - Begin;
  Holder.join();
  EXPECT_TRUE(Committed) << SystemErrorText(errno);
  EXPECT_GE(Took, std::chrono::milliseconds(250));
  EXPECT_EQ(test::ReadBytes(Dir / "program.dll"), "new");
}

TEST(FileWin32, AFileHeldLongerThanTheWaitFailsClearly) {
  test::TempDir Dir;
  const std::string Target = Utf8Of(Dir / "program.dll");
  test::WriteBytes(Dir / "program.dll", "old");
  const HANDLE Held = HoldWithoutDeleteSharing(Target);
  ASSERT_NE(Held, INVALID_HANDLE_VALUE);
  const std::string Staging = StageFile(Target, "new");
  std::thread Holder([Held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(6500));
    ::CloseHandle(Held);
  });
  const Clock::time_point Begin = Clock::now();
  errno = 0;
  const bool Committed = CommitStagingFile(Staging, Target);
  const int Error = errno;
  const auto Took = Clock::now() - Begin;
  Holder.join();
  EXPECT_FALSE(Committed);
  EXPECT_EQ(Error, EBUSY);
  EXPECT_FALSE(SystemErrorText(Error).empty());
  EXPECT_GE(Took, std::chrono::milliseconds(4900));
  EXPECT_LT(Took, std::chrono::milliseconds(6400));
  // Nothing was lost: the old file stands, the new one waits in its staging file.
  EXPECT_EQ(test::ReadBytes(Dir / "program.dll"), "old");
  EXPECT_TRUE(FileExists(Staging));
  EXPECT_TRUE(CommitStagingFile(Staging, Target));
  EXPECT_EQ(test::ReadBytes(Dir / "program.dll"), "new");
}

TEST(FileWin32, EntryAttributesAndTimesGoOnTheOpenFile) {
  test::TempDir Dir;
  struct TCase {
    const char* Name;
    std::uint32_t Attr;
    DWORD Expected;
  };
  constexpr std::time_t kTime = 1700000000;  // 2023-11-14 22:13:20 UTC
  for (const TCase& Case : {TCase{"ro.txt", faReadOnly, FILE_ATTRIBUTE_READONLY},
                            TCase{"hidden.txt", faHidden | faArchive, FILE_ATTRIBUTE_HIDDEN},
                            TCase{"system.txt", faSystem, FILE_ATTRIBUTE_SYSTEM},
                            TCase{"unix-ro.txt", 0100444U << 16, FILE_ATTRIBUTE_READONLY},
                            TCase{"unix-rw.txt", (0100644U << 16) | faReadOnly, 0}}) {
    SCOPED_TRACE(Case.Name);
    const std::string Target = Utf8Of(Dir / Case.Name);
    std::string Staging;
    TFileHandle File = CreateStagingFile(Target, Staging);
    ASSERT_TRUE(File.IsOpen());
    EXPECT_EQ(WriteAll(File.Native(), "x", 1), 0);
    EXPECT_TRUE(ApplyEntryAttributes(File.Native(), Case.Attr));
    // A read-only file still takes writes through the handle already open.
    EXPECT_EQ(WriteAll(File.Native(), "y", 1), 0);
    // After the last write: a write sets the time anew.
    EXPECT_TRUE(SetLastWriteTime(File.Native(), kTime));
    ASSERT_EQ(File.Close(), 0);
    ASSERT_TRUE(CommitStagingFile(Staging, Target));
    const DWORD Attributes = ::GetFileAttributesW(LongPath(Target).c_str());
    // The system sets the archive bit of a file written to; the others are the entry's.
    EXPECT_EQ(
        Attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
        Case.Expected);
    EXPECT_EQ(test::ReadBytes(Dir / Case.Name), "xy");
    const HANDLE Read = ::CreateFileW(LongPath(Target).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(Read, INVALID_HANDLE_VALUE);
    FILETIME Written{};
    EXPECT_TRUE(::GetFileTime(Read, nullptr, nullptr, &Written));
    ::CloseHandle(Read);
    const std::uint64_t Ticks =
        (static_cast<std::uint64_t>(Written.dwHighDateTime) << 32) | Written.dwLowDateTime;
    EXPECT_EQ(Ticks / 10000000ULL - 11644473600ULL, static_cast<std::uint64_t>(kTime));
  }
  // A read-only file refuses a staged replacement until it is made writable.
  const std::string ReadOnly = Utf8Of(Dir / "ro.txt");
  std::string Staging;
  EXPECT_FALSE(CreateStagingFile(ReadOnly, Staging).IsOpen());
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(ReadFileAttributes(ReadOnly).value_or(0) & faReadOnly, faReadOnly);
  EXPECT_TRUE(ClearReadOnly(ReadOnly));
  EXPECT_EQ(ReadFileAttributes(ReadOnly).value_or(faReadOnly) & faReadOnly, 0u);
  EXPECT_EQ(ReadFileAttributes(Utf8Of(Dir.path())), faDirectory);
  // Removing takes read-only files too, as on POSIX systems.
  EXPECT_TRUE(RemovePath(Utf8Of(Dir / "unix-ro.txt")));
}

TEST(FileWin32, ReplaceFileKeepsAReadOnlyFileReadOnly) {
  test::TempDir Dir;
  const std::string Path = Utf8Of(Dir / "Daz.dat");
  ASSERT_TRUE(ReplaceFile(Path, "first"));
  ASSERT_TRUE(::SetFileAttributesW(LongPath(Path).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(ReplaceFile(Path, "second"));
  std::string Contents;
  EXPECT_EQ(ReadWholeFile(Path, Contents), TFileReadResult::frRead);
  EXPECT_EQ(Contents, "second");
  EXPECT_NE(::GetFileAttributesW(LongPath(Path).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(ReadWholeFile(Utf8Of(Dir / "none"), Contents), TFileReadResult::frMissing);
  EXPECT_EQ(ReadWholeFile(Utf8Of(Dir.path()), Contents), TFileReadResult::frNotAFile);
  EXPECT_EQ(test::ReadFileSet(Dir.path()), (test::TFileSet{{"Daz.dat", "second"}}));
}

TEST(FileWin32, TheFolderLockHasOneHolderAndLeavesTheFolderUsable) {
  test::TempDir Dir;
  const std::string Folder = Utf8Of(Dir.path());
  TFolderLock First;
  TFolderLock Second;
  ASSERT_EQ(First.Acquire(Folder), TFolderLockResult::flLocked);
  EXPECT_EQ(Second.Acquire(Folder), TFolderLockResult::flBusy);
  // The holder still lists, writes and flushes the folder.
  EXPECT_TRUE(WriteWholeFile(Folder + "/inside.txt", "x"));
  EXPECT_TRUE(ListFolderTree(Folder).has_value());
  EXPECT_TRUE(SyncFileSystem(Folder));
  First.Release();
  EXPECT_EQ(Second.Acquire(Folder), TFolderLockResult::flLocked);
  EXPECT_EQ(TFolderLock().Acquire(Folder + "/missing"), TFolderLockResult::flFailed);
}

TEST(FileWin32, DrivesAreTheDriveLettersRoots) {
  test::TempDir Dir;
  const auto Drives = NewSystemDriveLayer();
  const auto Facts = Drives->QueryDrive(Utf8Of(Dir.path()));
  ASSERT_TRUE(Facts.has_value());
  ASSERT_GE(Facts->Drive.size(), 3u);
  EXPECT_EQ(Facts->Drive.substr(1), ":\\");
  EXPECT_EQ(Drives->DriveOf(Utf8Of(Dir / "x.zip")), Facts->Drive);
  EXPECT_EQ(Drives->DriveTypeOf(Facts->Drive), Facts->DriveType);
  EXPECT_EQ(Facts->DriveType, TDriveType::dtFixed);
  const auto Space = Drives->DiskSpace(Facts->Drive);
  ASSERT_TRUE(Space.has_value());
  EXPECT_GT(Space->TotalBytes, 0u);
  std::string Error;
  const auto Volume = Drives->VolumeInformation(Facts->Drive, Error);
  ASSERT_TRUE(Volume.has_value()) << Error;
  EXPECT_GT(Volume->MaxComponentLength, 0u);
  EXPECT_FALSE(Drives->VolumeInformation("Q:\\no\\such", Error).has_value());
  EXPECT_FALSE(Error.empty());
  EXPECT_EQ(Drives->DriveTypeOf(""), TDriveType::dtNoRootDir);
}

TEST(FileWin32, LongPathPrefixesAbsolutePaths) {
  EXPECT_EQ(LongPath("C:/a/b"), L"\\\\?\\C:\\a\\b");
  EXPECT_EQ(LongPath("C:\\a\\..\\b"), L"\\\\?\\C:\\b");
  EXPECT_EQ(LongPath("\\\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
  EXPECT_EQ(LongPath("\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
  EXPECT_EQ(WideToUtf8(Utf8ToWide(kKoreanName)), kKoreanName);
}

}  // namespace
}  // namespace ruvevid
