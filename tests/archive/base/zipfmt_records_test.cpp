// Field readers, signature classification, header kinds and enciphered headers.

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "archive/base/LittleEndian.h"
#include "archive/base/ZipHeaderCipher.h"
#include "archive/base/ZipRecords.h"
#include "archive/base/ZipSignatures.h"

namespace ruvevid {
namespace {

TEST(ZipFmtLittleEndian, ReadsAndWritesFieldsByteByByte) {
  const std::array<std::uint8_t, 8> Bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
  EXPECT_EQ(GetLE16(Bytes.data()), 0x0201);
  EXPECT_EQ(GetLE32(Bytes.data()), 0x04030201u);
  EXPECT_EQ(GetLE64(Bytes.data()), 0x8807060504030201ull);
  std::array<std::uint8_t, 8> Out{};
  PutLE64(Out.data(), 0x8807060504030201ull);
  EXPECT_EQ(Out, Bytes);
  PutLE32(Out.data() + 1, 0xAABBCCDD);
  EXPECT_EQ(GetLE32(Out.data() + 1), 0xAABBCCDDu);  // unaligned
  PutLE16(Out.data() + 3, 0x1234);
  EXPECT_EQ(GetLE16(Out.data() + 3), 0x1234);
}

TEST(ZipFmtHeaders, AccessorsDecodeTheirOffsets) {
  TCentralHeader Central;
  PutLE32(Central.data(), kCentralSignatureK);
  PutLE16(Central.data() + 8, 0x0801);
  PutLE16(Central.data() + 10, 8);
  PutLE32(Central.data() + 12, 0x80000001u);
  PutLE32(Central.data() + 20, 111);
  PutLE32(Central.data() + 24, 222);
  PutLE16(Central.data() + 28, 5);
  PutLE16(Central.data() + 30, 6);
  PutLE16(Central.data() + 32, 7);
  PutLE16(Central.data() + 34, 2);
  PutLE32(Central.data() + 38, 0x81A40020u);
  PutLE32(Central.data() + 42, 0x12345678u);
  EXPECT_EQ(Central.Signature(), kCentralSignatureK);
  EXPECT_EQ(Central.Flags(), 0x0801);
  EXPECT_EQ(Central.Method(), 8);
  EXPECT_EQ(Central.DosDateTime(), static_cast<std::int32_t>(0x80000001u));  // signed
  EXPECT_EQ(Central.PackedSize(), 111u);
  EXPECT_EQ(Central.UnpackedSize(), 222u);
  EXPECT_EQ(Central.NameLength(), 5);
  EXPECT_EQ(Central.ExtraLength(), 6);
  EXPECT_EQ(Central.CommentLength(), 7);
  EXPECT_EQ(Central.DiskNumberStart(), 2);
  EXPECT_EQ(Central.ExternalAttr(), 0x81A40020u);
  EXPECT_EQ(Central.LocalHeaderOffset(), 0x12345678u);
  Central.SetLocalHeaderOffset(9);
  EXPECT_EQ(GetLE32(Central.data() + 42), 9u);
}

struct TSignatureCase {
  std::uint32_t Signature;
  THeaderType Kind;
  THeaderType Expected;
  bool Enciphered;
};

class ZipFmtSignatures : public ::testing::TestWithParam<TSignatureCase> {};

TEST_P(ZipFmtSignatures, ClassifiesByKind) {
  const TSignatureCase& Case = GetParam();
  bool Enciphered = !Case.Enciphered;
  EXPECT_EQ(GetZipHeaderType(Case.Signature, Case.Kind, Enciphered), Case.Expected);
  EXPECT_EQ(Enciphered, Case.Enciphered);
}

using enum THeaderType;
INSTANTIATE_TEST_SUITE_P(
    AllAcceptedAndSomeRejected, ZipFmtSignatures,
    ::testing::Values(
        // The twelve accepted values.
        TSignatureCase{0x04034B50, htLocal, htLocal, false},
        TSignatureCase{0x04034C50, htLocal, htLocal, true},
        TSignatureCase{0x04034D50, htLocal, htLocal, false},
        TSignatureCase{0x04034E50, htLocal, htLocal, true},
        TSignatureCase{0x02014B50, htCentral, htCentral, false},
        TSignatureCase{0x02014C50, htCentral, htCentral, true},
        TSignatureCase{0x02014D50, htCentral, htCentral, false},
        TSignatureCase{0x02014E50, htCentral, htCentral, true},
        TSignatureCase{0x06054B50, htEnding, htEnding, false},
        TSignatureCase{0x06054C50, htEnding, htEnding, true},
        TSignatureCase{0x06055B50, htEnding, htEnding, false},
        TSignatureCase{0x06055C50, htEnding, htEnding, true},
        // A value of another kind, other markers and the plainly compared signatures.
        TSignatureCase{0x02014B50, htLocal, htNone, false},
        TSignatureCase{0x04034B50, htCentral, htNone, false},
        TSignatureCase{0x04034B50, htEnding, htNone, false},
        TSignatureCase{0x04034F50, htLocal, htNone, false},
        TSignatureCase{0x06054D50, htEnding, htNone, false},
        TSignatureCase{0x06055D50, htEnding, htNone, false},
        TSignatureCase{0x06064B50, htEnding, htNone, false},
        TSignatureCase{0x07064B50, htEnding, htNone, false},
        TSignatureCase{0x08074B50, htLocal, htNone, false},
        TSignatureCase{0x04034B50, htLocator, htNone, false}));

TEST(ZipFmtHeaderTypeState, IsASetOfKinds) {
  THeaderTypeState State;
  EXPECT_TRUE(State.Empty());
  State += htEnding;
  State.Include(htLocal);
  EXPECT_TRUE(State.Contains(htLocal));
  EXPECT_FALSE(State.Contains(htCentral));
  EXPECT_EQ(State, (THeaderTypeState{htEnding, htLocal}));
  EXPECT_EQ(ToString(State), "[htLocal, htEnding]");
  State.Exclude(htLocal);
  EXPECT_EQ(ToString(State), "[htEnding]");
  State.Clear();
  EXPECT_EQ(ToString(State), "[]");
}

TEST(ZipFmtHeaderCipher, HeaderKeyStateIsTheAndOfThePublishedKeys) {
  EXPECT_EQ(kZipHeaderKeyState.Key0, 0x12345678u & 0x34567890u);
  EXPECT_EQ(kZipHeaderKeyState.Key1, 0x23456789u & 0x12345678u);
  EXPECT_EQ(kZipHeaderKeyState.Key2, 0x34567890u & 0x23456789u);
}

TEST(ZipFmtHeaderCipher, DecodesHeaderAfterSignatureAndNameAsOneKeyStream) {
  TLocalHeader Plain;
  for (std::size_t i = 0; i < Plain.kSize; ++i) Plain.Bytes[i] = static_cast<std::uint8_t>(i * 7);
  PutLE32(Plain.data(), kLocalSignatureL);
  std::array<std::uint8_t, 6> PlainName = {'a', '/', 'b', '.', 't', 'x'};

  TLocalHeader Coded = Plain;
  std::array<std::uint8_t, 6> CodedName = PlainName;
  TZipCipher Writer;
  EncodeZipHeader(Coded.data(), Coded.kSize, Writer);
  EncodeZipName(CodedName.data(), CodedName.size(), Writer);
  EXPECT_EQ(Coded.Signature(), kLocalSignatureL);  // signatures are never enciphered
  EXPECT_NE(Coded.Bytes, Plain.Bytes);
  EXPECT_NE(CodedName, PlainName);

  TZipCipher Reader;
  Reader.LoadKeys(TZipKeys{1, 2, 3});  // whatever was loaded before does not matter
  DecodeZipHeader(Coded, Reader);
  DecodeZipName(CodedName.data(), CodedName.size(), Reader);
  EXPECT_EQ(Coded.Bytes, Plain.Bytes);
  EXPECT_EQ(CodedName, PlainName);
}

TEST(ZipFmtHeaderCipher, EnciphersExactlyTheBytesOfEachKind) {
  for (std::size_t Size : {std::size_t{30}, std::size_t{46}, std::size_t{22}, std::size_t{26}}) {
    std::array<std::uint8_t, 64> Bytes{};
    TZipCipher Cipher;
    EncodeZipHeader(Bytes.data(), Size, Cipher);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(Bytes[i], 0) << Size;
    for (std::size_t i = Size; i < Bytes.size(); ++i) EXPECT_EQ(Bytes[i], 0) << Size;
  }
}

}  // namespace
}  // namespace ruvevid
