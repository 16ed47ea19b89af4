// The system's copy between open files and the mapped views of a file, on real files: ranges at
// offsets, to an output's position, past the input's end, nothing at all; the files it refuses,
// which callers must hear about to copy themselves; and the bytes a view shows.

#include <fcntl.h>
#include <gtest/gtest.h>
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

// An input of noise, left at position 7 (the copy must not move it), and an output holding Prefix
// and positioned after it.
struct TFiles {
  explicit TFiles(const std::string& Prefix = "") : Data(test::NoiseBytes(kInputSize, 11)) {
    test::WriteBytes(Dir / "in.bin", Data);
    test::WriteBytes(Dir / "out.bin", Prefix);
    int Error = 0;
    In = OpenFile((Dir / "in.bin").string(), TOpenFor::ofRead, Error);
    Out = OpenFile((Dir / "out.bin").string(), TOpenFor::ofWrite, Error);
    SeekFile(In.Native(), 7, TSeekFrom::sfBeginning);
    SeekFile(Out.Native(), 0, TSeekFrom::sfEnd);
  }
  test::TempDir Dir;
  std::string Data;
  TFileHandle In;
  TFileHandle Out;
};

struct TCopyCase {
  const char* Name;
  std::int64_t Offset;
  std::size_t Count;
  const char* Prefix;
  std::size_t Copied;
  TRangeCopyStatus Status;
};
void PrintTo(const TCopyCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class FileRangeCopy : public ::testing::TestWithParam<TCopyCase> {};

TEST_P(FileRangeCopy, CopiesTheRangeToTheOutputsPosition) {
  const TCopyCase& Case = GetParam();
  TFiles Files(Case.Prefix);
  const TRangeCopyResult Result =
      CopyFileRange(Files.In.Native(), Case.Offset, Files.Out.Native(), Case.Count);
  EXPECT_EQ(Result.Status, Case.Status);
  EXPECT_EQ(Result.Copied, Case.Copied);
  const std::string Expected =
      Case.Prefix + Files.Data.substr(static_cast<std::size_t>(Case.Offset), Case.Copied);
  EXPECT_TRUE(test::ReadBytes(Files.Dir / "out.bin") == Expected);
  EXPECT_EQ(SeekFile(Files.Out.Native(), 0, TSeekFrom::sfCurrent),
            static_cast<std::int64_t>(Expected.size()));
  EXPECT_EQ(SeekFile(Files.In.Native(), 0, TSeekFrom::sfCurrent), 7);
}

using enum TRangeCopyStatus;
INSTANTIATE_TEST_SUITE_P(
    Cases, FileRangeCopy,
    ::testing::Values(TCopyCase{"FromTheStart", 0, 65536, "", 65536, rcDone},
                      TCopyCase{"AtAnOddOffset", 12345, 70001, "", 70001, rcDone},
                      TCopyCase{"AfterWhatTheOutputHolds", 4096, 32768, "head", 32768, rcDone},
                      TCopyCase{"TheWholeFile", 0, kInputSize, "", kInputSize, rcDone},
                      TCopyCase{"NothingAsked", 100, 0, "kept", 0, rcDone},
                      TCopyCase{"PastTheInputsEnd", kInputSize - 1000, 5000, "", 1000, rcEnded},
                      TCopyCase{"AtTheInputsEnd", kInputSize, 10, "", 0, rcEnded}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// Files the system does not copy between: the caller hears rcUnsupported, for the zero-count
// probe too, and nothing is written.
enum class TRefused : std::uint8_t { rfAppendingOutput, rfPipe, rfWriteOnlyInput, rfOtherDisk };
struct TRefusedCase {
  const char* Name;
  TRefused What;
  std::size_t Count;
};
void PrintTo(const TRefusedCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class FileRangeCopyRefused : public ::testing::TestWithParam<TRefusedCase> {};

TEST_P(FileRangeCopyRefused, IsReportedAndWritesNothing) {
  const TRefusedCase& Case = GetParam();
  TFiles Files("before");
  const fs::path Other = Files.Dir / "other";
  test::TPrivateTmpfs Disk;
  TFileHandle From(::dup(Files.In.Native()));
  TFileHandle To;
  TFileHandle PipeEnd;
  int Error = 0;
  if (Case.What == TRefused::rfAppendingOutput) {
    To = OpenFile((Files.Dir / "out.bin").string(), TOpenFor::ofAppend, Error);
  } else if (Case.What == TRefused::rfPipe) {
    int Pipe[2] = {-1, -1};
    ASSERT_EQ(::pipe2(Pipe, O_NONBLOCK), 0);
    PipeEnd = TFileHandle(Pipe[0]);
    To = TFileHandle(Pipe[1]);
  } else if (Case.What == TRefused::rfWriteOnlyInput) {
    From = OpenFile((Files.Dir / "in.bin").string(), TOpenFor::ofWrite, Error);
    To = TFileHandle(::dup(Files.Out.Native()));
  } else {
    fs::create_directory(Other);
    std::string Why;
    if (!Disk.Mount(Other, 1 << 20, Why)) GTEST_SKIP() << Why;
    To = OpenFile((Other / "out.bin").string(), TOpenFor::ofCreateToWrite, Error);
  }
  ASSERT_TRUE(From.IsOpen() && To.IsOpen());
  const TRangeCopyResult Result = CopyFileRange(From.Native(), 0, To.Native(), Case.Count);
  EXPECT_EQ(Result.Status, TRangeCopyStatus::rcUnsupported);
  EXPECT_EQ(Result.Copied, 0U);
  EXPECT_NE(Result.Error, 0);
  if (Case.What == TRefused::rfOtherDisk) {
    EXPECT_EQ(Result.Error, EXDEV);
  }
  EXPECT_EQ(test::ReadBytes(Files.Dir / "out.bin"), "before");
  char Byte = 0;
  if (PipeEnd.IsOpen()) {
    EXPECT_LT(::read(PipeEnd.Native(), &Byte, 1), 1) << "nothing reached the pipe";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileRangeCopyRefused,
    ::testing::Values(TRefusedCase{"AppendingOutputProbe", TRefused::rfAppendingOutput, 0},
                      TRefusedCase{"AppendingOutput", TRefused::rfAppendingOutput, 4096},
                      TRefusedCase{"PipeProbe", TRefused::rfPipe, 0},
                      TRefusedCase{"Pipe", TRefused::rfPipe, 4096},
                      TRefusedCase{"WriteOnlyInput", TRefused::rfWriteOnlyInput, 4096},
                      TRefusedCase{"OtherDiskProbe", TRefused::rfOtherDisk, 0},
                      TRefusedCase{"OtherDisk", TRefused::rfOtherDisk, 4096}),
    [](const auto& Info) { return std::string(Info.param.Name); });

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
  TFiles Files;
  TFileView View(Files.In.Native());
  // A window mapped elsewhere in the file before does not get in the way.
  ASSERT_NE(View.Bytes(static_cast<std::int64_t>(kInputSize) - 10, 10), nullptr);
  const std::uint8_t* Bytes = View.Bytes(Case.Offset, Case.Count);
  ASSERT_EQ(Bytes != nullptr, Case.Viewed);
  if (Bytes == nullptr) return;
  EXPECT_TRUE(std::string(reinterpret_cast<const char*>(Bytes), Case.Count) ==
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

}  // namespace
}  // namespace ruvevid
