#pragma once
// Hand-built bit streams for the decoder tests. Fields go in least significant bit first, as
// deflate and the legacy methods read them; Huffman and Shannon-Fano codes most significant bit
// first.

#include <cstdint>
#include <vector>

namespace ruvevid::test {

class TBitWriter {
 public:
  // The Count low bits of Value, lowest first (bits beyond 32 are zeros).
  void Bits(std::uint32_t Value, unsigned Count) {
    for (unsigned I = 0; I < Count; ++I) Bit(I < 32 ? (Value >> I) & 1 : 0);
  }
  // A code of Length bits, its highest bit first.
  void Code(std::uint32_t Code, unsigned Length) {
    for (unsigned I = Length; I-- > 0;) Bit((Code >> I) & 1);
  }
  // Zero bits up to the next byte boundary.
  void AlignToByte() {
    while (FBitCount % 8 != 0) Bit(0);
  }
  // A whole byte at the next byte boundary.
  void Byte(std::uint8_t Value) {
    AlignToByte();
    FBytes.push_back(Value);
    FBitCount += 8;
  }
  // The bytes so far; the last one padded with zero bits.
  const std::vector<std::uint8_t>& Bytes() const { return FBytes; }
  std::size_t BitCount() const { return FBitCount; }

 private:
  void Bit(std::uint32_t Value) {
    if (FBitCount % 8 == 0) FBytes.push_back(0);
    FBytes.back() = static_cast<std::uint8_t>(FBytes.back() | (Value << (FBitCount % 8)));
    ++FBitCount;
  }
  std::vector<std::uint8_t> FBytes;
  std::size_t FBitCount = 0;
};

}  // namespace ruvevid::test
