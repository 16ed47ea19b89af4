#pragma once
// The block layer: block headers, stored blocks, dynamic code descriptions and the window.

#include "archive/codec/InflateRecord.h"
#include "archive/codec/InflateState.h"

namespace ruvevid::inflate {

// Back to the first block: empty bit buffer, empty window, fresh check value. ClearWindow zeroes
// the window's bytes as well, so that a new stream sees zeros before its first byte.
void ResetBlocks(TBlockDecoder& Block, bool ClearWindow);

// Runs the block layer: kInflateStreamEnd after the last block once everything is delivered,
// kInflateBufError when input or output space runs out, kInflateDataError for invalid data
// (sticky), kInflateMemError when a table set does not fit its pool.
int RunBlocks(TInflateRecord& Record, TInflateState& State);

}  // namespace ruvevid::inflate
