#pragma once
// The cryptography of signed updates, from the system's own library: SHA-256 over bytes fed as
// they arrive, and the check of an ECDSA P-256 signature (DER, as `openssl dgst -sha256 -sign`
// writes it) of such a digest against a public key in PEM: OpenSSL on Linux, CNG on Windows, with
// the same verdicts. CNG takes EC keys on P-256, P-384 and P-521 written uncompressed, as openssl
// writes them; a key with a compressed point is refused there as svBadKey.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ruvevid {

using TSha256Digest = std::array<std::uint8_t, 32>;

class TSha256 {
 public:
  TSha256();
  ~TSha256();
  TSha256(const TSha256&) = delete;
  TSha256& operator=(const TSha256&) = delete;

  // Starts over with no bytes.
  void Reset();
  void Update(const void* Data, std::size_t Count);
  // The digest of every byte since the last Reset; the hash then starts over.
  TSha256Digest Final();

 private:
  struct TState;
  std::unique_ptr<TState> FState;
};

enum class TSignatureVerdict {
  svValid,      // the key signed this digest
  svWrong,      // a well-formed signature, but not of this digest by this key
  svMalformed,  // not a DER ECDSA signature
  svBadKey      // the public key cannot be read
};

TSignatureVerdict VerifySha256Signature(const std::string& PublicKeyPem,
                                        const TSha256Digest& Digest,
                                        const std::string& SignatureDer);

}  // namespace ruvevid
