// The read buffers in front of the archive stream deliver exactly what the stream itself would, for
// every read size and for the seek patterns of the walks (alternating far positions, read-ahead
// given back by a relative seek, reads past the end).

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "FrameTestSupport.h"
#include "archive/zip/BufferedArchiveStream.h"

namespace ruvevid {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t Size) {
  std::vector<std::uint8_t> Bytes(Size);
  for (std::size_t i = 0; i < Size; ++i) Bytes[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
  return Bytes;
}

constexpr std::size_t kSize = 300000;

class BufferedArchiveStream : public ::testing::TestWithParam<std::int32_t> {
 protected:
  BufferedArchiveStream()
      : Data(Pattern(kSize)), Stream(std::make_unique<test::TMemoryStream32>(Data)) {}
  // Reads Count bytes at Offset through the buffers and compares them with the data.
  void ExpectReadAt(std::int64_t Offset, std::int32_t Count) {
    ASSERT_EQ(Stream.Seek(Offset, TSeekOrigin::soBeginning), Offset);
    std::vector<std::uint8_t> Got(static_cast<std::size_t>(Count));
    const std::int64_t Expected =
        std::max<std::int64_t>(0, std::min<std::int64_t>(Count, std::int64_t{kSize} - Offset));
    ASSERT_EQ(Stream.Read(Got.data(), Count), Expected) << "at " << Offset;
    for (std::int64_t i = 0; i < Expected; ++i)
      ASSERT_EQ(Got[static_cast<std::size_t>(i)], Data[static_cast<std::size_t>(Offset + i)])
          << "at " << Offset + i;
    EXPECT_EQ(Stream.Position(), Offset + Expected);
  }
  std::vector<std::uint8_t> Data;
  TBufferedArchiveStream Stream;
};

TEST_P(BufferedArchiveStream, SequentialReadsDeliverEveryByte) {
  for (std::int64_t At = 0; At < std::int64_t{kSize}; At += GetParam())
    ExpectReadAt(At, GetParam());
}

TEST_P(BufferedArchiveStream, AlternatingFarPositionsDeliverEveryByte) {
  const std::int64_t Far = kSize - 70000;
  for (std::int64_t i = 0; i < 40; ++i) {
    ExpectReadAt(Far + i * 46, 46);
    ExpectReadAt(i * 4000, GetParam());
  }
}

TEST_P(BufferedArchiveStream, ARelativeSeekBackGivesTheSameBytesAgain) {
  ExpectReadAt(1000, GetParam());
  Stream.Seek(-GetParam(), TSeekOrigin::soCurrent);
  EXPECT_EQ(Stream.Position(), 1000);
  ExpectReadAt(1000, GetParam());
}

TEST_P(BufferedArchiveStream, ReadsAtAndPastTheEndAreShort) {
  ExpectReadAt(kSize - 10, GetParam());
  ExpectReadAt(kSize + 5, GetParam());
  EXPECT_EQ(Stream.Size(), std::int64_t{kSize});
}

INSTANTIATE_TEST_SUITE_P(ReadSizes, BufferedArchiveStream,
                         ::testing::Values(1, 30, 46, 4096, 32767, 32768, 65536, 100000));

TEST(BufferedArchiveStreamWrites, AreRefused) {
  TBufferedArchiveStream Stream(std::make_unique<test::TMemoryStream32>(Pattern(10)));
  const std::uint8_t Byte = 1;
  EXPECT_EQ(Stream.Write(&Byte, 1), 0);
  EXPECT_THROW(Stream.SetSize(0), EStreamError);
}

}  // namespace
}  // namespace ruvevid
