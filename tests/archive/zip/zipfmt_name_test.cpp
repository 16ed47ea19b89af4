// Reading stored names and translating them to the names the system uses.

#include <gtest/gtest.h>

#include <string>

#include "FrameTestSupport.h"
#include "archive/base/ZipHeaderCipher.h"
#include "archive/codec/ZipCipher.h"
#include "archive/zip/HeaderName.h"
#include "platform/CodePage.h"

namespace ruvevid {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& Text) {
  return std::vector<std::uint8_t>(Text.begin(), Text.end());
}

// A name cut short could name another entry's file: it is kept whole (the output refuses a name
// the file system cannot hold).
TEST(ZipFmtHeaderName, LongNameIsKeptWhole) {
  const std::string Name = std::string(255, 'a') + std::string(45, 'b');
  test::TMemoryStream32 Stream(Bytes(Name + "EXTRA"));
  EXPECT_EQ(ReadHeaderName(Stream, 300), Name);
  EXPECT_EQ(Stream.Position(), 300);
}

TEST(ZipFmtHeaderName, EndsAtTheFirstZeroByte) {
  test::TMemoryStream32 Stream(Bytes(std::string("abc\0def", 7)));
  EXPECT_EQ(ReadHeaderName(Stream, 7), "abc");
  EXPECT_EQ(Stream.Position(), 7);
}

TEST(ZipFmtHeaderName, ShortStreamGivesWhatArrived) {
  test::TMemoryStream32 Stream(Bytes("ab"));
  EXPECT_EQ(ReadHeaderName(Stream, 10), "ab");
}

TEST(ZipFmtHeaderName, EncipheredNameContinuesTheHeaderKeyStream) {
  std::array<std::uint8_t, 46> Header{};
  std::string Name = "dir/file.txt";
  TZipCipher Writer;
  EncodeZipHeader(Header.data(), Header.size(), Writer);
  EncodeZipName(reinterpret_cast<std::uint8_t*>(Name.data()), Name.size(), Writer);
  EXPECT_NE(Name, "dir/file.txt");

  TZipCipher Reader;
  DecodeZipHeader(Header.data(), Header.size(), Reader);
  test::TMemoryStream32 Stream(Bytes(Name));
  EXPECT_EQ(ReadHeaderName(Stream, static_cast<std::uint16_t>(Name.size()), &Reader),
            "dir/file.txt");
}

struct TTranslationCase {
  const char* Title;
  std::string Raw;
  std::uint16_t Flags;
  bool TranslateOemChar;
  std::string Native;   // with '/' separators
  std::string Windows;  // with '\' separators
};

class ZipFmtNameTranslation : public ::testing::TestWithParam<TTranslationCase> {};

TEST_P(ZipFmtNameTranslation, ConvertsCodePageThenSeparators) {
  const TTranslationCase& Case = GetParam();
  EXPECT_EQ(TranslateEntryName(Case.Raw, Case.Flags, Case.TranslateOemChar, TPathRules::Posix()),
            Case.Native);
  EXPECT_EQ(TranslateEntryName(Case.Raw, Case.Flags, Case.TranslateOemChar, TPathRules::Windows()),
            Case.Windows);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ZipFmtNameTranslation,
    ::testing::Values(
        TTranslationCase{"Ascii", "dir/sub\\a.txt", 0, true, "dir/sub/a.txt", "dir\\sub\\a.txt"},
        // "한글.txt" in UTF-8, flagged and unflagged.
        TTranslationCase{"Utf8Flagged", "\xED\x95\x9C\xEA\xB8\x80.txt", 0x0800, true,
                         "\xED\x95\x9C\xEA\xB8\x80.txt", "\xED\x95\x9C\xEA\xB8\x80.txt"},
        TTranslationCase{"Utf8Unflagged", "a/\xED\x95\x9C\xEA\xB8\x80.txt", 0, true,
                         "a/\xED\x95\x9C\xEA\xB8\x80.txt", "a\\\xED\x95\x9C\xEA\xB8\x80.txt"},
        // "한글" in CP949 is C7 D1 B1 DB.
        TTranslationCase{"Cp949", "\xC7\xD1\xB1\xDB/x.txt", 0, true,
                         "\xED\x95\x9C\xEA\xB8\x80/x.txt", "\xED\x95\x9C\xEA\xB8\x80\\x.txt"},
        // 0x80 0x20 is no CP949 sequence: CP437 ("Ç ").
        TTranslationCase{"Cp437", "\x80 .txt", 0, true, "\xC3\x87 .txt", "\xC3\x87 .txt"},
        // The flag keeps even bytes that are not UTF-8.
        TTranslationCase{"FlagKeepsBytes", "\xC7\xD1", 0x0800, true, "\xC7\xD1", "\xC7\xD1"},
        TTranslationCase{"NoTranslation", "\xC7\xD1/b", 0, false, "\xC7\xD1/b", "\xC7\xD1\\b"},
        // A '..' behind '\' separators inside a CP949 name stays visible after translation.
        TTranslationCase{"Cp949DotDot", "\xC7\xD1\\..\\..\\x", 0, true, "\xED\x95\x9C/../../x",
                         "\xED\x95\x9C\\..\\..\\x"}),
    [](const auto& Info) { return std::string(Info.param.Title); });

TEST(ZipFmtCodePage, StrictUtf8Validation) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));   // U+1F600
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\xC7\xD1\xB1\xDB"));  // CP949
}

TEST(ZipFmtCodePage, ConversionFailsOnBytesTheCodePageLacks) {
  EXPECT_FALSE(ConvertToUtf8("\x80 ", "CP949").has_value());
  EXPECT_FALSE(ConvertToUtf8("\x81 ", "CP949").has_value());  // a lead byte without its trail
  EXPECT_EQ(ConvertToUtf8("\xB0\xA1", "CP949").value_or(""), "\xEA\xB0\x80");  // "가"
  EXPECT_FALSE(ConvertToUtf8("x", "NO-SUCH-CODE-PAGE").has_value());
}

}  // namespace
}  // namespace ruvevid
