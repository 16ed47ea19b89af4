#pragma once
// The decoder record that a decompression stream holds inline and feeds: it supplies compressed
// input and output space, the decoder consumes and produces as much as it can.

#include <cstddef>
#include <cstdint>

namespace ruvevid {

namespace inflate {
struct TInflateState;
}

// Returns a zero-filled block of Items * Size bytes, or nullptr.
using TInflateAllocate = void* (*)(void* Context, std::uint32_t Items, std::uint32_t Size);
using TInflateRelease = void (*)(void* Context, void* Block);

struct TInflateRecord {
  const std::uint8_t* NextIn = nullptr;  // next compressed byte to consume
  std::uint32_t AvailIn = 0;             // compressed bytes left at NextIn
  std::uint64_t TotalIn = 0;             // compressed bytes consumed since the last reset
  std::uint8_t* NextOut = nullptr;       // where the next decompressed byte goes
  std::uint32_t AvailOut = 0;            // bytes that may still be written at NextOut
  std::uint64_t TotalOut = 0;            // decompressed bytes delivered since the last reset
  inflate::TInflateState* State =
      nullptr;                          // owned; created by DecoderInit, released by DecoderFree
  TInflateAllocate Allocate = nullptr;  // unset: the engine's zero-filling allocator
  TInflateRelease Release = nullptr;    // unset: the matching release
  void* Context = nullptr;              // passed to both hooks
  std::uint32_t Check = 0;              // running Adler-32 (wrapped form), or the dictionary id
  bool DecryptInput = false;            // the owning stream deciphers every refill before decoding
};

}  // namespace ruvevid
