// The traditional zip cipher: key set-up, the header check with its flag-bit-3 rule, and
// deciphering stored entries of archives encrypted by Info-ZIP zip and by 7-Zip.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "archive/codec/ZipCipher.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"
#include "support/ZipListing.h"

namespace ruvevid {
namespace {

using test::TempDir;

// A 24-byte work area whose second half is the enciphered form of Plain under Password.
std::array<std::uint8_t, 24> EncipheredHeader(const std::array<std::uint8_t, 12>& Plain,
                                              std::string_view Password) {
  TZipCipher Cipher;
  Cipher.CipherInit(Password);
  std::array<std::uint8_t, 24> Work{};
  std::copy(Plain.begin(), Plain.end(), Work.begin() + 12);
  Cipher.EncipherBuffer(Work.data() + 12, 12);
  return Work;
}

TEST(ZipCipher, InitialAndHeaderKeyStates) {
  TZipCipher Cipher;
  EXPECT_EQ(Cipher.Keys(), (TZipKeys{0x12345678u, 0x23456789u, 0x34567890u}));
  Cipher.CipherUpdate(0x41);
  EXPECT_NE(Cipher.Keys(), TZipKeys{});
  Cipher.CipherInit("");
  EXPECT_EQ(Cipher.Keys(), TZipKeys{});
  EXPECT_EQ(kZipHeaderKeyState.Key0, 0x12345678u & 0x34567890u);
  EXPECT_EQ(kZipHeaderKeyState.Key1, 0x23456789u & 0x12345678u);
  EXPECT_EQ(kZipHeaderKeyState.Key2, 0x34567890u & 0x23456789u);
}

TEST(ZipCipher, MaskLeavesTheKeysAndDecipherUndoesEncipher) {
  std::mt19937 Gen(3);
  std::vector<std::uint8_t> Plain(5000);
  for (auto& B : Plain) B = static_cast<std::uint8_t>(Gen());
  TZipCipher Enc;
  Enc.CipherInit("pass word");
  const TZipKeys Before = Enc.Keys();
  (void)Enc.CipherMask();
  EXPECT_EQ(Enc.Keys(), Before);
  auto Data = Plain;
  Enc.EncipherBuffer(Data.data(), Data.size());
  EXPECT_NE(Data, Plain);
  TZipCipher Dec;
  Dec.CipherInit("pass word");
  Dec.DecipherBuffer(Data.data(), 1234);
  Dec.DecipherBuffer(Data.data() + 1234, Data.size() - 1234);
  EXPECT_EQ(Data, Plain);
  EXPECT_EQ(Dec.Keys(), Enc.Keys());
}

struct BufferCase {
  const char* Name;
  const char* Password;
  std::size_t Size;
  std::size_t Split;  // the buffer is deciphered in two calls, the first of this many bytes
};

class DecipherBufferCase : public ::testing::TestWithParam<BufferCase> {};

// The whole-buffer loop gives the bytes and the key state that DecipherByte gives byte by byte.
TEST_P(DecipherBufferCase, EqualsByteByByte) {
  const auto& Case = GetParam();
  std::mt19937 Gen(static_cast<std::uint32_t>(Case.Size + Case.Split));
  std::vector<std::uint8_t> Data(Case.Size);
  for (auto& B : Data) B = static_cast<std::uint8_t>(Gen());
  TZipCipher ByByte;
  ByByte.CipherInit(Case.Password);
  std::vector<std::uint8_t> Expected = Data;
  for (auto& B : Expected) B = ByByte.DecipherByte(B);
  TZipCipher Whole;
  Whole.CipherInit(Case.Password);
  Whole.DecipherBuffer(Data.data(), Case.Split);
  Whole.DecipherBuffer(Data.data() + Case.Split, Data.size() - Case.Split);
  EXPECT_EQ(Data, Expected);
  EXPECT_EQ(Whole.Keys(), ByByte.Keys());
}

INSTANTIATE_TEST_SUITE_P(Cases, DecipherBufferCase,
                         ::testing::Values(BufferCase{"Empty", "pw", 0, 0},
                                           BufferCase{"OneByte", "pw", 1, 1},
                                           BufferCase{"NoPassword", "", 4096, 0},
                                           BufferCase{"Split", "Sesame-7", 70000, 32768},
                                           BufferCase{"OddSplit", "\xff\x01 x", 333, 17}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ZipCipher, LongPasswordIsUsedInFull) {
  const std::string Long(300, 'x');
  std::string Longer = Long;
  Longer[299] = 'y';
  TZipCipher A;
  TZipCipher B;
  A.CipherInit(Long);
  B.CipherInit(Longer);
  EXPECT_NE(A.Keys(), B.Keys());
  B.CipherInit(Long.substr(0, 255));
  EXPECT_NE(A.Keys(), B.Keys());
}

struct CheckByteCase {
  const char* Name;
  std::uint16_t Flags;
  std::uint8_t CheckByte;
  bool Expected;
};

class HeaderCheckByte : public ::testing::TestWithParam<CheckByteCase> {};

// DOS time 0x5D89 has high byte 0x5D; the CRC 0xB8FCA408 has high byte 0xB8.
TEST_P(HeaderCheckByte, FollowsFlagBit3) {
  const auto& Case = GetParam();
  std::array<std::uint8_t, 12> Plain = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, Case.CheckByte};
  auto Work = EncipheredHeader(Plain, "secret");
  const auto Stored = std::vector<std::uint8_t>(Work.begin() + 12, Work.end());
  TZipCipher Cipher;
  EXPECT_EQ(
      Cipher.CheckEncryptionHeader(Work.data(), Case.Flags, 0xB8FCA408u, 0x5D892F49u, "secret"),
      Case.Expected);
  EXPECT_TRUE(std::equal(Plain.begin(), Plain.end(), Work.begin()));
  EXPECT_TRUE(std::equal(Stored.begin(), Stored.end(), Work.begin() + 12));
  // The same buffer and password give the same answer again.
  EXPECT_EQ(
      Cipher.CheckEncryptionHeader(Work.data(), Case.Flags, 0xB8FCA408u, 0x5D892F49u, "secret"),
      Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, HeaderCheckByte,
                         ::testing::Values(CheckByteCase{"CrcByteWithoutBit3", 0x0001, 0xB8, true},
                                           CheckByteCase{"TimeByteWithoutBit3", 0x0001, 0x2F,
                                                         false},
                                           CheckByteCase{"TimeByteWithBit3", 0x0009, 0x2F, true},
                                           CheckByteCase{"CrcByteWithBit3", 0x0009, 0xB8, false}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ZipCipher, EmptyPasswordFailsAndKeepsTheKeys) {
  auto Work = EncipheredHeader({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xB8}, "");
  TZipCipher Cipher;
  Cipher.CipherInit("abc");
  const TZipKeys Before = Cipher.Keys();
  EXPECT_FALSE(Cipher.CheckEncryptionHeader(Work.data(), 1, 0xB8000000u, 0, ""));
  EXPECT_EQ(Cipher.Keys(), Before);
}

TEST(ZipCipher, SuccessLeavesTheKeysAfterTheHeader) {
  std::array<std::uint8_t, 12> Plain = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0x12};
  TZipCipher Enc;
  Enc.CipherInit("pw");
  std::vector<std::uint8_t> Stream(Plain.begin(), Plain.end());
  const std::string Body = "entry data after the header";
  Stream.insert(Stream.end(), Body.begin(), Body.end());
  Enc.EncipherBuffer(Stream.data(), Stream.size());

  std::array<std::uint8_t, 24> Work{};
  std::copy_n(Stream.begin(), 12, Work.begin() + 12);
  TZipCipher Dec;
  ASSERT_TRUE(Dec.CheckEncryptionHeader(Work.data(), 0, 0x12345678u, 0, "pw"));
  std::vector<std::uint8_t> Data(Stream.begin() + 12, Stream.end());
  Dec.DecipherBuffer(Data.data(), Data.size());
  EXPECT_EQ(std::string(Data.begin(), Data.end()), Body);
}

// Archives made by real tools: the right password opens the header and deciphers the stored data.
struct ToolCase {
  const char* Name;
  const char* Tool;
  const char* Command;  // makes e.zip from data.bin with password "Sesame-7"
  bool SizesFollowData;
};

class EncryptedArchive : public ::testing::TestWithParam<ToolCase> {};

TEST_P(EncryptedArchive, RightPasswordDeciphersStoredEntry) {
  const auto& Case = GetParam();
  if (!test::HaveProgram(Case.Tool)) GTEST_SKIP() << Case.Tool << " is not installed";
  TempDir Dir;
  std::mt19937 Gen(11);
  std::vector<std::uint8_t> Original(70000);
  for (auto& B : Original) B = static_cast<std::uint8_t>(Gen() % 7 == 0 ? 'a' : Gen());
  test::WriteBytes(Dir / "data.bin", Original);
  ASSERT_TRUE(test::RunShellIn(Dir.path(), Case.Command)) << Case.Command;

  const auto Zip = test::ReadByteVector(Dir / "e.zip");
  const test::TZipListEntry H = test::ReadLocalHeader(Zip, 0);
  ASSERT_EQ(H.Name, "data.bin");
  ASSERT_EQ(H.Flags & 1, 1);
  ASSERT_EQ(H.Method, 0);
  EXPECT_EQ((H.Flags & 8) != 0, Case.SizesFollowData);
  ASSERT_EQ(H.UnpackedSize, Original.size());

  const auto DataAt = static_cast<std::ptrdiff_t>(H.DataOffset);
  std::array<std::uint8_t, 24> Work{};
  std::copy_n(Zip.begin() + DataAt, 12, Work.begin() + 12);
  const std::uint32_t Time = H.DosDateTime;
  TZipCipher Cipher;
  ASSERT_TRUE(Cipher.CheckEncryptionHeader(Work.data(), H.Flags, H.Crc32, Time, "Sesame-7"));
  std::vector<std::uint8_t> Data(
      Zip.begin() + DataAt + 12,
      Zip.begin() + DataAt + 12 + static_cast<std::ptrdiff_t>(Original.size()));
  Cipher.DecipherBuffer(Data.data(), Data.size());
  EXPECT_EQ(Data, Original);
  EXPECT_EQ(~UpdateCrc32(kCrc32Start, Data.data(), Data.size()), H.Crc32);

  // A wrong password either fails the check byte (255 times in 256) or yields other bytes.
  int Passed = 0;
  for (int i = 0; i < 16; ++i) {
    const std::string Wrong = "wrong-" + std::to_string(i);
    if (!Cipher.CheckEncryptionHeader(Work.data(), H.Flags, H.Crc32, Time, Wrong)) continue;
    ++Passed;
    auto Garbage =
        std::vector<std::uint8_t>(Zip.begin() + DataAt + 12, Zip.begin() + DataAt + 12 + 64);
    Cipher.DecipherBuffer(Garbage.data(), Garbage.size());
    EXPECT_FALSE(std::equal(Garbage.begin(), Garbage.end(), Original.begin()));
  }
  EXPECT_LT(Passed, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, EncryptedArchive,
    ::testing::Values(ToolCase{"InfoZip", "zip", "zip -q -0 -P Sesame-7 e.zip data.bin", true},
                      ToolCase{"SevenZip", "7zz",
                               "7zz a -tzip -pSesame-7 -mem=ZipCrypto -mx0 e.zip data.bin", false}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
