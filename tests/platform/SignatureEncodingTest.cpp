// The readings of keys and signatures that a raw-number signature check needs, on the key and
// signatures of data/signature (made with the openssl command line).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "platform/SignatureEncoding.h"

namespace ruvevid {
namespace {

std::string ReadDataFile(const std::string& Name) {
  const std::filesystem::path Path =
      std::filesystem::path(RUVEVID_SOURCE_DIR) / "tests/platform/data/signature" / Name;
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot read " + Path.string());
  return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> Bytes(std::string_view Text) {
  return std::vector<std::uint8_t>(Text.begin(), Text.end());
}

struct TKeyCase {
  const char* Name;
  const char* File;
  bool Read;
  TEcCurve Curve;
};

class EcPublicKeyTest : public ::testing::TestWithParam<TKeyCase> {};

TEST_P(EcPublicKeyTest, FromPem) {
  const TKeyCase& Case = GetParam();
  const std::optional<TEcPublicKey> Key = EcPublicKeyFromPem(ReadDataFile(Case.File));
  ASSERT_EQ(Key.has_value(), Case.Read);
  if (!Case.Read) return;
  EXPECT_EQ(Key->Curve, Case.Curve);
  EXPECT_EQ(Key->X.size(), CurveFieldSize(Case.Curve));
  EXPECT_EQ(Key->Y.size(), CurveFieldSize(Case.Curve));
}

INSTANTIATE_TEST_SUITE_P(Files, EcPublicKeyTest,
                         ::testing::Values(TKeyCase{"P256", "p256.pub.pem", true, TEcCurve::ecP256},
                                           TKeyCase{"P384", "p384.pub.pem", true, TEcCurve::ecP384},
                                           TKeyCase{"Rsa", "rsa.pub.pem", false, TEcCurve::ecP256},
                                           TKeyCase{"CompressedPoint", "p256-compressed.pub.pem",
                                                    false, TEcCurve::ecP256}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

std::string Hex(const std::vector<std::uint8_t>& Data) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string Text;
  for (const std::uint8_t Byte : Data) {
    Text += kDigits[Byte >> 4];
    Text += kDigits[Byte & 0x0F];
  }
  return Text;
}

// X and Y as `openssl pkey -pubin -outform DER` shows them in the key's last 65 bytes (04 X Y).
TEST(EcPublicKey, PointOfP256Key) {
  const std::optional<TEcPublicKey> Key = EcPublicKeyFromPem(ReadDataFile("p256.pub.pem"));
  ASSERT_TRUE(Key.has_value());
  EXPECT_EQ(Hex(Key->X), "1a8297153091ee6807fb6f4ffcc21f963f4834fae1c3d6683c924a17a2f2235a");
  EXPECT_EQ(Hex(Key->Y), "f892450a09d680ebd2564e869d08bc7ff0962ef559ba62f580dce863ea0dd62d");
}

TEST(RawSignature, PadsAndStripsToFieldSize) {
  // p256-short.sig: r of 32 bytes, s of 31; p256.sig: s of 33 with its sign byte.
  const std::string Short = ReadDataFile("p256-short.sig");
  const TRawSignature Padded = RawSignatureFromDer(Short, 32);
  ASSERT_EQ(Padded.Form, TDerSignatureForm::dsSignature);
  ASSERT_EQ(Padded.RS.size(), 64U);
  EXPECT_EQ(std::vector<std::uint8_t>(Padded.RS.begin(), Padded.RS.begin() + 32),
            Bytes(std::string_view(Short).substr(4, 32)));
  EXPECT_EQ(Padded.RS[32], 0);
  EXPECT_EQ(std::vector<std::uint8_t>(Padded.RS.begin() + 33, Padded.RS.end()),
            Bytes(std::string_view(Short).substr(38, 31)));

  const std::string Long = ReadDataFile("p256.sig");
  const TRawSignature Stripped = RawSignatureFromDer(Long, 32);
  ASSERT_EQ(Stripped.Form, TDerSignatureForm::dsSignature);
  EXPECT_EQ(std::vector<std::uint8_t>(Stripped.RS.begin() + 32, Stripped.RS.end()),
            Bytes(std::string_view(Long).substr(39, 32)));
}

struct TFormCase {
  const char* Name;
  std::string Der;
  TDerSignatureForm Form;
};

class RawSignatureFormTest : public ::testing::TestWithParam<TFormCase> {};

TEST_P(RawSignatureFormTest, Form) {
  EXPECT_EQ(RawSignatureFromDer(GetParam().Der, 32).Form, GetParam().Form);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RawSignatureFormTest,
    ::testing::Values(
        TFormCase{"Smallest", std::string("\x30\x06\x02\x01\x01\x02\x01\x01", 8),
                  TDerSignatureForm::dsSignature},
        TFormCase{"ZeroR", std::string("\x30\x06\x02\x01\x00\x02\x01\x01", 8),
                  TDerSignatureForm::dsUnusable},
        TFormCase{"NegativeS", std::string("\x30\x06\x02\x01\x01\x02\x01\x80", 8),
                  TDerSignatureForm::dsMalformed},
        TFormCase{"PaddedS", std::string("\x30\x07\x02\x01\x01\x02\x02\x00\x01", 9),
                  TDerSignatureForm::dsMalformed},
        TFormCase{"EmptyS", std::string("\x30\x05\x02\x01\x01\x02\x00", 7),
                  TDerSignatureForm::dsMalformed},
        TFormCase{"LongFormInnerLength", std::string("\x30\x07\x02\x81\x01\x01\x02\x01\x01", 9),
                  TDerSignatureForm::dsUnusable},
        TFormCase{"FfBeforeNegative", std::string("\x30\x07\x02\x01\x01\x02\x02\xFF\x80", 9),
                  TDerSignatureForm::dsMalformed},
        TFormCase{"Indefinite", std::string("\x30\x80\x02\x01\x01\x02\x01\x01\x00\x00", 10),
                  TDerSignatureForm::dsMalformed},
        TFormCase{"LongFormLength", std::string("\x30\x81\x06\x02\x01\x01\x02\x01\x01", 9),
                  TDerSignatureForm::dsUnusable},
        TFormCase{"STooLong", "\x30\x26\x02\x01\x01\x02\x21\x01" + std::string(32, '\x01'),
                  TDerSignatureForm::dsUnusable},
        TFormCase{"OneInteger", std::string("\x30\x03\x02\x01\x01", 5),
                  TDerSignatureForm::dsMalformed},
        TFormCase{"LengthBeyondEnd", std::string("\x30\x07\x02\x01\x01\x02\x01\x01", 8),
                  TDerSignatureForm::dsMalformed},
        TFormCase{"ByteAfter", std::string("\x30\x06\x02\x01\x01\x02\x01\x01\x00", 9),
                  TDerSignatureForm::dsMalformed},
        TFormCase{"Empty", "", TDerSignatureForm::dsMalformed}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
