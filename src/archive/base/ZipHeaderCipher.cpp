#include "archive/base/ZipHeaderCipher.h"

namespace ruvevid {

namespace {
constexpr std::size_t kSignatureSize = 4;
}

void DecodeZipHeader(std::uint8_t* Header, std::size_t FixedSize, TZipCipher& Cipher,
                     const TZipKeys& HeaderKeys) {
  Cipher.LoadKeys(HeaderKeys);
  if (FixedSize > kSignatureSize)
    Cipher.DecipherBuffer(Header + kSignatureSize, FixedSize - kSignatureSize);
}

void DecodeZipName(std::uint8_t* Name, std::size_t Length, TZipCipher& Cipher) {
  Cipher.DecipherBuffer(Name, Length);
}

void EncodeZipHeader(std::uint8_t* Header, std::size_t FixedSize, TZipCipher& Cipher,
                     const TZipKeys& HeaderKeys) {
  Cipher.LoadKeys(HeaderKeys);
  if (FixedSize > kSignatureSize)
    Cipher.EncipherBuffer(Header + kSignatureSize, FixedSize - kSignatureSize);
}

void EncodeZipName(std::uint8_t* Name, std::size_t Length, TZipCipher& Cipher) {
  Cipher.EncipherBuffer(Name, Length);
}

}  // namespace ruvevid
