#include "archive/codec/ZipCipher.h"

#include "archive/codec/ZipFlags.h"

namespace ruvevid {

namespace {

// Hides a value's origin from the optimizer, so that it does not fold a step that was taken off
// the key chain back onto it.
inline void KeepApart(std::uint32_t& Value) {
#if defined(__GNUC__)
  asm("" : "+r"(Value));
#else
  (void)Value;
#endif
}

}  // namespace

void TZipCipher::CipherInit(std::string_view Password) {
  FKeys = TZipKeys{};
  for (const char C : Password) CipherUpdate(static_cast<std::uint8_t>(C));
}

void TZipCipher::DecipherBuffer(void* Buffer, std::size_t Count) {
  // Every byte waits for the previous one (key 2 gives the mask, the plain byte moves key 0, key 0
  // moves key 1, key 1 moves key 2), so the loop is as fast as that chain is short. The keys stay
  // in locals, and the steps are rearranged so that only the bits the next step reads lie on it:
  //  - the mask needs the low 16 bits of T * (T ^ 1) only, and those depend on the low 16 bits of
  //    T alone, so the key is not masked to 16 bits first;
  //  - Key0 ^ Cipher is formed before the mask is known, so the plain byte joins the CRC index
  //    with one XOR;
  //  - (Key1 + B) * C + 1 is Key1 * C + 1 + B * C, with Key1 * C + 1 formed off the chain;
  //  - Key1 >> 24 is already a byte: it indexes the CRC table XORed with Key2's low byte.
  auto* P = static_cast<std::uint8_t*>(Buffer);
  std::uint32_t Key0 = FKeys.Key0;
  std::uint32_t Key1 = FKeys.Key1;
  std::uint32_t Key2 = FKeys.Key2;
  for (std::size_t I = 0; I < Count; ++I) {
    const std::uint32_t Ahead0 = Key0 ^ P[I];
    std::uint32_t Ahead1 = Key1 * kZipKey1Factor + 1u;
    KeepApart(Ahead1);
    std::uint32_t Low2 = Key2 & 0xFFu;
    KeepApart(Low2);
    const std::uint32_t Mask = ((Key2 | 2u) * ((Key2 ^ 1u) | 2u)) >> 8;
    const std::uint32_t Index0 = (Ahead0 ^ Mask) & 0xFFu;
    P[I] = static_cast<std::uint8_t>(Index0 ^ Key0);
    Key0 = Crc32Table[Index0] ^ (Key0 >> 8);
    Key1 = Ahead1 + (Key0 & 0xFFu) * kZipKey1Factor;
    Key2 = Crc32Table[Low2 ^ (Key1 >> 24)] ^ (Key2 >> 8);
  }
  FKeys = {Key0, Key1, Key2};
}

void TZipCipher::EncipherBuffer(void* Buffer, std::size_t Count) {
  auto* P = static_cast<std::uint8_t*>(Buffer);
  TZipCipher Local(FKeys);
  for (std::size_t I = 0; I < Count; ++I) P[I] = Local.EncipherByte(P[I]);
  FKeys = Local.FKeys;
}

bool TZipCipher::CheckEncryptionHeader(std::uint8_t* Header, std::uint16_t Flags, std::uint32_t Crc,
                                       std::uint32_t DosTime, std::string_view Password) {
  if (Password.empty()) return false;
  CipherInit(Password);
  for (std::size_t I = 0; I < kZipEncryptionHeaderSize; ++I) {
    Header[I] = DecipherByte(Header[kZipEncryptionHeaderSize + I]);
  }
  const std::uint8_t Check = Header[kZipEncryptionHeaderSize - 1];
  const bool SizesFollowData = (Flags & kDataDescriptorFlag) != 0;
  const auto Expected = SizesFollowData ? static_cast<std::uint8_t>(DosTime >> 8)
                                        : static_cast<std::uint8_t>(Crc >> 24);
  return Check == Expected;
}

}  // namespace ruvevid
