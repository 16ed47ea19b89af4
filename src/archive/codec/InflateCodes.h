#pragma once
// The code layer: decodes one block's literal/length and distance symbols into the window.

#include <cstddef>

#include "archive/codec/InflateRecord.h"
#include "archive/codec/InflateState.h"
#include "archive/codec/InflateWindow.h"

namespace ruvevid::inflate {

// The fast path reads whole 8-byte words: at most four refills per round of its loop, each
// starting at most 7 bytes after the one before, so 36 readable bytes must be at hand before each
// round.
inline constexpr std::size_t kFastInputMargin = 40;
// The longest match the fast path copies itself. Longer deflate64 matches go to cmCopy.
inline constexpr std::size_t kFastMaxLength = 258;
// Window space the fast path needs before each round of its loop: at most two literals and the
// longest match, plus the copy overshoot.
inline constexpr std::size_t kFastOutputMargin = 2 + kFastMaxLength + kCopyOvershoot;

static_assert(kFastOutputMargin + kCopyOvershoot <= (std::size_t{1} << kMinWindowReserveBits),
              "the fast path's writes stay in the part of the window beyond every distance");

// Sets up the code layer for a block decoded with the given tables.
void StartCodes(TBlockDecoder& Block, const TTableEntry* LitLen, unsigned LitLenRoot,
                const TTableEntry* Dist, unsigned DistRoot);

// Runs the code layer: kInflateStreamEnd at the end of the block (once the window has been
// delivered), kInflateBufError when input or output space runs out, kInflateDataError at an
// invalid code or a distance beyond the window.
int RunCodes(TInflateRecord& Record, TBlockDecoder& Block);

// The fast path. Entry contract: root tables of kLitLenRootBits and kDistRootBits,
// Record.AvailIn >= kFastInputMargin, contiguous window space at
// Block.Write >= kFastOutputMargin, Block.BitCount < 8. It decodes while both margins hold and
// leaves Block.Codes.Mode at cmStart (margins exhausted), cmWash (end of block), cmCopy (a
// deflate64 match longer than kFastMaxLength, pending in Length and Distance) or cmBadCode. On
// leaving, the whole unused bytes in the bit buffer are given back to the input.
void InflateFast(TInflateRecord& Record, TBlockDecoder& Block);

}  // namespace ruvevid::inflate
