#include "archive/codec/ZipCipher.h"

#include "archive/codec/ZipFlags.h"

namespace ruvevid {

void TZipCipher::CipherInit(std::string_view Password) {
  FKeys = TZipKeys{};
  for (const char C : Password) CipherUpdate(static_cast<std::uint8_t>(C));
}

void TZipCipher::DecipherBuffer(void* Buffer, std::size_t Count) {
  auto* P = static_cast<std::uint8_t*>(Buffer);
  // The keys stay in registers for the whole buffer.
  TZipCipher Local(FKeys);
  for (std::size_t i = 0; i < Count; ++i) P[i] = Local.DecipherByte(P[i]);
  FKeys = Local.FKeys;
}

void TZipCipher::EncipherBuffer(void* Buffer, std::size_t Count) {
  auto* P = static_cast<std::uint8_t*>(Buffer);
  TZipCipher Local(FKeys);
  for (std::size_t i = 0; i < Count; ++i) P[i] = Local.EncipherByte(P[i]);
  FKeys = Local.FKeys;
}

bool TZipCipher::CheckEncryptionHeader(std::uint8_t* Header, std::uint16_t Flags, std::uint32_t Crc,
                                       std::uint32_t DosTime, std::string_view Password) {
  if (Password.empty()) return false;
  CipherInit(Password);
  for (std::size_t i = 0; i < kZipEncryptionHeaderSize; ++i) {
    Header[i] = DecipherByte(Header[kZipEncryptionHeaderSize + i]);
  }
  const std::uint8_t Check = Header[kZipEncryptionHeaderSize - 1];
  const bool SizesFollowData = (Flags & kDataDescriptorFlag) != 0;
  const auto Expected = SizesFollowData ? static_cast<std::uint8_t>(DosTime >> 8)
                                        : static_cast<std::uint8_t>(Crc >> 24);
  return Check == Expected;
}

}  // namespace ruvevid
