#pragma once
// Enciphered headers (marker bytes 'L', 'N' and 0x5C): the bytes after the signature, and the name
// that follows a local or central header, are enciphered with the traditional zip cipher, starting
// from the fixed header key state for every header.

#include <cstddef>
#include <cstdint>

#include "archive/base/ZipHeaders.h"
#include "archive/codec/ZipCipher.h"

namespace ruvevid {

// Loads the header key state into Cipher and deciphers, in place, the FixedSize - 4 bytes after the
// 4-byte signature (26 for a local header, 42 central, 18 end record, 22 wide end record).
void DecodeZipHeader(std::uint8_t* Header, std::size_t FixedSize, TZipCipher& Cipher,
                     const TZipKeys& HeaderKeys = kZipHeaderKeyState);

template <std::size_t N>
void DecodeZipHeader(THeaderBytes<N>& Header, TZipCipher& Cipher,
                     const TZipKeys& HeaderKeys = kZipHeaderKeyState) {
  DecodeZipHeader(Header.data(), N, Cipher, HeaderKeys);
}

// Deciphers a header's name in place, continuing the key stream of the header before it.
void DecodeZipName(std::uint8_t* Name, std::size_t Length, TZipCipher& Cipher);

// The inverse of DecodeZipHeader, for making enciphered archives in tests and tools.
void EncodeZipHeader(std::uint8_t* Header, std::size_t FixedSize, TZipCipher& Cipher,
                     const TZipKeys& HeaderKeys = kZipHeaderKeyState);
void EncodeZipName(std::uint8_t* Name, std::size_t Length, TZipCipher& Cipher);

}  // namespace ruvevid
