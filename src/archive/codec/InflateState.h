#pragma once
// The decoder state behind TInflateRecord::State: the stream layer (optional header and trailer),
// the block layer (block types, bit buffer, window, table building) and the code layer (symbols,
// with a fast path). Every layer keeps its progress in these fields before it returns, so any call
// can stop where input or output space runs out and the next one resumes with nothing lost.

#include <cstdint>

#include "archive/codec/InflateRecord.h"
#include "archive/codec/InflateResult.h"
#include "archive/codec/InflateTables.h"

namespace ruvevid::inflate {

// Stream layer. A raw stream starts in smBlocks; a wrapped one in smMethod.
//   smMethod -> smFlags -> [smDict1..smDict4 -> smDictNeeded -> smBad]
//            -> smBlocks -> [smCheck1..smCheck4] -> smDone
enum class TStreamMode {
  smMethod,      // waits for input: the header's method byte
  smFlags,       // waits for input: the header's flag byte
  smDict1,       // waits for input: dictionary identifier, byte 1 (most significant)
  smDict2,       // waits for input: dictionary identifier, byte 2
  smDict3,       // waits for input: dictionary identifier, byte 3
  smDict4,       // waits for input: dictionary identifier, byte 4
  smDictNeeded,  // a dictionary was asked for and none can be given: the next call fails
  smBlocks,      // the block layer runs; waits for whatever it waits for
  smCheck1,      // waits for input: Adler-32 trailer, byte 1 (most significant)
  smCheck2,      // waits for input: Adler-32 trailer, byte 2
  smCheck3,      // waits for input: Adler-32 trailer, byte 3
  smCheck4,      // waits for input: Adler-32 trailer, byte 4
  smDone,        // finished: every call returns kInflateStreamEnd
  smBad,         // invalid data: every call returns kInflateDataError
};

// Block layer.
//   bmType -> bmStoredLens -> bmStoredCopy -> bmType | bmDrain
//          -> bmTableDesc -> bmCodeLenLens -> bmCodeLens -> bmCodes -> bmType | bmDrain
//          -> bmCodes (fixed) -> bmType | bmDrain
//   bmDrain -> bmDone
enum class TBlockMode {
  bmType,         // waits for input: 3 header bits (last flag, type)
  bmStoredLens,   // waits for input: LEN and NLEN of a stored block
  bmStoredCopy,   // waits for input and window space: copies the stored bytes
  bmTableDesc,    // waits for input: HLIT, HDIST, HCLEN
  bmCodeLenLens,  // waits for input: the 3-bit lengths of the code-length code
  bmCodeLens,     // waits for input: literal/length and distance code lengths
  bmCodes,        // the code layer decodes the block's symbols
  bmDrain,        // waits for output space: delivers what is left in the window
  bmDone,         // the last block has ended and everything has been delivered
  bmBad,          // invalid data
};

// Code layer, one block's symbols.
//   cmStart -> cmLen -> cmLenExt -> cmDist -> cmDistExt -> cmCopy -> cmStart
//                    -> cmLit -> cmStart
//                    -> cmWash -> cmEnd
//                    -> cmBadCode
enum class TCodeMode {
  cmStart,    // runs the fast path when input and window space allow, then cmLen
  cmLen,      // waits for input: a literal/length symbol
  cmLenExt,   // waits for input: the length's extra bits
  cmDist,     // waits for input: a distance symbol
  cmDistExt,  // waits for input: the distance's extra bits
  cmCopy,     // waits for window space: copies the match
  cmLit,      // waits for window space: writes the literal
  cmWash,     // waits for output space: delivers the window at the end of the block
  cmEnd,      // the block has ended
  cmBadCode,  // an invalid code was met
};

// The deepest index of a dynamic header: 258 + HLIT + HDIST with both at most 31.
inline constexpr unsigned kMaxCodeLengths = 258 + 31 + 31;

struct TCodeDecoder {
  TCodeMode Mode = TCodeMode::cmStart;
  const TTableEntry* LitLen = nullptr;  // root of the literal/length table
  unsigned LitLenRoot = 0;
  const TTableEntry* Dist = nullptr;  // root of the distance table
  unsigned DistRoot = 0;
  unsigned Extra = 0;        // extra bits still to read for the pending length or distance
  std::uint32_t Length = 0;  // pending match length (or bytes of it still to copy)
  std::uint32_t Distance = 0;
  std::uint8_t Literal = 0;
};

struct TBlockDecoder {
  TBlockMode Mode = TBlockMode::bmType;
  bool Last = false;
  std::uint64_t BitBuf = 0;  // input bits, first bit lowest; bits above BitCount are zero
  unsigned BitCount = 0;
  // Stored block.
  std::uint32_t StoredLeft = 0;
  // Dynamic header.
  unsigned LitCount = 0;   // 257 + HLIT
  unsigned DistCount = 0;  // 1 + HDIST
  unsigned CodeLenCount = 0;
  unsigned Index = 0;
  std::uint8_t Lengths[kMaxCodeLengths] = {};
  TTableRef CodeLenTable;
  TCodeDecoder Codes;
  // Table pool of the dynamic blocks (kDynamicPoolSize entries), owned.
  TTableEntry* Pool = nullptr;
  // Circular window: Start..End, with Read the next byte to deliver and Write the next to produce.
  // It is larger than the longest distance (see InflateWindow.h), owned.
  std::uint8_t* Window = nullptr;
  std::uint8_t* WindowEnd = nullptr;
  std::uint8_t* Read = nullptr;
  std::uint8_t* Write = nullptr;
  std::uint32_t MaxDistance = 0;  // 2^window bits: a longer distance is invalid
  bool WindowDirty = false;       // bytes were written since the window was last cleared
  bool Wrapped = false;           // computes Adler-32 over the delivered bytes
  std::uint32_t CheckValue = 1;
};

struct TInflateState {
  TStreamMode Mode = TStreamMode::smBlocks;
  TInflateVariant Variant = TInflateVariant::ivDeflate;
  bool Raw = true;
  unsigned WindowBits = 15;
  unsigned HeaderMethod = 0;
  std::uint32_t ExpectedCheck = 0;
  std::uint32_t ComputedCheck = 0;
  TBlockDecoder Blocks;
};

}  // namespace ruvevid::inflate
