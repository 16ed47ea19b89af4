// The system's copy between open files and the mapped views of a file, on real files: ranges at
// offsets, to an output's position, past the input's end, nothing at all; the files it refuses,
// which the callers must hear about to copy themselves; a full disk; and the bytes a view shows.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <ostream>
#include <string>

#include "platform/FileHandle.h"
#include "platform/FileRangeCopy.h"
#include "support/FileSet.h"
#include "support/PrivateTmpfs.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kInputSize = 3'000'000;

// An input of kInputSize noise bytes and an output that already holds Prefix, positioned at its
// end; the input's position is left at 7 to show that the copy does not move it.
class FileRangeCopyFiles {
 public:
  explicit FileRangeCopyFiles(const std::string& Prefix = "") {
    Data = test::NoiseBytes(kInputSize, 11);
    test::WriteBytes(Dir / "in.bin", Data);
    test::WriteBytes(Dir / "out.bin", Prefix);
    int Error = 0;
    In = OpenFile((Dir / "in.bin").string(), TOpenFor::ofRead, Error);
    Out = OpenFile((Dir / "out.bin").string(), TOpenFor::ofWrite, Error);
    SeekFile(In.Native(), 7, TSeekFrom::sfBeginning);
    SeekFile(Out.Native(), 0, TSeekFrom::sfEnd);
  }
  std::string Output() const { return test::ReadBytes(Dir / "out.bin"); }

  test::TempDir Dir;
  std::string Data;
  TFileHandle In;
  TFileHandle Out;
};

struct TCopyCase {
  const char* Name;
  std::int64_t Offset;
  std::size_t Count;
  const char* Prefix;  // what the output holds before
  std::size_t Copied;
  TRangeCopyStatus Status;
};

void PrintTo(const TCopyCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class FileRangeCopy : public ::testing::TestWithParam<TCopyCase> {};

TEST_P(FileRangeCopy, CopiesTheRangeToTheOutputsPosition) {
  const TCopyCase& Case = GetParam();
  FileRangeCopyFiles Files(Case.Prefix);
  const TRangeCopyResult Result =
      CopyFileRange(Files.In.Native(), Case.Offset, Files.Out.Native(), Case.Count);
  EXPECT_EQ(Result.Status, Case.Status);
  EXPECT_EQ(Result.Copied, Case.Copied);
  EXPECT_EQ(Result.Error, 0);
  const std::string Prefix = Case.Prefix;
  EXPECT_EQ(Files.Output(),
            Prefix + Files.Data.substr(static_cast<std::size_t>(Case.Offset), Case.Copied));
  EXPECT_EQ(SeekFile(Files.Out.Native(), 0, TSeekFrom::sfCurrent),
            static_cast<std::int64_t>(Prefix.size() + Case.Copied));
  EXPECT_EQ(SeekFile(Files.In.Native(), 0, TSeekFrom::sfCurrent), 7);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileRangeCopy,
    ::testing::Values(
        TCopyCase{"FromTheStart", 0, 65536, "", 65536, TRangeCopyStatus::rcDone},
        TCopyCase{"AtAnOddOffset", 12345, 70001, "", 70001, TRangeCopyStatus::rcDone},
        TCopyCase{"AfterWhatTheOutputHolds", 4096, 32768, "header", 32768,
                  TRangeCopyStatus::rcDone},
        TCopyCase{"TheWholeFile", 0, kInputSize, "", kInputSize, TRangeCopyStatus::rcDone},
        TCopyCase{"NothingAsked", 100, 0, "kept", 0, TRangeCopyStatus::rcDone},
        TCopyCase{"PastTheInputsEnd", kInputSize - 1000, 5000, "", 1000, TRangeCopyStatus::rcEnded},
        TCopyCase{"AtTheInputsEnd", kInputSize, 10, "", 0, TRangeCopyStatus::rcEnded}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// Files the system does not copy between: the caller hears rcUnsupported, for a zero count too
// (the callers' probe), and nothing is written.
struct TRefusedCase {
  const char* Name;
  std::size_t Count;
};

void PrintTo(const TRefusedCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class FileRangeCopyRefused : public ::testing::TestWithParam<TRefusedCase> {};

TEST_P(FileRangeCopyRefused, ToAFileOpenedToAppend) {
  FileRangeCopyFiles Files("before");
  int Error = 0;
  TFileHandle Append = OpenFile((Files.Dir / "out.bin").string(), TOpenFor::ofAppend, Error);
  ASSERT_TRUE(Append.IsOpen());
  const TRangeCopyResult Result =
      CopyFileRange(Files.In.Native(), 0, Append.Native(), GetParam().Count);
  EXPECT_EQ(Result.Status, TRangeCopyStatus::rcUnsupported);
  EXPECT_EQ(Result.Copied, 0U);
  EXPECT_NE(Result.Error, 0);
  EXPECT_EQ(Files.Output(), "before");
}

TEST_P(FileRangeCopyRefused, ToAPipe) {
  FileRangeCopyFiles Files;
  int Pipe[2] = {-1, -1};
  ASSERT_EQ(::pipe(Pipe), 0);
  TFileHandle ReadEnd(Pipe[0]);
  TFileHandle WriteEnd(Pipe[1]);
  const TRangeCopyResult Result =
      CopyFileRange(Files.In.Native(), 0, WriteEnd.Native(), GetParam().Count);
  EXPECT_EQ(Result.Status, TRangeCopyStatus::rcUnsupported);
  EXPECT_EQ(Result.Copied, 0U);
  ::fcntl(ReadEnd.Native(), F_SETFL, O_NONBLOCK);
  char Byte = 0;
  EXPECT_LT(::read(ReadEnd.Native(), &Byte, 1), 1) << "nothing reached the pipe";
}

TEST_P(FileRangeCopyRefused, FromAFileOpenedOnlyToWrite) {
  FileRangeCopyFiles Files;
  int Error = 0;
  TFileHandle WriteOnly = OpenFile((Files.Dir / "in.bin").string(), TOpenFor::ofWrite, Error);
  ASSERT_TRUE(WriteOnly.IsOpen());
  const TRangeCopyResult Result =
      CopyFileRange(WriteOnly.Native(), 0, Files.Out.Native(), GetParam().Count);
  EXPECT_EQ(Result.Status, TRangeCopyStatus::rcUnsupported);
  EXPECT_EQ(Files.Output(), "");
}

TEST_P(FileRangeCopyRefused, AcrossFileSystems) {
  FileRangeCopyFiles Files;
  const fs::path Other = Files.Dir / "other";
  fs::create_directory(Other);
  test::TPrivateTmpfs Disk;
  std::string Why;
  if (!Disk.Mount(Other, 1 << 20, Why)) GTEST_SKIP() << Why;
  int Error = 0;
  TFileHandle Out = OpenFile((Other / "out.bin").string(), TOpenFor::ofCreateToWrite, Error);
  ASSERT_TRUE(Out.IsOpen());
  const TRangeCopyResult Result = CopyFileRange(Files.In.Native(), 0, Out.Native(), 1000);
  EXPECT_EQ(Result.Status, TRangeCopyStatus::rcUnsupported);
  EXPECT_EQ(Result.Error, EXDEV);
  EXPECT_EQ(test::ReadBytes(Other / "out.bin"), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, FileRangeCopyRefused,
                         ::testing::Values(TRefusedCase{"Probe", 0}, TRefusedCase{"Copy", 4096}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// A disk that fills up is a failure of the copy, not a refusal: the caller writes the rest itself
// and meets the full disk there.
TEST(FileRangeCopyFailure, AFullDiskStopsTheCopyWithWhatWasCopied) {
  test::TempDir Dir;
  test::TPrivateTmpfs Disk;
  std::string Why;
  if (!Disk.Mount(Dir.path(), 256 * 1024, Why)) GTEST_SKIP() << Why;
  const std::string Data = test::NoiseBytes(150 * 1024, 3);
  test::WriteBytes(Dir / "in.bin", Data);
  int Error = 0;
  TFileHandle In = OpenFile((Dir / "in.bin").string(), TOpenFor::ofRead, Error);
  TFileHandle Out = OpenFile((Dir / "out.bin").string(), TOpenFor::ofCreateToWrite, Error);
  ASSERT_TRUE(In.IsOpen() && Out.IsOpen());
  const TRangeCopyResult Result = CopyFileRange(In.Native(), 0, Out.Native(), Data.size());
  EXPECT_EQ(Result.Status, TRangeCopyStatus::rcFailed);
  EXPECT_EQ(Result.Error, ENOSPC);
  EXPECT_LT(Result.Copied, Data.size());
  EXPECT_EQ(test::ReadBytes(Dir / "out.bin"), Data.substr(0, Result.Copied));
}

struct TViewCase {
  const char* Name;
  std::int64_t Offset;
  std::size_t Count;
  bool Viewed;
};

void PrintTo(const TViewCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class FileView : public ::testing::TestWithParam<TViewCase> {};

TEST_P(FileView, ShowsTheFilesBytes) {
  const TViewCase& Case = GetParam();
  FileRangeCopyFiles Files;
  TFileView View(Files.In.Native());
  // A window already mapped elsewhere in the file does not get in the way.
  ASSERT_NE(View.Bytes(static_cast<std::int64_t>(kInputSize) - 10, 10), nullptr);
  const std::uint8_t* Bytes = View.Bytes(Case.Offset, Case.Count);
  ASSERT_EQ(Bytes != nullptr, Case.Viewed);
  if (Bytes == nullptr) return;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Bytes), Case.Count),
            Files.Data.substr(static_cast<std::size_t>(Case.Offset), Case.Count));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileView,
    ::testing::Values(TViewCase{"FirstBlock", 0, 32768, true},
                      TViewCase{"OffPageBoundaries", 5001, 40000, true},
                      TViewCase{"AcrossAWindowsEnd", TFileView::kWindowSize - 100, 32768, true},
                      TViewCase{"LargerThanAWindow", 3, TFileView::kWindowSize + 5000, true},
                      TViewCase{"TheLastBytes", kInputSize - 32768, 32768, true},
                      TViewCase{"PastTheEnd", kInputSize - 100, 101, false},
                      TViewCase{"Nothing", 0, 0, false},
                      TViewCase{"BeforeTheStart", -1, 10, false}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(FileViewGrowth, BytesAddedAfterAWindowWasMappedAreSeen) {
  test::TempDir Dir;
  test::WriteBytes(Dir / "f.bin", std::string(10000, 'a'));
  int Error = 0;
  TFileHandle File = OpenFile((Dir / "f.bin").string(), TOpenFor::ofReadWrite, Error);
  ASSERT_TRUE(File.IsOpen());
  TFileView View(File.Native());
  ASSERT_NE(View.Bytes(0, 100), nullptr);
  EXPECT_EQ(View.Bytes(10000, 5), nullptr);
  SeekFile(File.Native(), 0, TSeekFrom::sfEnd);
  ASSERT_EQ(WriteAll(File.Native(), "bbbbb", 5), 0);
  const std::uint8_t* Added = View.Bytes(9998, 7);
  ASSERT_NE(Added, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Added), 7), "aabbbbb");
}

TEST(FileViewGrowth, NoFileNoView) {
  TFileView View(kNoHandle);
  EXPECT_EQ(View.Bytes(0, 1), nullptr);
}

}  // namespace
}  // namespace ruvevid
