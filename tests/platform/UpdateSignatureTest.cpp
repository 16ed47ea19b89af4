// The verdicts of the signature check on keys and signatures made beforehand with the openssl
// command line (data/signature: P-256 and P-384 keys, an RSA key, signatures of data.bin). The same
// table runs against each system's implementation, so both come to the same verdicts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

#include "platform/UpdateSignature.h"

namespace ruvevid {
namespace {

std::string ReadDataFile(const std::string& Name) {
  const std::filesystem::path Path =
      std::filesystem::path(RUVEVID_SOURCE_DIR) / "tests/platform/data/signature" / Name;
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot read " + Path.string());
  return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}

std::string Hex(const TSha256Digest& Digest) {
  std::string Text;
  for (const std::uint8_t Byte : Digest) {
    char Pair[3];
    std::snprintf(Pair, sizeof Pair, "%02x", Byte);
    Text += Pair;
  }
  return Text;
}

TSha256Digest DigestOf(const std::string& Bytes) {
  TSha256 Hash;
  Hash.Update(Bytes.data(), Bytes.size());
  return Hash.Final();
}

// p256.sig is 30 45 | 02 20 r (32 bytes) | 02 21 00 s (32 bytes).
constexpr std::size_t kSOffset = 2 + 2 + 32;

struct TVerdictCase {
  const char* Name;
  const char* KeyFile;  // empty: the key text is KeyText
  std::string KeyText;
  const char* SignatureFile;
  std::function<std::string(std::string)> Change;  // applied to the signature's bytes
  std::string Data;                                // empty: data.bin
  TSignatureVerdict Expected;
};

std::string Unchanged(std::string Signature) {
  return Signature;
}

const TVerdictCase kVerdictCases[] = {
    {"Valid", "p256.pub.pem", "", "p256.sig", Unchanged, "", TSignatureVerdict::svValid},
    // r and s written with fewer than 32 bytes: the raw form pads them.
    {"ValidShortS", "p256.pub.pem", "", "p256-short.sig", Unchanged, "",
     TSignatureVerdict::svValid},
    {"ValidP384", "p384.pub.pem", "", "p384.sig", Unchanged, "", TSignatureVerdict::svValid},
    {"OtherData", "p256.pub.pem", "", "p256.sig", Unchanged, "other bytes",
     TSignatureVerdict::svWrong},
    {"OtherKey", "other-p256.pub.pem", "", "p256.sig", Unchanged, "", TSignatureVerdict::svWrong},
    {"OtherKeysSignature", "p256.pub.pem", "", "other-p256.sig", Unchanged, "",
     TSignatureVerdict::svWrong},
    {"P256SignatureForP384Key", "p384.pub.pem", "", "p256.sig", Unchanged, "",
     TSignatureVerdict::svWrong},
    {"FlippedBitOfS", "p256.pub.pem", "", "p256.sig",
     [](std::string S) {
       S[S.size() - 1] = static_cast<char>(S[S.size() - 1] ^ 0x01);
       return S;
     },
     "", TSignatureVerdict::svWrong},
    {"FlippedBitOfR", "p256.pub.pem", "", "p256.sig",
     [](std::string S) {
       S[10] = static_cast<char>(S[10] ^ 0x40);
       return S;
     },
     "", TSignatureVerdict::svWrong},
    // A number with a needless leading zero, or negative, is no ECDSA number.
    {"NeedlessZeroBeforeR", "p256.pub.pem", "", "p256.sig",
     [](std::string S) {
       S[1] = static_cast<char>(S[1] + 1);
       S[3] = static_cast<char>(S[3] + 1);
       S.insert(4, 1, '\0');
       return S;
     },
     "", TSignatureVerdict::svMalformed},
    // Readable, but not the exact DER a signer writes, or r beyond the field: none verifies.
    {"LongFormLength", "p256.pub.pem", "", "p256.sig",
     [](std::string S) {
       S.insert(1, 1, '\x81');
       return S;
     },
     "", TSignatureVerdict::svWrong},
    {"RTooLong", "p256.pub.pem", "", "p256.sig",
     [](std::string S) {
       S[1] = static_cast<char>(S[1] + 1);
       S[3] = static_cast<char>(S[3] + 1);
       S.insert(4, 1, '\x01');
       return S;
     },
     "", TSignatureVerdict::svWrong},
    {"RZero", "p256.pub.pem", "", "p256.sig",
     [](std::string S) { return std::string("\x30\x26\x02\x01\x00", 5) + S.substr(kSOffset); }, "",
     TSignatureVerdict::svWrong},
    {"SNegative", "p256.pub.pem", "", "p256.sig",
     [](std::string S) {
       // Drops the zero that keeps s positive.
       S[1] = static_cast<char>(S[1] - 1);
       S[kSOffset + 1] = 0x20;
       S.erase(kSOffset + 2, 1);
       return S;
     },
     "", TSignatureVerdict::svMalformed},
    {"Truncated", "p256.pub.pem", "", "p256.sig",
     [](std::string S) { return S.substr(0, S.size() - 1); }, "", TSignatureVerdict::svMalformed},
    {"TrailingByte", "p256.pub.pem", "", "p256.sig", [](std::string S) { return S + '\0'; }, "",
     TSignatureVerdict::svMalformed},
    {"ThirdInteger", "p256.pub.pem", "", "p256.sig",
     [](std::string S) {
       S[1] = static_cast<char>(S[1] + 3);
       return S + std::string("\x02\x01\x01", 3);
     },
     "", TSignatureVerdict::svMalformed},
    {"SetNotSequence", "p256.pub.pem", "", "p256.sig",
     [](std::string S) {
       S[0] = 0x31;
       return S;
     },
     "", TSignatureVerdict::svMalformed},
    {"OctetStringR", "p256.pub.pem", "", "p256.sig",
     [](std::string S) {
       S[2] = 0x04;
       return S;
     },
     "", TSignatureVerdict::svMalformed},
    {"Empty", "p256.pub.pem", "", "p256.sig", [](std::string) { return std::string(); }, "",
     TSignatureVerdict::svMalformed},
    {"Text", "p256.pub.pem", "", "p256.sig", [](std::string) { return std::string("signed"); }, "",
     TSignatureVerdict::svMalformed},
    {"RsaKey", "rsa.pub.pem", "", "p256.sig", Unchanged, "", TSignatureVerdict::svBadKey},
    {"EmptyKey", "", "", "p256.sig", Unchanged, "", TSignatureVerdict::svBadKey},
    {"KeyWithoutPem", "", "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE", "p256.sig", Unchanged, "",
     TSignatureVerdict::svBadKey},
    {"KeyCutShort", "",
     "-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE\n"
     "-----END PUBLIC KEY-----\n",
     "p256.sig", Unchanged, "", TSignatureVerdict::svBadKey},
    // The key is checked before the signature is read.
    {"BadKeyAndMalformedSignature", "rsa.pub.pem", "", "p256.sig",
     [](std::string) { return std::string("x"); }, "", TSignatureVerdict::svBadKey},
};

class SignatureVerdictTest : public ::testing::TestWithParam<TVerdictCase> {};

TEST_P(SignatureVerdictTest, Verdict) {
  const TVerdictCase& Case = GetParam();
  const std::string Key = *Case.KeyFile != '\0' ? ReadDataFile(Case.KeyFile) : Case.KeyText;
  const std::string Signature = Case.Change(ReadDataFile(Case.SignatureFile));
  const std::string Data = Case.Data.empty() ? ReadDataFile("data.bin") : Case.Data;
  EXPECT_EQ(VerifySha256Signature(Key, DigestOf(Data), Signature), Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(Vectors, SignatureVerdictTest, ::testing::ValuesIn(kVerdictCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// The key text may carry other text around its block and CR LF line ends.
TEST(SignatureVerdict, KeyWithCrLfAndSurroundingText) {
  std::string Key;
  for (const char C : ReadDataFile("p256.pub.pem")) {
    if (C == '\n') Key += '\r';
    Key += C;
  }
  Key = "the update key\r\n" + Key + "end\r\n";
  EXPECT_EQ(
      VerifySha256Signature(Key, DigestOf(ReadDataFile("data.bin")), ReadDataFile("p256.sig")),
      TSignatureVerdict::svValid);
}

struct TDigestCase {
  const char* Name;
  std::string Data;
  std::size_t Block;  // bytes given to one Update
  const char* Expected;
};

const TDigestCase kDigestCases[] = {
    {"Empty", "", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"Abc", "abc", 3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"AbcByteByByte", "abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"MillionAIn255", std::string(1000000, 'a'), 255,
     "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {"MillionAAtOnce", std::string(1000000, 'a'), 1000000,
     "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {"MillionAMixed", std::string(1000000, 'a'), 70000,
     "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

class Sha256Test : public ::testing::TestWithParam<TDigestCase> {};

TEST_P(Sha256Test, DigestAndStartOver) {
  const TDigestCase& Case = GetParam();
  TSha256 Hash;
  for (std::size_t At = 0; At < Case.Data.size(); At += Case.Block) {
    Hash.Update(Case.Data.data() + At, std::min(Case.Block, Case.Data.size() - At));
  }
  EXPECT_EQ(Hex(Hash.Final()), Case.Expected);
  // Final starts the hash over.
  EXPECT_EQ(Hex(Hash.Final()), kDigestCases[0].Expected);
  Hash.Update("x", 1);
  Hash.Reset();
  Hash.Update(Case.Data.data(), Case.Data.size());
  EXPECT_EQ(Hex(Hash.Final()), Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(Vectors, Sha256Test, ::testing::ValuesIn(kDigestCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(Sha256, DataFileDigest) {
  EXPECT_EQ(Hex(DigestOf(ReadDataFile("data.bin"))),
            "21f6203d788fcff6d902182af9281b04b61b8eb8ba0b9cd52ea6266132c6f0c7");
}

}  // namespace
}  // namespace ruvevid
