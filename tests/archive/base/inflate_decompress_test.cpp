// TDecompressStream over real files: reads, the give-back of read-ahead input, seeks, deciphered
// refills and the failures passed through from the decoder.

#include <gtest/gtest.h>

#include <stdexcept>

#include "archive/base/DecompressStream.h"
#include "archive/base/Stream32.h"
#include "archive/codec/InflateTestSupport.h"
#include "archive/codec/ZipCipher.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid::test {
namespace {

// A file holding Prefix garbage bytes, then the raw deflate stream of Data, then trailing bytes.
struct TPackedFile {
  TempDir Dir;
  TBytes Data;
  TBytes Packed;
  std::size_t Prefix = 0;
  std::filesystem::path Path;

  TPackedFile(TBytes Plain, std::size_t PrefixSize, const TBytes& Trailer = {9, 8, 7, 6, 5, 4, 3})
      : Data(std::move(Plain)), Prefix(PrefixSize), Path(Dir / "packed.bin") {
    Packed = ZlibDeflate(Data, 6, Z_DEFAULT_STRATEGY, -15);
    TBytes File(Prefix, 0xAA);
    File.insert(File.end(), Packed.begin(), Packed.end());
    File.insert(File.end(), Trailer.begin(), Trailer.end());
    WriteBytes(Path, File);
  }
};

// Reads the whole stream in Count-byte pieces and returns what was delivered.
TBytes ReadAll(TDecompressStream& Stream, std::size_t Expected, std::int32_t Count) {
  TBytes Out;
  TBytes Piece(static_cast<std::size_t>(Count));
  while (Out.size() < Expected) {
    const std::int32_t Asked = static_cast<std::int32_t>(
        std::min<std::size_t>(static_cast<std::size_t>(Count), Expected - Out.size()));
    const std::int32_t Got = Stream.Read(Piece.data(), Asked);
    EXPECT_EQ(Got, Asked);
    if (Got != Asked) break;
    Out.insert(Out.end(), Piece.begin(),
               Piece.begin() + (Asked - static_cast<std::int32_t>(Stream.Record().AvailOut)));
  }
  return Out;
}

class DecompressStreamPieceTest : public ::testing::TestWithParam<std::int32_t> {};

// Whatever the piece size, the bytes come out whole and the source is left just after the last
// compressed byte, however far the refills read ahead.
TEST_P(DecompressStreamPieceTest, ReadsAndGivesBackTheReadAhead) {
  TPackedFile File(MakeData(TDataKind::dkMixed, 200'000, 3), 100);
  TFileStream32 Source(File.Path.string(), fmOpenRead);
  ASSERT_TRUE(Source.IsOpen());
  Source.Seek(static_cast<std::int64_t>(File.Prefix), TSeekOrigin::soBeginning);
  {
    TDecompressStream Stream(Source, -15);
    ASSERT_EQ(Stream.InitResult(), kInflateOk);
    EXPECT_TRUE(ReadAll(Stream, File.Data.size(), GetParam()) == File.Data);
    EXPECT_EQ(Stream.Record().TotalOut, File.Data.size());
    EXPECT_TRUE(Stream.Finish());
    EXPECT_EQ(Stream.Record().TotalIn, File.Packed.size());
  }
  EXPECT_EQ(Source.Position(), static_cast<std::int64_t>(File.Prefix + File.Packed.size()));
}

INSTANTIATE_TEST_SUITE_P(Pieces, DecompressStreamPieceTest,
                         ::testing::Values(1, 7, 4096, 32768, 65536));

TEST(DecompressStreamTest, AfterTheEndReadsReturnCountAndWriteNothing) {
  TPackedFile File(MakeData(TDataKind::dkText, 1000), 0);
  TFileStream32 Source(File.Path.string(), fmOpenRead);
  TDecompressStream Stream(Source, -15);
  TBytes Buffer(4096, 0x55);
  EXPECT_EQ(Stream.Read(Buffer.data(), 4096), 4096);
  EXPECT_EQ(Stream.Record().AvailOut, 4096u - 1000u);
  EXPECT_TRUE(std::equal(File.Data.begin(), File.Data.end(), Buffer.begin()));
  const TBytes Before = Buffer;
  EXPECT_EQ(Stream.Read(Buffer.data(), 100), 100);
  EXPECT_EQ(Stream.Record().AvailOut, 100u);
  EXPECT_TRUE(Buffer == Before);
}

TEST(DecompressStreamTest, TruncatedDataGivesBufError) {
  const TBytes Data = MakeData(TDataKind::dkText, 50'000);
  TBytes Packed = ZlibDeflate(Data, 6, Z_DEFAULT_STRATEGY, -15);
  Packed.resize(Packed.size() / 2);
  TempDir Dir;
  WriteBytes(Dir / "cut.bin", Packed);
  TFileStream32 Source((Dir / "cut.bin").string(), fmOpenRead);
  TDecompressStream Stream(Source, -15);
  TBytes Buffer(32768);
  std::int32_t Got = 0;
  for (int Round = 0; Round < 4 && Got >= 0; ++Round) Got = Stream.Read(Buffer.data(), 32768);
  EXPECT_EQ(Got, kInflateBufError);
}

TEST(DecompressStreamTest, InvalidDataGivesDataErrorEveryTime) {
  TempDir Dir;
  WriteBytes(Dir / "bad.bin", TBytes{0x07, 0, 0, 0});  // last block, type 3
  TFileStream32 Source((Dir / "bad.bin").string(), fmOpenRead);
  TDecompressStream Stream(Source, -15);
  TBytes Buffer(16);
  EXPECT_EQ(Stream.Read(Buffer.data(), 16), kInflateDataError);
  EXPECT_EQ(Stream.Read(Buffer.data(), 16), kInflateDataError);
}

TEST(DecompressStreamTest, WriteIsRefused) {
  TPackedFile File(MakeData(TDataKind::dkText, 100), 0);
  TFileStream32 Source(File.Path.string(), fmOpenRead);
  TDecompressStream Stream(Source, -15);
  const std::uint8_t Byte = 1;
  EXPECT_EQ(Stream.Write(&Byte, 1), -1);
  EXPECT_THROW(Stream.WriteBuffer(&Byte, 1), EWriteError);
}

TEST(DecompressStreamTest, SeeksForwardBackwardAndToTheStart) {
  TPackedFile File(MakeData(TDataKind::dkBinary, 100'000, 8), 0);
  TFileStream32 Source(File.Path.string(), fmOpenRead);
  TDecompressStream Stream(Source, -15);
  TBytes Buffer(1000);
  EXPECT_EQ(Stream.Seek(5000, TSeekOrigin::soCurrent), 5000);
  ASSERT_EQ(Stream.Read(Buffer.data(), 1000), 1000);
  EXPECT_TRUE(std::equal(Buffer.begin(), Buffer.end(), File.Data.begin() + 5000));
  EXPECT_EQ(Stream.Seek(10000, TSeekOrigin::soBeginning), 10000) << "beyond the output: skips";
  EXPECT_EQ(Stream.Seek(100, TSeekOrigin::soBeginning), 10000) << "backwards: nothing";
  EXPECT_EQ(Stream.Seek(-5, TSeekOrigin::soCurrent), 10000);
  EXPECT_EQ(Stream.Seek(0, TSeekOrigin::soEnd), 10000);
  EXPECT_EQ(Stream.Position(), 10000);
  ASSERT_EQ(Stream.Read(Buffer.data(), 1000), 1000);
  EXPECT_TRUE(std::equal(Buffer.begin(), Buffer.end(), File.Data.begin() + 10000));
  EXPECT_EQ(Stream.Seek(0, TSeekOrigin::soBeginning), 0) << "restart";
  ASSERT_EQ(Stream.Read(Buffer.data(), 1000), 1000);
  EXPECT_TRUE(std::equal(Buffer.begin(), Buffer.end(), File.Data.begin()));
  EXPECT_THROW(Stream.Seek(std::int64_t{1} << 31, TSeekOrigin::soCurrent), std::out_of_range);
}

// Seek to 0 from the beginning goes back to the source's position 0, not to where the stream was
// made.
TEST(DecompressStreamTest, RestartReadsFromTheSourceStart) {
  TPackedFile File(MakeData(TDataKind::dkText, 3000), 0);
  TBytes Other = ZlibDeflate(MakeData(TDataKind::dkRuns, 500), 6, Z_DEFAULT_STRATEGY, -15);
  TempDir Dir;
  TBytes Both = File.Packed;
  Both.insert(Both.end(), Other.begin(), Other.end());
  WriteBytes(Dir / "two.bin", Both);
  TFileStream32 Source((Dir / "two.bin").string(), fmOpenRead);
  Source.Seek(static_cast<std::int64_t>(File.Packed.size()), TSeekOrigin::soBeginning);
  TDecompressStream Stream(Source, -15);
  TBytes Buffer(3000);
  ASSERT_EQ(Stream.Read(Buffer.data(), 500), 500);
  EXPECT_TRUE(
      std::equal(Buffer.begin(), Buffer.begin() + 500, MakeData(TDataKind::dkRuns, 500).begin()));
  Stream.Seek(0, TSeekOrigin::soBeginning);
  ASSERT_EQ(Stream.Read(Buffer.data(), 3000), 3000);
  EXPECT_TRUE(Buffer == File.Data);
}

// Other code moving the source between two reads does not disturb the stream.
TEST(DecompressStreamTest, SourceMovedBetweenReadsIsPutBack) {
  TPackedFile File(MakeData(TDataKind::dkText, 100'000, 4), 10);
  TFileStream32 Source(File.Path.string(), fmOpenRead);
  Source.Seek(10, TSeekOrigin::soBeginning);
  TDecompressStream Stream(Source, -15);
  TBytes Out;
  TBytes Piece(7000);
  int Reads = 0;
  while (Out.size() < File.Data.size()) {
    const std::int32_t Count =
        static_cast<std::int32_t>(std::min<std::size_t>(7000, File.Data.size() - Out.size()));
    ASSERT_EQ(Stream.Read(Piece.data(), Count), Count);
    Out.insert(Out.end(), Piece.begin(), Piece.begin() + Count);
    Source.Seek(3, TSeekOrigin::soBeginning);
    ++Reads;
  }
  EXPECT_TRUE(Out == File.Data);
  EXPECT_GT(Reads, 2);
}

// Refills are deciphered in place; what was read past the data is given back unread.
TEST(DecompressStreamTest, DeciphersEveryRefill) {
  const TBytes Data = MakeData(TDataKind::dkMixed, 120'000, 6);
  TBytes Packed = ZlibDeflate(Data, 6, Z_DEFAULT_STRATEGY, -15);
  TZipCipher Writer;
  Writer.CipherInit("secret");
  TBytes Sealed = Packed;
  Writer.EncipherBuffer(Sealed.data(), Sealed.size());
  Sealed.insert(Sealed.end(), 5000, 0x11);
  TempDir Dir;
  WriteBytes(Dir / "sealed.bin", Sealed);
  TFileStream32 Source((Dir / "sealed.bin").string(), fmOpenRead);
  TZipCipher Reader;
  Reader.CipherInit("secret");
  int Refills = 0;
  {
    TDecompressStream Stream(Source, -15);
    Stream.Record().DecryptInput = true;
    Stream.Decipher = [&Reader](std::uint8_t* Buffer, std::int32_t Count) {
      Reader.DecipherBuffer(Buffer, static_cast<std::size_t>(Count));
    };
    Stream.OnProgress = [&Refills](TStream32*) { ++Refills; };
    EXPECT_TRUE(ReadAll(Stream, Data.size(), 32768) == Data);
  }
  EXPECT_GE(Refills, 2);
  EXPECT_EQ(Source.Position(), static_cast<std::int64_t>(Packed.size()));
}

TEST(DecompressStreamTest, BadWindowBitsFailInit) {
  TPackedFile File(MakeData(TDataKind::dkText, 10), 0);
  TFileStream32 Source(File.Path.string(), fmOpenRead);
  TDecompressStream Stream(Source, -3);
  EXPECT_EQ(Stream.InitResult(), kInflateStreamError);
  TBytes Buffer(10);
  EXPECT_EQ(Stream.Read(Buffer.data(), 10), kInflateStreamError);
}

TEST(DecompressStreamTest, WrappedFormDecodes) {
  const TBytes Data = MakeData(TDataKind::dkText, 30'000);
  TempDir Dir;
  WriteBytes(Dir / "wrapped.bin", ZlibDeflate(Data, 9, Z_DEFAULT_STRATEGY, 15));
  TFileStream32 Source((Dir / "wrapped.bin").string(), fmOpenRead);
  TDecompressStream Stream(Source, 15);
  EXPECT_TRUE(ReadAll(Stream, Data.size(), 4096) == Data);
  EXPECT_TRUE(Stream.Finish());
}

}  // namespace
}  // namespace ruvevid::test
