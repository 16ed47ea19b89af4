#pragma once
// The block decoder's circular window: every decoded byte is written here first and delivered to
// the caller's output by WindowFlush, and matches copy from here.
//
// The window holds the longest distance (2^window bits) plus as much again, at least 32 KB, and a
// few slack bytes after its end. The part beyond the longest distance lets the fast path copy in
// 16-byte steps: the up to 31 bytes it writes past a match's end, and the bytes it reads past the
// window's end, never touch data that is still to be delivered or still in reach of a distance.

#include <cstddef>
#include <cstdint>

#include "archive/codec/InflateRecord.h"
#include "archive/codec/InflateState.h"

namespace ruvevid::inflate {

// Bytes a word-wise copy may write past the end of its match, or read past the window's end.
inline constexpr std::size_t kCopyOvershoot = 32;
inline constexpr std::size_t kWindowSlack = 2 * kCopyOvershoot;

inline constexpr unsigned kMinWindowReserveBits = 15;
constexpr std::size_t WindowBytesFor(unsigned WindowBits) {
  return (std::size_t{1} << WindowBits) +
         (std::size_t{1} << (WindowBits > kMinWindowReserveBits ? WindowBits
                                                                : kMinWindowReserveBits));
}

// Contiguous bytes that may be written at Write: up to the read pointer (one byte is kept free so a
// full window differs from an empty one), or up to the window's end.
inline std::size_t WindowSpace(const TBlockDecoder& Block) {
  return static_cast<std::size_t>(Block.Write < Block.Read ? Block.Read - Block.Write - 1
                                                           : Block.WindowEnd - Block.Write);
}

// Moves the write pointer back to the window's start when it stands at the end and the start has
// already been delivered.
inline void WindowWrapWrite(TBlockDecoder& Block) {
  if (Block.Write == Block.WindowEnd && Block.Read != Block.Window) Block.Write = Block.Window;
}

// Delivers the bytes from Read towards Write into the caller's output, as far as its space goes.
// Returns the number of bytes delivered.
std::size_t WindowFlush(TInflateRecord& Record, TBlockDecoder& Block);

// Makes room for at least one byte: wraps, flushes, wraps again. Returns the contiguous space (0
// when the caller's output is full and the window with it).
std::size_t WindowMakeRoom(TInflateRecord& Record, TBlockDecoder& Block);

}  // namespace ruvevid::inflate
