// Block reading and writing: deciphering by archive type, CRC folding, a full disk (/dev/full and
// an injected ENOSPC), short writes, read errors; and the CRC verdict.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using test::TEventLog;
using test::TMemoryStream32;
using test::TProbeUnZip;
using test::TShortWriteStream32;
using Lines = std::vector<std::string>;

std::vector<std::uint8_t> Bytes(std::size_t Count, std::uint8_t Seed) {
  std::vector<std::uint8_t> Data(Count);
  for (std::size_t i = 0; i < Count; ++i) Data[i] = static_cast<std::uint8_t>(Seed + i * 13);
  return Data;
}

class BlockIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log.Attach(Arc);
    Arc.ForceArchiveFile("arc.zip");
    Arc.Run().OutputName = "out.bin";
    Arc.ForceArcType(TArcType::atZip);
  }
  TProbeUnZip Arc;
  TEventLog Log;
};

TEST_F(BlockIoTest, WriteFoldsTheWrittenBytesIntoTheCrc) {
  auto Data = Bytes(1000, 1);
  TMemoryStream32 Out;
  EXPECT_EQ(Arc.WriteBlock(Out, Data.data(), 1000, false, kCrcKind32, 1), 1000);
  EXPECT_EQ(Out.Data(), Data);
  EXPECT_EQ(Arc.Run().Decode.Crc.Crc32, UpdateCrc32(kCrc32Start, Data.data(), Data.size()));
  // UpdateCrc 0 or another CrcKind: no CRC.
  const std::uint32_t Before = Arc.Run().Decode.Crc.Crc32;
  Arc.WriteBlock(Out, Data.data(), 1000, false, kCrcKind32, 0);
  Arc.WriteBlock(Out, Data.data(), 1000, false, kCrcKindNone, 1);
  EXPECT_EQ(Arc.Run().Decode.Crc.Crc32, Before);
  Arc.WriteBlock(Out, Data.data(), 1000, false, kCrcKind16, 1);
  EXPECT_EQ(Arc.Run().Decode.Crc.Crc16, UpdateCrc16(0, Data.data(), Data.size()));
  // Nothing to write: nothing happens.
  EXPECT_EQ(Arc.WriteBlock(Out, Data.data(), 0, false, kCrcKind32, 1), 0);
  EXPECT_TRUE(Log.Lines.empty());
}

struct DecipherCase {
  const char* Name;
  TArcType Type;
  bool Decrypt;
  std::uint8_t UpdateCrc;
  bool Deciphered;
};

class WriteDecipher : public BlockIoTest, public ::testing::WithParamInterface<DecipherCase> {};

TEST_P(WriteDecipher, OnlyZipFamilyWithUpdateCrc) {
  const auto& Case = GetParam();
  Arc.ForceArcType(Case.Type);
  const auto Plain = Bytes(300, 9);
  auto Buffer = Plain;
  TZipCipher Enc;
  Enc.CipherInit("k");
  Enc.EncipherBuffer(Buffer.data(), Buffer.size());
  const auto Enciphered = Buffer;
  Arc.Run().Decode.Cipher.CipherInit("k");
  TMemoryStream32 Out;
  Arc.WriteBlock(Out, Buffer.data(), 300, Case.Decrypt, kCrcKind32, Case.UpdateCrc);
  EXPECT_EQ(Out.Data(), Case.Deciphered ? Plain : Enciphered);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteDecipher,
    ::testing::Values(DecipherCase{"Zip", TArcType::atZip, true, 1, true},
                      DecipherCase{"ZipExe", TArcType::atZipExe, true, 1, true},
                      DecipherCase{"Jar", TArcType::atJar, true, 1, true},
                      DecipherCase{"JarExe", TArcType::atJarExe, true, 1, true},
                      DecipherCase{"Bh", TArcType::atBh, true, 1, true},
                      DecipherCase{"BhExe", TArcType::atBhExe, true, 1, true},
                      DecipherCase{"ZipDS", TArcType::atZipDS, true, 1, true},
                      DecipherCase{"ZipMV", TArcType::atZipMV, true, 1, true},
                      DecipherCase{"Arj", TArcType::atArj, true, 1, false},
                      DecipherCase{"NA", TArcType::atNA, true, 1, false},
                      DecipherCase{"NoDecrypt", TArcType::atZip, false, 1, false},
                      DecipherCase{"NoCrcUpdate", TArcType::atZip, true, 0, false}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(BlockIoTest, DiskFullOnDevFull) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TFileStream32 Full("/dev/full", fmOpenWrite);
  ASSERT_TRUE(Full.IsOpen());
  Arc.Run().ExtractedCount = 3;
  auto Data = Bytes(100, 2);
  EXPECT_THROW(Arc.WriteBlock(Full, Data.data(), 100, false, kCrcKind32, 1), E_RAISE);
  EXPECT_EQ(Arc.Run().ExtractedCount, 3) << "the entry driver uncounts an entry it does not keep";
  EXPECT_EQ(Arc.Run().Decode.Crc.Crc32, kCrc32Start);
  EXPECT_EQ(Log.Lines, (Lines{"Error 25160 [arc.zip] [out.bin] [0]"}));
}

TEST_F(BlockIoTest, DiskFullWhileCancelledReturnsWithoutRaising) {
  TShortWriteStream32 Out(40, ENOSPC);
  Arc.Run().ExtractedCount = 2;
  Arc.SetCancel(true);
  Log.Lines.clear();
  auto Data = Bytes(100, 2);
  std::int32_t Written = -1;
  EXPECT_NO_THROW(Written = Arc.WriteBlock(Out, Data.data(), 100, false, kCrcKind32, 1));
  EXPECT_EQ(Written, 40);
  EXPECT_EQ(Arc.Run().ExtractedCount, 2);
  EXPECT_EQ(Arc.Run().Decode.Crc.Crc32, kCrc32Start);
  EXPECT_EQ(Log.Lines, (Lines{"Error 25443 [arc.zip] [out.bin] [0]"}));
}

// An entry may not write more than it declares: the write that would go past fails the entry.
TEST_F(BlockIoTest, OutputPastTheEntrysLimitFailsIt) {
  TMemoryStream32 Out;
  Arc.Run().Decode.OutputLimit = 150;
  Arc.Run().Decode.OutputWritten = 0;
  auto Data = Bytes(100, 2);
  EXPECT_EQ(Arc.WriteBlock(Out, Data.data(), 100, false, kCrcKind32, 1), 100);
  EXPECT_THROW(Arc.WriteBlock(Out, Data.data(), 100, false, kCrcKind32, 1), E_RAISE);
  EXPECT_EQ(Out.Data().size(), 100u);
  EXPECT_EQ(Log.Lines, (Lines{"Error 25116 [out.bin] [more data than the archive declares] [0]"}));
}

TEST_F(BlockIoTest, InjectedDiskFullCountsWhateverWasWritten) {
  for (std::int32_t Accept : {0, 99}) {
    TShortWriteStream32 Out(Accept, ENOSPC);
    auto Data = Bytes(100, 2);
    EXPECT_THROW(Arc.WriteBlock(Out, Data.data(), 100, false, kCrcKind32, 1), E_RAISE);
  }
  EXPECT_EQ(Log.Lines.size(), 2u);
}

TEST_F(BlockIoTest, ShortWriteReportsWriteError) {
  TShortWriteStream32 Out(10, 0);
  Arc.Run().ExtractedCount = 2;
  auto Data = Bytes(100, 2);
  EXPECT_EQ(Arc.WriteBlock(Out, Data.data(), 100, false, kCrcKind32, 1), 10);
  EXPECT_EQ(Arc.Run().ExtractedCount, 2) << "the entry driver uncounts an entry it does not keep";
  EXPECT_EQ(Arc.Run().Decode.Crc.Crc32, kCrc32Start);
  TShortWriteStream32 Failing(0, EIO);
  EXPECT_EQ(Arc.WriteBlock(Failing, Data.data(), 100, false, kCrcKind32, 1), 0);
  EXPECT_EQ(Log.Lines,
            (Lines{"Error 25136 [arc.zip] [out.bin] [0]", "Error 25136 [arc.zip] [out.bin] [0]"}));
}

TEST_F(BlockIoTest, StaleErrnoIsNotADiskFull) {
  test::TempDir Dir;
  TFileStream32 Out((Dir / "o.bin").string(), fmCreate);
  ASSERT_TRUE(Out.IsOpen());
  auto Data = Bytes(100, 2);
  errno = ENOSPC;
  EXPECT_EQ(Arc.WriteBlock(Out, Data.data(), 100, false, kCrcKind32, 1), 100);
  EXPECT_TRUE(Log.Lines.empty());
}

TEST_F(BlockIoTest, ReadDeciphersForTheZipFamilyAndFoldsTheCrc) {
  const auto Plain = Bytes(500, 4);
  auto Enciphered = Plain;
  TZipCipher Enc;
  Enc.CipherInit("r");
  Enc.EncipherBuffer(Enciphered.data(), Enciphered.size());

  TMemoryStream32 In(Enciphered);
  Arc.Run().Decode.Cipher.CipherInit("r");
  std::vector<std::uint8_t> Buffer(600);
  EXPECT_EQ(Arc.ReadBlock(In, Buffer.data(), 200, true, kCrcKind32), 200);
  EXPECT_EQ(Arc.ReadBlock(In, Buffer.data() + 200, 400, true, kCrcKind32), 300);
  Buffer.resize(500);
  EXPECT_EQ(Buffer, Plain);
  EXPECT_EQ(Arc.Run().Decode.Crc.Crc32, UpdateCrc32(kCrc32Start, Plain.data(), Plain.size()));
  EXPECT_EQ(Arc.ReadBlock(In, Buffer.data(), 0, true, kCrcKind32), 0);
  EXPECT_EQ(Arc.ReadBlock(In, Buffer.data(), 10, true, kCrcKind32), 0);

  Arc.ForceArcType(TArcType::atArj);
  TMemoryStream32 Again(Enciphered);
  std::vector<std::uint8_t> Raw(500);
  EXPECT_EQ(Arc.ReadBlock(Again, Raw.data(), 500, true, kCrcKindNone), 500);
  EXPECT_EQ(Raw, Enciphered);
}

class ThrowingStream : public TMemoryStream32 {
 public:
  explicit ThrowingStream(bool ReadError) : FReadError(ReadError) {}
  std::int32_t Read(void*, std::int32_t) override {
    if (FReadError) throw EReadError();
    throw std::logic_error("other");
  }

 private:
  bool FReadError;
};

TEST_F(BlockIoTest, ReadErrorGivesZeroBytesOtherExceptionsPass) {
  std::vector<std::uint8_t> Buffer(10);
  ThrowingStream ReadError(true);
  EXPECT_EQ(Arc.ReadBlock(ReadError, Buffer.data(), 10, false, kCrcKind32), 0);
  ThrowingStream Other(false);
  EXPECT_THROW(Arc.ReadBlock(Other, Buffer.data(), 10, false, kCrcKind32), std::logic_error);
}

TEST_F(BlockIoTest, DecodeBufferOnlyWhenAskedAndZip) {
  auto Data = Bytes(50, 1);
  const auto Original = Data;
  Arc.DecodeBuffer(false, Data.data(), 50);
  EXPECT_EQ(Data, Original);
  Arc.DecodeBuffer(true, Data.data(), 50);
  EXPECT_NE(Data, Original);
}

TEST_F(BlockIoTest, StoredCopyOfAnEncryptedEntryDeciphersOnWrite) {
  const auto Plain = Bytes(40000, 6);
  auto Stored = Plain;
  TZipCipher Enc;
  Enc.CipherInit("s");
  Enc.EncipherBuffer(Stored.data(), Stored.size());
  TMemoryStream32 In(Stored);
  TMemoryStream32 Out;
  Arc.Run().Decode.Cipher.CipherInit("s");
  TZipEntryInfo Info;
  Info.Flags = 1;
  Info.UnpackedSize = Plain.size();
  EXPECT_EQ(Arc.CopyStored(In, Out, Info, kCrcKind32), 0);
  EXPECT_EQ(Out.Data(), Plain);
}

TEST_F(BlockIoTest, CopyStoredGoesThroughTheHandlers) {
  int Reads = 0;
  int Writes = 0;
  Arc.ReadHandler = [&](TStream32& S, void* B, std::int32_t C, bool D, std::uint8_t K) {
    ++Reads;
    return Arc.ReadBlock(S, B, C, D, K);
  };
  Arc.WriteHandler = [&](TStream32& S, void* B, std::int32_t C, bool D, std::uint8_t K,
                         std::uint8_t U) {
    ++Writes;
    return Arc.WriteBlock(S, B, C, D, K, U);
  };
  TMemoryStream32 In(Bytes(70000, 1));
  TMemoryStream32 Out;
  TZipEntryInfo Info;
  Info.UnpackedSize = 70000;
  Arc.CopyStored(In, Out, Info, kCrcKind32);
  EXPECT_EQ(Reads, 3);
  EXPECT_EQ(Writes, 3);
}

TEST_F(BlockIoTest, StoredCopyToAFullDiskRaisesOutOfTheCopy) {
  TShortWriteStream32 Out(0, ENOSPC);
  TMemoryStream32 In(Bytes(70000, 1));
  TZipEntryInfo Info;
  Info.UnpackedSize = 70000;
  EXPECT_THROW(Arc.CopyStored(In, Out, Info, kCrcKind32), E_RAISE);
}

// The CRC verdict.
struct CrcCase {
  const char* Name;
  std::uint32_t Stored;
  bool Pass;
};

class CrcVerdict : public BlockIoTest, public ::testing::WithParamInterface<CrcCase> {};

// The accumulator holds 0x12345678 (its complement is 0xEDCBA987).
TEST_P(CrcVerdict, WithAndWithoutOnEnd) {
  const auto& Case = GetParam();
  Arc.Run().Decode.Crc.Crc32 = 0x12345678u;
  EXPECT_EQ(Arc.CheckCrc(kCrcKind32, Case.Stored), Case.Pass);
  EXPECT_EQ(Log.Lines, (Lines{std::string("End out.bin ") + (Case.Pass ? "pass" : "fail")}));
  Log.Lines.clear();
  Arc.OnEnd = nullptr;
  EXPECT_EQ(Arc.CheckCrc(kCrcKind32, Case.Stored), Case.Pass);
  EXPECT_EQ(Log.Lines, Case.Pass ? Lines{} : Lines{"Error 25151 [out.bin] [] [0]"});
}

INSTANTIATE_TEST_SUITE_P(Cases, CrcVerdict,
                         ::testing::Values(CrcCase{"Accumulator", 0x12345678u, true},
                                           CrcCase{"Complement", 0xEDCBA987u, true},
                                           CrcCase{"Other", 0x12345679u, false},
                                           CrcCase{"Zero", 0u, false}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(BlockIoTest, EmptyEntryPassesWithZeroAndAllOnes) {
  Arc.Run().Decode.Crc.Crc32 = kCrc32Start;
  EXPECT_TRUE(Arc.CheckCrc(kCrcKind32, 0));
  EXPECT_TRUE(Arc.CheckCrc(kCrcKind32, 0xFFFFFFFFu));
  Arc.Run().Decode.Crc.Crc32 ^= 0xFFFFFFFFu;
  EXPECT_TRUE(Arc.CheckCrc(kCrcKind32, 0));
  EXPECT_TRUE(Arc.CheckCrc(kCrcKind32, 0xFFFFFFFFu));
}

TEST_F(BlockIoTest, VerdictFailsWhileCancelledAndNamesByOutputMode) {
  Arc.Run().Decode.Crc.Crc32 = 5;
  Arc.Run().EntryName = "stored\\name";
  Arc.Run().OutputMode = 1;
  EXPECT_TRUE(Arc.CheckCrc(kCrcKind32, 5));
  Arc.SetCancel(true);
  EXPECT_FALSE(Arc.CheckCrc(kCrcKind32, 5));
  EXPECT_EQ(Log.Lines, (Lines{"End stored\\name pass", "Error 25443 [arc.zip] [out.bin] [0]",
                              "End stored\\name fail"}));
}

TEST_F(BlockIoTest, VerdictOfTheSixteenBitCrc) {
  Arc.Run().Decode.Crc.Crc16 = 0xBB3D;
  Arc.Run().Decode.Crc.Crc32 = 1;
  EXPECT_TRUE(Arc.CheckCrc(kCrcKind16, 0xBB3D));
  EXPECT_FALSE(Arc.CheckCrc(kCrcKind32, 0xBB3D));
}

}  // namespace
}  // namespace ruvevid
