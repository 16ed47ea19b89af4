#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/SignatureEncoding.h"
#include "platform/UpdateSignature.h"

namespace ruvevid {

namespace {

bool Succeeded(NTSTATUS Status) {
  return Status >= 0;
}

class TAlgorithm {
 public:
  explicit TAlgorithm(const wchar_t* Name) {
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&FHandle, Name, nullptr, 0))) FHandle = nullptr;
  }
  ~TAlgorithm() {
    if (FHandle != nullptr) ::BCryptCloseAlgorithmProvider(FHandle, 0);
  }
  TAlgorithm(const TAlgorithm&) = delete;
  TAlgorithm& operator=(const TAlgorithm&) = delete;
  BCRYPT_ALG_HANDLE Get() const { return FHandle; }

 private:
  BCRYPT_ALG_HANDLE FHandle = nullptr;
};

class TKey {
 public:
  TKey() = default;
  ~TKey() {
    if (FHandle != nullptr) ::BCryptDestroyKey(FHandle);
  }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  BCRYPT_KEY_HANDLE* Out() { return &FHandle; }
  BCRYPT_KEY_HANDLE Get() const { return FHandle; }

 private:
  BCRYPT_KEY_HANDLE FHandle = nullptr;
};

struct TCurveAlgorithm {
  const wchar_t* Name;
  ULONG PublicMagic;
};

TCurveAlgorithm AlgorithmOf(TEcCurve Curve) {
  switch (Curve) {
    case TEcCurve::ecP256:
      return {BCRYPT_ECDSA_P256_ALGORITHM, BCRYPT_ECDSA_PUBLIC_P256_MAGIC};
    case TEcCurve::ecP384:
      return {BCRYPT_ECDSA_P384_ALGORITHM, BCRYPT_ECDSA_PUBLIC_P384_MAGIC};
    case TEcCurve::ecP521:
      return {BCRYPT_ECDSA_P521_ALGORITHM, BCRYPT_ECDSA_PUBLIC_P521_MAGIC};
  }
  return {BCRYPT_ECDSA_P256_ALGORITHM, BCRYPT_ECDSA_PUBLIC_P256_MAGIC};
}

// The public key blob CNG imports: the header, then X and Y.
std::vector<std::uint8_t> PublicKeyBlob(const TEcPublicKey& Key, ULONG Magic) {
  BCRYPT_ECCKEY_BLOB Header{};
  Header.dwMagic = Magic;
  Header.cbKey = static_cast<ULONG>(Key.X.size());
  std::vector<std::uint8_t> Blob(sizeof Header);
  std::memcpy(Blob.data(), &Header, sizeof Header);
  Blob.insert(Blob.end(), Key.X.begin(), Key.X.end());
  Blob.insert(Blob.end(), Key.Y.begin(), Key.Y.end());
  return Blob;
}

// Small blocks (the download's are 255 bytes) are gathered before they reach the hash, which
// costs about as much per call as per kilobyte.
constexpr std::size_t kGather = 64 * 1024;

}  // namespace

struct TSha256::TState {
  TAlgorithm Algorithm{BCRYPT_SHA256_ALGORITHM};
  BCRYPT_HASH_HANDLE Hash = nullptr;
  unsigned char Pending[kGather];
  std::size_t Used = 0;

  ~TState() { Close(); }

  void Close() {
    if (Hash != nullptr) ::BCryptDestroyHash(Hash);
    Hash = nullptr;
  }

  void Open() {
    Close();
    if (Algorithm.Get() == nullptr) return;
    if (!Succeeded(::BCryptCreateHash(Algorithm.Get(), &Hash, nullptr, 0, nullptr, 0, 0))) {
      Hash = nullptr;
    }
  }

  void Feed(const void* Data, std::size_t Count) {
    // BCryptHashData takes at most 4 GiB at a time.
    const auto* Bytes = static_cast<const UCHAR*>(Data);
    while (Hash != nullptr && Count > 0) {
      const auto Part = static_cast<ULONG>(std::min<std::size_t>(Count, 0x40000000));
      ::BCryptHashData(Hash, const_cast<UCHAR*>(Bytes), Part, 0);
      Bytes += Part;
      Count -= Part;
    }
  }

  void Flush() {
    Feed(Pending, Used);
    Used = 0;
  }
};

TSha256::TSha256() : FState(std::make_unique<TState>()) {
  Reset();
}

TSha256::~TSha256() = default;

void TSha256::Reset() {
  FState->Used = 0;
  FState->Open();
}

void TSha256::Update(const void* Data, std::size_t Count) {
  TState& State = *FState;
  if (Count >= kGather) {
    State.Flush();
    State.Feed(Data, Count);
    return;
  }
  if (Count > kGather - State.Used) State.Flush();
  std::memcpy(State.Pending + State.Used, Data, Count);
  State.Used += Count;
}

TSha256Digest TSha256::Final() {
  FState->Flush();
  TSha256Digest Digest{};
  if (FState->Hash != nullptr) {
    ::BCryptFinishHash(FState->Hash, Digest.data(), static_cast<ULONG>(Digest.size()), 0);
  }
  Reset();
  return Digest;
}

TSignatureVerdict VerifySha256Signature(const std::string& PublicKeyPem,
                                        const TSha256Digest& Digest,
                                        const std::string& SignatureDer) {
  const std::optional<TEcPublicKey> PublicKey = EcPublicKeyFromPem(PublicKeyPem);
  if (!PublicKey) return TSignatureVerdict::svBadKey;
  const TCurveAlgorithm Curve = AlgorithmOf(PublicKey->Curve);
  const TAlgorithm Algorithm(Curve.Name);
  if (Algorithm.Get() == nullptr) return TSignatureVerdict::svBadKey;
  std::vector<std::uint8_t> Blob = PublicKeyBlob(*PublicKey, Curve.PublicMagic);
  TKey Key;
  if (!Succeeded(::BCryptImportKeyPair(Algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, Key.Out(),
                                       Blob.data(), static_cast<ULONG>(Blob.size()), 0))) {
    return TSignatureVerdict::svBadKey;
  }

  TRawSignature Signature = RawSignatureFromDer(SignatureDer, CurveFieldSize(PublicKey->Curve));
  if (Signature.Form == TDerSignatureForm::dsMalformed) return TSignatureVerdict::svMalformed;
  if (Signature.Form == TDerSignatureForm::dsUnusable) return TSignatureVerdict::svWrong;
  TSha256Digest Hashed = Digest;
  const NTSTATUS Status =
      ::BCryptVerifySignature(Key.Get(), nullptr, Hashed.data(), static_cast<ULONG>(Hashed.size()),
                              Signature.RS.data(), static_cast<ULONG>(Signature.RS.size()), 0);
  return Succeeded(Status) ? TSignatureVerdict::svValid : TSignatureVerdict::svWrong;
}

}  // namespace ruvevid
