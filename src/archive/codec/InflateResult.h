#pragma once
// Result codes of the inflate decoder and of TDecompressStream.Read, and the two variants of the
// format it decodes.

namespace ruvevid {

// Progress made, more to come.
inline constexpr int kInflateOk = 0;
// The end of the compressed stream has been reached and every byte has been delivered.
inline constexpr int kInflateStreamEnd = 1;
// The wrapped stream asks for a preset dictionary (none can be supplied).
inline constexpr int kInflateNeedDict = 2;
// Bad call: no state, no input pointer, bad window bits, or called again after kInflateNeedDict.
inline constexpr int kInflateStreamError = -2;
// The compressed data is invalid. Sticky: every later call returns it again.
inline constexpr int kInflateDataError = -3;
// An allocation hook returned nothing, or a table set does not fit in its pool.
inline constexpr int kInflateMemError = -4;
// No progress possible: input exhausted (or no output space).
inline constexpr int kInflateBufError = -5;
// The caller was built with another layout of TInflateRecord.
inline constexpr int kInflateVersionError = -6;

// Zip method 8 is plain deflate (32 KB window); method 9 is deflate64 (64 KB window, length
// symbol 285 with 16 extra bits, distance symbols 30 and 31).
enum class TInflateVariant {
  ivDeflate,    // lengths up to 258, distances up to 32768
  ivDeflate64,  // lengths up to 65538, distances up to 65536
};

}  // namespace ruvevid
