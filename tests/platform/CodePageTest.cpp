// Conversions from the code pages of stored names, the same on every system (iconv on Linux, the
// Windows code page tables on Windows).

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/CodePage.h"

namespace ruvevid {
namespace {

struct TConversionCase {
  const char* Name;
  std::string Text;
  const char* CodePage;
  std::optional<std::string> Expected;
};

class ConvertToUtf8Test : public ::testing::TestWithParam<TConversionCase> {};

TEST_P(ConvertToUtf8Test, Converts) {
  const TConversionCase& Case = GetParam();
  EXPECT_EQ(ConvertToUtf8(Case.Text, Case.CodePage), Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConvertToUtf8Test,
    ::testing::Values(
        // "한글" and "가나다.txt" in CP949.
        TConversionCase{"Cp949Hangul", "\xC7\xD1\xB1\xDB", "CP949", "\xED\x95\x9C\xEA\xB8\x80"},
        TConversionCase{"Cp949WithAscii", "\xB0\xA1\xB3\xAA\xB4\xD9.txt", "CP949",
                        "\xEA\xB0\x80\xEB\x82\x98\xEB\x8B\xA4.txt"},
        // An extended (UHC) syllable outside KS X 1001: "갂" is 81 41.
        TConversionCase{"Cp949Extended", "\x81\x41", "CP949", "\xEA\xB0\x82"},
        TConversionCase{"Cp949Empty", "", "CP949", ""},
        TConversionCase{"Cp949LeadByteAtEnd", "a\xC7", "CP949", std::nullopt},
        TConversionCase{"Cp949LeadByteBeforeSpace", "\xC7 ", "CP949", std::nullopt},
        TConversionCase{"Cp949NoSuchByte", "\x80 ", "CP949", std::nullopt},
        TConversionCase{"Cp949FfByte", "\xFF", "CP949", std::nullopt},
        // "Ç", "é", "Ä", "ß", "░", "¬" in CP437: every byte has a character.
        TConversionCase{"Cp437Letters", "\x80\x82\x8E\xE1", "CP437",
                        "\xC3\x87\xC3\xA9\xC3\x84\xC3\x9F"},
        TConversionCase{"Cp437Graphics", "\xB0\xAA", "CP437", "\xE2\x96\x91\xC2\xAC"},
        TConversionCase{"Cp437LastByte", "\xFF", "CP437", "\xC2\xA0"},
        // Bytes CP1252 leaves undefined are refused, the defined ones around them converted.
        TConversionCase{"Cp1252Undefined", "\x81", "CP1252", std::nullopt},
        TConversionCase{"Cp1252Euro", "\x80\xE9", "CP1252", "\xE2\x82\xAC\xC3\xA9"},
        TConversionCase{"Utf8C1Control", "\xC2\x80", "UTF-8", "\xC2\x80"},
        TConversionCase{"Cp437Ascii", "Roduvov0.zip", "CP437", "Roduvov0.zip"},
        TConversionCase{"UnknownCodePage", "x", "NO-SUCH-CODE-PAGE", std::nullopt}),
    [](const auto& Info) { return std::string(Info.param.Name); });

struct TOemNameCase {
  const char* Name;
  std::string Raw;
  bool Utf8Flag;
  std::string Expected;
};

class OemNameToUtf8Test : public ::testing::TestWithParam<TOemNameCase> {};

TEST_P(OemNameToUtf8Test, ShownName) {
  const TOemNameCase& Case = GetParam();
  EXPECT_EQ(OemNameToUtf8(Case.Raw, Case.Utf8Flag), Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OemNameToUtf8Test,
    ::testing::Values(TOemNameCase{"Utf8Kept", "\xED\x95\x9C", false, "\xED\x95\x9C"},
                      TOemNameCase{"FlagKeepsBytes", "\xC7\xD1", true, "\xC7\xD1"},
                      TOemNameCase{"Korean", "\xC7\xD1\xB1\xDB", false, "\xED\x95\x9C\xEA\xB8\x80"},
                      // Not CP949 ("\x80" is no character there): CP437.
                      TOemNameCase{"DosFallback", "\x80\x82", false, "\xC3\x87\xC3\xA9"},
                      TOemNameCase{"DosAfterHalfKorean", "\xC7", false, "\xE2\x95\x9F"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
