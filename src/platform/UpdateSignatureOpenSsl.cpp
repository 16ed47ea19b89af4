#include <openssl/bio.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstring>

#include "platform/UpdateSignature.h"

namespace ruvevid {

namespace {

struct TDigestContextFree {
  void operator()(EVP_MD_CTX* Context) const { EVP_MD_CTX_free(Context); }
};
struct TKeyFree {
  void operator()(EVP_PKEY* Key) const { EVP_PKEY_free(Key); }
};
struct TKeyContextFree {
  void operator()(EVP_PKEY_CTX* Context) const { EVP_PKEY_CTX_free(Context); }
};
struct TBioFree {
  void operator()(BIO* Bio) const { BIO_free(Bio); }
};
struct TEcdsaSigFree {
  void operator()(ECDSA_SIG* Signature) const { ECDSA_SIG_free(Signature); }
};

// Small blocks (the download's are 255 bytes) are gathered before they reach the digest, which
// costs about as much per call as per kilobyte.
constexpr std::size_t kGather = 64 * 1024;

}  // namespace

struct TSha256::TState {
  std::unique_ptr<EVP_MD_CTX, TDigestContextFree> Context{EVP_MD_CTX_new()};
  unsigned char Pending[kGather];
  std::size_t Used = 0;

  void Flush() {
    if (Used > 0) EVP_DigestUpdate(Context.get(), Pending, Used);
    Used = 0;
  }
};

TSha256::TSha256() : FState(std::make_unique<TState>()) {
  Reset();
}

TSha256::~TSha256() = default;

void TSha256::Reset() {
  FState->Used = 0;
  EVP_DigestInit_ex(FState->Context.get(), EVP_sha256(), nullptr);
}

void TSha256::Update(const void* Data, std::size_t Count) {
  TState& State = *FState;
  if (Count >= kGather) {
    State.Flush();
    EVP_DigestUpdate(State.Context.get(), Data, Count);
    return;
  }
  if (Count > kGather - State.Used) State.Flush();
  std::memcpy(State.Pending + State.Used, Data, Count);
  State.Used += Count;
}

TSha256Digest TSha256::Final() {
  FState->Flush();
  TSha256Digest Digest{};
  unsigned int Length = 0;
  EVP_DigestFinal_ex(FState->Context.get(), Digest.data(), &Length);
  Reset();
  return Digest;
}

TSignatureVerdict VerifySha256Signature(const std::string& PublicKeyPem,
                                        const TSha256Digest& Digest,
                                        const std::string& SignatureDer) {
  const std::unique_ptr<BIO, TBioFree> Pem(
      BIO_new_mem_buf(PublicKeyPem.data(), static_cast<int>(PublicKeyPem.size())));
  const std::unique_ptr<EVP_PKEY, TKeyFree> Key(
      Pem ? PEM_read_bio_PUBKEY(Pem.get(), nullptr, nullptr, nullptr) : nullptr);
  if (!Key || EVP_PKEY_get_base_id(Key.get()) != EVP_PKEY_EC) return TSignatureVerdict::svBadKey;

  // Only a DER ECDSA signature, encoded exactly so, is a signature at all.
  const auto* Bytes = reinterpret_cast<const unsigned char*>(SignatureDer.data());
  const std::unique_ptr<ECDSA_SIG, TEcdsaSigFree> Parsed(
      d2i_ECDSA_SIG(nullptr, &Bytes, static_cast<long>(SignatureDer.size())));
  if (!Parsed ||
      Bytes != reinterpret_cast<const unsigned char*>(SignatureDer.data()) + SignatureDer.size()) {
    return TSignatureVerdict::svMalformed;
  }

  const std::unique_ptr<EVP_PKEY_CTX, TKeyContextFree> Context(
      EVP_PKEY_CTX_new(Key.get(), nullptr));
  if (!Context || EVP_PKEY_verify_init(Context.get()) != 1 ||
      EVP_PKEY_CTX_set_signature_md(Context.get(), EVP_sha256()) != 1) {
    return TSignatureVerdict::svBadKey;
  }
  const int Result =
      EVP_PKEY_verify(Context.get(), reinterpret_cast<const unsigned char*>(SignatureDer.data()),
                      SignatureDer.size(), Digest.data(), Digest.size());
  return Result == 1 ? TSignatureVerdict::svValid : TSignatureVerdict::svWrong;
}

}  // namespace ruvevid
