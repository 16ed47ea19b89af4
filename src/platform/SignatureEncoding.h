#pragma once
// The encodings around an ECDSA signature check, for a system library that takes keys and
// signatures as raw numbers (Windows CNG): the public key's point from a PEM SubjectPublicKeyInfo,
// and r and s from a DER ECDSA-Sig-Value. The readings follow OpenSSL's, so that both systems
// come to the same verdict on the same bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ruvevid {

enum class TEcCurve { ecP256, ecP384, ecP521 };

// The size in bytes of one coordinate, of r and of s on Curve (32, 48, 66).
std::size_t CurveFieldSize(TEcCurve Curve);

struct TEcPublicKey {
  TEcCurve Curve = TEcCurve::ecP256;
  std::vector<std::uint8_t> X;  // CurveFieldSize bytes, big-endian
  std::vector<std::uint8_t> Y;
};

// The key of the first "PUBLIC KEY" block of Pem; nothing when there is none, when it is not an
// EC key on a named curve above, or when its point is not given uncompressed.
std::optional<TEcPublicKey> EcPublicKeyFromPem(std::string_view Pem);

enum class TDerSignatureForm {
  dsSignature,  // r and s read from exact DER, each fits the curve's field
  dsUnusable,   // reads as a signature, but with lengths not in their shortest form, r or s zero
                // or too long: no valid signature is written so
  dsMalformed   // not an ECDSA-Sig-Value at all, bytes after it, or a number that is empty,
                // negative or begins with a needless zero
};

struct TRawSignature {
  TDerSignatureForm Form = TDerSignatureForm::dsMalformed;
  std::vector<std::uint8_t> RS;  // r then s, each FieldSize bytes big-endian (dsSignature only)
};

// r and s of the DER signature Der, each padded with leading zeros to FieldSize bytes.
TRawSignature RawSignatureFromDer(std::string_view Der, std::size_t FieldSize);

}  // namespace ruvevid
