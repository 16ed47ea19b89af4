// The traditional zip cipher: an encryption header checked with a password, data deciphered, and
// an enciphered header with its name. Input: password length, password, flags, CRC, time, then the
// 12-byte encryption header and data.

#include <array>
#include <cstdint>
#include <string_view>

#include "FuzzSupport.h"
#include "archive/base/LittleEndian.h"
#include "archive/base/ZipHeaderCipher.h"
#include "archive/codec/ZipCipher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  using namespace ruvevid;
  if (Size < 1 || Size < 1u + Data[0] + 10 + kZipEncryptionHeaderSize) return 0;
  const std::string_view Password(reinterpret_cast<const char*>(Data + 1), Data[0]);
  const std::uint8_t* At = Data + 1 + Data[0];
  const std::uint16_t Flags = GetLE16(At);
  const std::uint32_t Crc = GetLE32(At + 2);
  const std::uint32_t Time = GetLE32(At + 6);
  At += 10;
  std::array<std::uint8_t, kZipPasswordWorkAreaSize> Work{};
  std::copy_n(At, kZipEncryptionHeaderSize, Work.begin() + kZipEncryptionHeaderSize);
  At += kZipEncryptionHeaderSize;
  std::vector<std::uint8_t> Rest(At, Data + Size);
  TZipCipher Cipher;
  if (Cipher.CheckEncryptionHeader(Work.data(), Flags, Crc, Time, Password))
    Cipher.DecipherBuffer(Rest.data(), Rest.size());
  // The same bytes as an enciphered central header and its name.
  if (Rest.size() >= 46) {
    TZipCipher Header;
    DecodeZipHeader(Rest.data(), 46, Header, kZipHeaderKeyState);
    DecodeZipName(Rest.data() + 46, Rest.size() - 46, Header);
  }
  return 0;
}
