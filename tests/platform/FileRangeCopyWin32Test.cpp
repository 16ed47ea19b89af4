// Windows has no copy between two open handles for a byte range: every copy and every view says
// so, and nothing is written, so that the stored copy keeps to its own buffers there.

#include <gtest/gtest.h>

#include <string>

#include "platform/FileHandle.h"
#include "platform/FileRangeCopy.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

struct TWin32CopyCase {
  const char* Name;
  std::size_t Count;
};

class FileRangeCopyWin32 : public ::testing::TestWithParam<TWin32CopyCase> {};

TEST_P(FileRangeCopyWin32, IsRefusedAndWritesNothing) {
  test::TempDir Dir;
  test::WriteBytes(Dir / "in.bin", test::NoiseBytes(70000, 5));
  int Error = 0;
  TFileHandle In = OpenFile((Dir / "in.bin").string(), TOpenFor::ofRead, Error);
  TFileHandle Out = OpenFile((Dir / "out.bin").string(), TOpenFor::ofCreateToWrite, Error);
  ASSERT_TRUE(In.IsOpen() && Out.IsOpen());
  const TRangeCopyResult Result = CopyFileRange(In.Native(), 0, Out.Native(), GetParam().Count);
  EXPECT_EQ(Result.Status, TRangeCopyStatus::rcUnsupported);
  EXPECT_EQ(Result.Copied, 0U);
  Out.Close();
  EXPECT_EQ(test::ReadBytes(Dir / "out.bin"), "");
  TFileView View(In.Native());
  EXPECT_EQ(View.Bytes(0, GetParam().Count + 1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, FileRangeCopyWin32,
                         ::testing::Values(TWin32CopyCase{"Probe", 0},
                                           TWin32CopyCase{"Block", 32768}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
