// The extra-field walk: zip64 extended information, the size-extension record, unknown records.

#include <gtest/gtest.h>

#include <string>

#include "FrameTestSupport.h"
#include "archive/base/LittleEndian.h"
#include "archive/zip/ExtraField.h"

namespace ruvevid {
namespace {

std::string Field(std::uint16_t Tag, const std::string& Data) {
  std::string Out(4, '\0');
  PutLE16(reinterpret_cast<std::uint8_t*>(Out.data()), Tag);
  PutLE16(reinterpret_cast<std::uint8_t*>(Out.data()) + 2, static_cast<std::uint16_t>(Data.size()));
  return Out + Data;
}

std::string U64(std::uint64_t Value) {
  std::string Out(8, '\0');
  PutLE64(reinterpret_cast<std::uint8_t*>(Out.data()), Value);
  return Out;
}

std::string U16(std::uint16_t Value) {
  std::string Out(2, '\0');
  PutLE16(reinterpret_cast<std::uint8_t*>(Out.data()), Value);
  return Out;
}

template <typename THeader>
TExtraHighWords Parse(const std::string& Extra, THeader& Header) {
  return ParseExtraField(reinterpret_cast<const std::uint8_t*>(Extra.data()), Extra.size(), Header);
}

TEST(ZipFmtExtraField, Zip64CentralWithOnlyTheOffsetPresent) {
  TCentralHeader Header;
  Header.SetUnpackedSize(100);
  Header.SetPackedSize(50);
  Header.SetLocalHeaderOffset(0xFFFFFFFF);
  const auto High = Parse(Field(0x0001, U64(0xABCD'0012'3456'789Aull)), Header);
  EXPECT_EQ(Header.UnpackedSize(), 100u);
  EXPECT_EQ(Header.PackedSize(), 50u);
  EXPECT_EQ(Header.LocalHeaderOffset(), 0x3456789Au);
  EXPECT_EQ(High.HeaderOffset, 0x0012);  // the top 16 bits are dropped
  EXPECT_EQ(High.UnpackedSize, 0);
  EXPECT_EQ(High.PackedSize, 0);
}

TEST(ZipFmtExtraField, Zip64LocalReadsUncompressedThenCompressed) {
  TLocalHeader Header;
  Header.SetUnpackedSize(0xFFFFFFFF);
  Header.SetPackedSize(0xFFFFFFFF);
  const auto High =
      Parse(Field(0x0001, U64(0x0001'0000'0002ull) + U64(0x0003'0000'0004ull)), Header);
  EXPECT_EQ(Header.UnpackedSize(), 2u);
  EXPECT_EQ(High.UnpackedSize, 1);
  EXPECT_EQ(Header.PackedSize(), 4u);
  EXPECT_EQ(High.PackedSize, 3);
  EXPECT_EQ(Join48(Header.PackedSize(), High.PackedSize), 0x0003'0000'0004ull);
}

TEST(ZipFmtExtraField, Zip64FieldsOutsideTheirRecordAreNotRead) {
  TCentralHeader Header;
  Header.SetUnpackedSize(0xFFFFFFFF);
  Header.SetPackedSize(0xFFFFFFFF);
  // Only the uncompressed size is in the record; the next record must not be taken for the rest.
  const auto High = Parse(
      Field(0x0001, U64(0x0005'0000'0006ull)) + Field(0x7777, std::string(8, '\x11')), Header);
  EXPECT_EQ(Header.UnpackedSize(), 6u);
  EXPECT_EQ(High.UnpackedSize, 5);
  EXPECT_EQ(Header.PackedSize(), 0xFFFFFFFFu);
  EXPECT_EQ(High.PackedSize, 0);
}

TEST(ZipFmtExtraField, SizeExtensionRecordByKind) {
  TLocalHeader Local;
  auto High = Parse(Field(0x0064, U16(7) + U16(8)), Local);
  EXPECT_EQ(High.PackedSize, 7);
  EXPECT_EQ(High.UnpackedSize, 8);
  EXPECT_EQ(High.HeaderOffset, 0);
  TCentralHeader Central;
  High = Parse(Field(0x0064, U16(7) + U16(8) + U16(9) + "xx"), Central);
  EXPECT_EQ(High.PackedSize, 7);
  EXPECT_EQ(High.UnpackedSize, 8);
  EXPECT_EQ(High.HeaderOffset, 9);
}

TEST(ZipFmtExtraField, UnknownRecordsAreSkippedAndAnOversizedOneEndsTheWalk) {
  TCentralHeader Header;
  auto High = Parse(Field(0x5455, "12345") + Field(0x0064, U16(1) + U16(2) + U16(3)), Header);
  EXPECT_EQ(High.HeaderOffset, 3);
  std::string Oversized = Field(0x5455, "12345");
  PutLE16(reinterpret_cast<std::uint8_t*>(Oversized.data()) + 2, 200);
  High = Parse(Oversized + Field(0x0064, U16(1) + U16(2) + U16(3)), Header);
  EXPECT_EQ(High.HeaderOffset, 0);
  EXPECT_EQ(High.PackedSize, 0);
}

TEST(ZipFmtExtraField, StreamStandsAfterTheFieldIncludingTrailingBytes) {
  const std::string Extra = Field(0x0064, U16(4) + U16(5)) + "ab";  // 2 trailing bytes
  std::vector<std::uint8_t> Bytes(Extra.begin(), Extra.end());
  Bytes.push_back('Z');
  test::TMemoryStream32 Stream(Bytes);
  TLocalHeader Header;
  const auto High = ReadExtraField(Stream, static_cast<std::uint16_t>(Extra.size()), Header);
  EXPECT_EQ(High.PackedSize, 4);
  EXPECT_EQ(High.UnpackedSize, 5);
  EXPECT_EQ(Stream.Position(), static_cast<std::int64_t>(Extra.size()));
}

TEST(ZipFmtExtraField, EmptyFieldClearsTheHighWords) {
  TLocalHeader Header;
  const auto High = Parse("", Header);
  EXPECT_EQ(High.PackedSize, 0);
  EXPECT_EQ(High.UnpackedSize, 0);
  EXPECT_EQ(High.HeaderOffset, 0);
}

}  // namespace
}  // namespace ruvevid
