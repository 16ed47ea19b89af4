#include "platform/SignatureEncoding.h"

#include <array>
#include <string>

namespace ruvevid {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kPemBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kPemEnd = "-----END PUBLIC KEY-----";

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kBitString = 0x03;
constexpr std::uint8_t kObjectId = 0x06;
constexpr std::uint8_t kUncompressedPoint = 0x04;

// 1.2.840.10045.2.1, an EC public key.
constexpr std::string_view kEcPublicKeyOid = "\x2A\x86\x48\xCE\x3D\x02\x01"sv;

struct TCurveName {
  std::string_view Oid;
  TEcCurve Curve;
};

constexpr std::array<TCurveName, 3> kCurveNames = {{
    {"\x2A\x86\x48\xCE\x3D\x03\x01\x07"sv, TEcCurve::ecP256},  // 1.2.840.10045.3.1.7
    {"\x2B\x81\x04\x00\x22"sv, TEcCurve::ecP384},              // 1.3.132.0.34
    {"\x2B\x81\x04\x00\x23"sv, TEcCurve::ecP521},              // 1.3.132.0.35
}};

int Base64Value(char C) {
  if (C >= 'A' && C <= 'Z') return C - 'A';
  if (C >= 'a' && C <= 'z') return C - 'a' + 26;
  if (C >= '0' && C <= '9') return C - '0' + 52;
  if (C == '+') return 62;
  if (C == '/') return 63;
  return -1;
}

bool IsBlank(char C) {
  return C == ' ' || C == '\t' || C == '\r' || C == '\n';
}

// Base64 with blanks and line breaks anywhere; '=' padding only at the end.
std::optional<std::string> DecodeBase64(std::string_view Text) {
  std::string Bytes;
  std::uint32_t Bits = 0;
  int BitCount = 0;
  int Padding = 0;
  int Symbols = 0;
  for (const char C : Text) {
    if (IsBlank(C)) continue;
    if (C == '=') {
      ++Padding;
      ++Symbols;
      continue;
    }
    const int Value = Base64Value(C);
    if (Value < 0 || Padding > 0) return std::nullopt;
    ++Symbols;
    Bits = (Bits << 6) | static_cast<std::uint32_t>(Value);
    BitCount += 6;
    if (BitCount >= 8) {
      BitCount -= 8;
      Bytes += static_cast<char>((Bits >> BitCount) & 0xFFU);
    }
  }
  if (Symbols % 4 != 0 || Padding > 2) return std::nullopt;
  return Bytes;
}

// One DER element: its tag, its contents and whether its length was written in the shortest form.
struct TElement {
  std::uint8_t Tag = 0;
  std::string_view Contents;
  bool MinimalLength = true;
};

// Reads the element at the start of Data and moves Data past it; nothing when Data holds no
// whole element of a single-byte tag and a definite length.
std::optional<TElement> ReadElement(std::string_view& Data) {
  if (Data.size() < 2) return std::nullopt;
  TElement Element;
  Element.Tag = static_cast<std::uint8_t>(Data[0]);
  if ((Element.Tag & 0x1F) == 0x1F) return std::nullopt;
  const auto First = static_cast<std::uint8_t>(Data[1]);
  std::size_t Offset = 2;
  std::size_t Length = First;
  if (First >= 0x80) {
    const std::size_t LengthBytes = First & 0x7FU;
    if (LengthBytes == 0 || LengthBytes > 4 || Data.size() < 2 + LengthBytes) return std::nullopt;
    Length = 0;
    for (std::size_t I = 0; I < LengthBytes; ++I) {
      Length = (Length << 8) | static_cast<std::uint8_t>(Data[2 + I]);
    }
    Offset += LengthBytes;
    const bool ShortestLong =
        Length >= 0x80 && static_cast<std::uint8_t>(Data[2]) != 0;  // no leading zero byte
    Element.MinimalLength = ShortestLong;
  }
  if (Data.size() - Offset < Length) return std::nullopt;
  Element.Contents = Data.substr(Offset, Length);
  Data.remove_prefix(Offset + Length);
  return Element;
}

std::optional<TEcCurve> CurveOf(std::string_view Oid) {
  for (const TCurveName& Name : kCurveNames) {
    if (Name.Oid == Oid) return Name.Curve;
  }
  return std::nullopt;
}

// The key of a DER SubjectPublicKeyInfo.
std::optional<TEcPublicKey> EcPublicKeyFromDer(std::string_view Der) {
  const std::optional<TElement> Info = ReadElement(Der);
  if (!Info || Info->Tag != kSequence) return std::nullopt;
  std::string_view Fields = Info->Contents;
  const std::optional<TElement> Algorithm = ReadElement(Fields);
  const std::optional<TElement> Key = ReadElement(Fields);
  if (!Algorithm || !Key || Algorithm->Tag != kSequence || Key->Tag != kBitString ||
      !Fields.empty()) {
    return std::nullopt;
  }
  std::string_view Names = Algorithm->Contents;
  const std::optional<TElement> Kind = ReadElement(Names);
  const std::optional<TElement> Parameters = ReadElement(Names);
  if (!Kind || !Parameters || Kind->Tag != kObjectId || Parameters->Tag != kObjectId ||
      !Names.empty() || Kind->Contents != kEcPublicKeyOid) {
    return std::nullopt;
  }
  const std::optional<TEcCurve> Curve = CurveOf(Parameters->Contents);
  if (!Curve) return std::nullopt;
  const std::size_t Size = CurveFieldSize(*Curve);
  // No unused bits, then the uncompressed point 04 X Y.
  const std::string_view Point = Key->Contents;
  if (Point.size() != 2 + 2 * Size || Point[0] != 0 ||
      static_cast<std::uint8_t>(Point[1]) != kUncompressedPoint) {
    return std::nullopt;
  }
  TEcPublicKey Result;
  Result.Curve = *Curve;
  Result.X.assign(Point.begin() + 2, Point.begin() + 2 + static_cast<std::ptrdiff_t>(Size));
  Result.Y.assign(Point.begin() + 2 + static_cast<std::ptrdiff_t>(Size), Point.end());
  return Result;
}

// True when Contents is an INTEGER's contents that OpenSSL reads as an ECDSA number: not empty,
// not negative and without a needless leading zero (zero itself reads, and never verifies).
bool IsReadableNumber(std::string_view Contents) {
  if (Contents.empty()) return false;
  const auto Lead = static_cast<std::uint8_t>(Contents[0]);
  if ((Lead & 0x80) != 0) return false;
  return Lead != 0 || Contents.size() == 1 || (static_cast<std::uint8_t>(Contents[1]) & 0x80) != 0;
}

// Appends the number Contents as FieldSize bytes; false when it does not fit.
bool AppendFixed(std::string_view Contents, std::size_t FieldSize, std::vector<std::uint8_t>& To) {
  while (!Contents.empty() && Contents[0] == 0) Contents.remove_prefix(1);
  if (Contents.size() > FieldSize) return false;
  To.insert(To.end(), FieldSize - Contents.size(), 0);
  To.insert(To.end(), Contents.begin(), Contents.end());
  return true;
}

}  // namespace

std::size_t CurveFieldSize(TEcCurve Curve) {
  switch (Curve) {
    case TEcCurve::ecP256:
      return 32;
    case TEcCurve::ecP384:
      return 48;
    case TEcCurve::ecP521:
      return 66;
  }
  return 0;
}

std::optional<TEcPublicKey> EcPublicKeyFromPem(std::string_view Pem) {
  const std::size_t Begin = Pem.find(kPemBegin);
  if (Begin == std::string_view::npos) return std::nullopt;
  const std::size_t BodyStart = Begin + kPemBegin.size();
  const std::size_t End = Pem.find(kPemEnd, BodyStart);
  if (End == std::string_view::npos) return std::nullopt;
  const std::optional<std::string> Der = DecodeBase64(Pem.substr(BodyStart, End - BodyStart));
  if (!Der) return std::nullopt;
  return EcPublicKeyFromDer(*Der);
}

TRawSignature RawSignatureFromDer(std::string_view Der, std::size_t FieldSize) {
  TRawSignature Result;
  std::string_view Rest = Der;
  const std::optional<TElement> Sequence = ReadElement(Rest);
  if (!Sequence || Sequence->Tag != kSequence || !Rest.empty()) return Result;
  std::string_view Fields = Sequence->Contents;
  const std::optional<TElement> R = ReadElement(Fields);
  const std::optional<TElement> S = ReadElement(Fields);
  if (!R || !S || R->Tag != kInteger || S->Tag != kInteger || !Fields.empty()) return Result;
  if (!IsReadableNumber(R->Contents) || !IsReadableNumber(S->Contents)) return Result;
  Result.Form = TDerSignatureForm::dsUnusable;
  const bool Zero =
      R->Contents == std::string_view("\0", 1) || S->Contents == std::string_view("\0", 1);
  if (Zero || !Sequence->MinimalLength || !R->MinimalLength || !S->MinimalLength) return Result;
  std::vector<std::uint8_t> RS;
  RS.reserve(2 * FieldSize);
  if (!AppendFixed(R->Contents, FieldSize, RS) || !AppendFixed(S->Contents, FieldSize, RS)) {
    return Result;
  }
  Result.Form = TDerSignatureForm::dsSignature;
  Result.RS = std::move(RS);
  return Result;
}

}  // namespace ruvevid
