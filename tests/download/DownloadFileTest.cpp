#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>

#include "download/DownloadFile.h"
#include "download/WinHTTPDownload.h"
#include "support/FileSet.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

struct WriteCase {
  std::size_t BufferSize;
  std::size_t Total;
  std::size_t Piece;
};

class OutputFileWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(OutputFileWriteTest, FileHoldsExactlyTheWrittenBytesWhenClosed) {
  const WriteCase& Case = GetParam();
  const test::TempDir Folder;
  const std::string Data = test::PatternBytes(Case.Total);
  TDownloadFile File(Case.BufferSize);
  File.Create((Folder / "out.bin").string());
  for (std::size_t Done = 0; Done < Data.size(); Done += Case.Piece) {
    File.Write(Data.data() + Done, std::min(Case.Piece, Data.size() - Done));
  }
  File.Close();
  EXPECT_FALSE(File.IsOpen());
  EXPECT_EQ(test::ReadBytes(Folder / "out.bin"), Data);
}

INSTANTIATE_TEST_SUITE_P(Sizes, OutputFileWriteTest,
                         testing::Values(WriteCase{1, 1000, 255}, WriteCase{255, 1000, 255},
                                         WriteCase{256, 1000, 255}, WriteCase{1000, 1000, 255},
                                         WriteCase{4096, 100000, 255}, WriteCase{64, 5000, 1000},
                                         WriteCase{TDownloadFile::kDefaultBufferSize, 3000000, 255},
                                         WriteCase{4096, 0, 1}));

TEST(OutputFileTest, CreateReplacesAnExistingFile) {
  const test::TempDir Folder;
  test::WriteBytes(Folder / "out.bin", std::string(5000, 'x'));
  TDownloadFile File;
  File.Create((Folder / "out.bin").string());
  File.Write("abc", 3);
  File.Close();
  EXPECT_EQ(test::ReadBytes(Folder / "out.bin"), "abc");
}

TEST(OutputFileTest, CreateBelowARegularFileRaisesInOutError) {
  const test::TempDir Folder;
  test::WriteBytes(Folder / "plain", "x");
  TDownloadFile File;
  try {
    File.Create((Folder / "plain" / "out.bin").string());
    FAIL() << "no error";
  } catch (const EInOutError& Error) {
    EXPECT_EQ(Error.ErrorCode(), ENOTDIR);
    EXPECT_EQ(std::string(Error.what()).rfind("I/O error 20: ", 0), 0u) << Error.what();
  }
  EXPECT_FALSE(File.IsOpen());
  EXPECT_NO_THROW(File.Close());
}

TEST(OutputFileTest, FailedWriteRaisesAtTheLatestOnClose) {
  TDownloadFile File(4096);
  File.Create("/dev/full");
  File.Write("abc", 3);  // still buffered
  try {
    File.Close();
    FAIL() << "no error";
  } catch (const EInOutError& Error) {
    EXPECT_EQ(Error.ErrorCode(), ENOSPC);
  }
  EXPECT_FALSE(File.IsOpen());
  EXPECT_NO_THROW(File.Close());
}

TEST(OutputFileTest, FailedWriteRaisesWhenTheBufferFills) {
  TDownloadFile File(1024);
  File.Create("/dev/full");
  const std::string Block(255, 'x');
  EXPECT_THROW(
      {
        for (int Index = 0; Index < 5; ++Index) File.Write(Block.data(), Block.size());
      },
      EInOutError);
  // The failed bytes are not written again: closing reports nothing more.
  EXPECT_NO_THROW(File.Close());
}

TEST(OutputFileTest, DestructorClosesQuietly) {
  const test::TempDir Folder;
  {
    TDownloadFile File;
    File.Create((Folder / "out.bin").string());
    File.Write("abc", 3);
  }
  EXPECT_EQ(test::ReadBytes(Folder / "out.bin"), "abc");
  EXPECT_NO_THROW({
    TDownloadFile Full;
    Full.Create("/dev/full");
    Full.Write("abc", 3);
  });
}

}  // namespace
}  // namespace ruvevid
