#pragma once
// The traditional PKWARE zip cipher (APPNOTE "traditional encryption"): a stream cipher with three
// 32-bit keys that are advanced by every plain byte. One TZipCipher holds one key state; the
// extraction run owns the one it deciphers entries with.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "archive/codec/Crc.h"

namespace ruvevid {

// The published initial keys.
inline constexpr std::uint32_t kZipKey0 = 0x12345678u;
inline constexpr std::uint32_t kZipKey1 = 0x23456789u;
inline constexpr std::uint32_t kZipKey2 = 0x34567890u;
// The multiplier of key 1's linear congruential step.
inline constexpr std::uint32_t kZipKey1Factor = 134775813u;

struct TZipKeys {
  std::uint32_t Key0 = kZipKey0;
  std::uint32_t Key1 = kZipKey1;
  std::uint32_t Key2 = kZipKey2;
  friend constexpr bool operator==(const TZipKeys&, const TZipKeys&) = default;
};

// The fixed key state with which every enciphered zip header (marker 'L', 'N' or 0x5C) starts.
inline constexpr TZipKeys kZipHeaderKeyState = {kZipKey0 & kZipKey2, kZipKey1& kZipKey0,
                                                kZipKey2& kZipKey1};

// Size of the encryption header in front of an encrypted entry's data, and of the work area that
// CheckEncryptionHeader uses: the deciphered header at 0..11, the stored copy at 12..23.
inline constexpr std::size_t kZipEncryptionHeaderSize = 12;
inline constexpr std::size_t kZipPasswordWorkAreaSize = 24;

class TZipCipher {
 public:
  TZipCipher() = default;
  explicit TZipCipher(const TZipKeys& Keys) : FKeys(Keys) {}

  const TZipKeys& Keys() const { return FKeys; }
  // Loads a key state, e.g. kZipHeaderKeyState before an enciphered header.
  void LoadKeys(const TZipKeys& Keys) { FKeys = Keys; }

  // Advances the key state by one plain byte.
  void CipherUpdate(std::uint8_t Plain) {
    FKeys.Key0 = Crc32Step(FKeys.Key0, Plain);
    FKeys.Key1 = (FKeys.Key1 + (FKeys.Key0 & 0xFFu)) * kZipKey1Factor + 1u;
    FKeys.Key2 = Crc32Step(FKeys.Key2, static_cast<std::uint8_t>(FKeys.Key1 >> 24));
  }
  // The key-stream byte for the next data byte; the key state is unchanged.
  std::uint8_t CipherMask() const {
    const std::uint32_t T = (FKeys.Key2 & 0xFFFFu) | 2u;
    return static_cast<std::uint8_t>((T * (T ^ 1u)) >> 8);
  }
  // Keys := the initial keys, then every password byte in order. An empty password leaves them.
  void CipherInit(std::string_view Password);

  std::uint8_t DecipherByte(std::uint8_t Cipher) {
    const auto Plain = static_cast<std::uint8_t>(Cipher ^ CipherMask());
    CipherUpdate(Plain);
    return Plain;
  }
  std::uint8_t EncipherByte(std::uint8_t Plain) {
    const auto Cipher = static_cast<std::uint8_t>(Plain ^ CipherMask());
    CipherUpdate(Plain);
    return Cipher;
  }
  // Deciphers (enciphers) Count bytes in place, in order, advancing the key state.
  void DecipherBuffer(void* Buffer, std::size_t Count);
  void EncipherBuffer(void* Buffer, std::size_t Count);

  // Tests Password against an entry's encryption header. Header holds 24 bytes: the caller puts the
  // 12 stored header bytes at 12..23; the deciphered header is written to 0..11 and the stored copy
  // is left untouched, so several passwords can be tried on the same buffer. The check byte (the
  // 12th) must equal the high byte of the DOS time when bit 3 of Flags is set (sizes and CRC follow
  // the data), else the high byte of Crc. DosTime may be the whole DOS date-time (time in the low
  // 16 bits). An empty password fails at once and leaves the keys as they were. On success the
  // key state stands ready for the entry's first data byte.
  bool CheckEncryptionHeader(std::uint8_t* Header, std::uint16_t Flags, std::uint32_t Crc,
                             std::uint32_t DosTime, std::string_view Password);

 private:
  TZipKeys FKeys;
};

}  // namespace ruvevid
