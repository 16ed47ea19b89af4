#pragma once
// The check of a signed update: the detached signature (the archive's URL + ".sig") is fetched
// into memory before the archive, the archive is hashed while it downloads, and it goes on to be
// opened only when the signature is that of its digest by the public key built in.

#include <string>

#include "platform/UpdateSignature.h"

namespace ruvevid {

// Nothing longer is a signature: a DER ECDSA P-256 signature takes at most 72 bytes.
inline constexpr std::size_t kMaxSignatureBytes = 1024;
inline constexpr const char* kSignatureSuffix = ".sig";

class TSignedUpdate {
 public:
  // PublicKeyPem empty: updates are not signed, and nothing here does anything.
  explicit TSignedUpdate(std::string PublicKeyPem) : FPublicKey(std::move(PublicKeyPem)) {}

  bool Required() const { return !FPublicKey.empty(); }

  // A new archive download begins, under the signature fetched for it.
  void Begin(std::string Signature) {
    FSignature = std::move(Signature);
    FHash.Reset();
  }
  void Absorb(const void* Data, std::size_t Count) { FHash.Update(Data, Count); }
  // The verdict on the bytes absorbed since Begin.
  TSignatureVerdict Check() { return VerifySha256Signature(FPublicKey, FHash.Final(), FSignature); }

 private:
  std::string FPublicKey;
  std::string FSignature;
  TSha256 FHash;
};

}  // namespace ruvevid
