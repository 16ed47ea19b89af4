#pragma once
// The error codes the extraction engine reports through OnError. The decoders report theirs
// through their seam with the same numbers, so the codes live with them.

namespace ruvevid {

// The run ended on an exception that is not the engine's own (out of memory, an event handler
// that raised); the extended message is the exception's.
inline constexpr int ecUnexpectedError = 25104;
inline constexpr int ecBadFileHeader = 25114;
inline constexpr int ecBadBlock = 25116;
inline constexpr int ecWriteError = 25136;
inline constexpr int ecCloseError = 25138;
inline constexpr int ecCrcError = 25151;
inline constexpr int ecDiskFull = 25160;
inline constexpr int ecNotAccessible = 25170;
inline constexpr int ecWriteProtected = 25171;
inline constexpr int ecFileNotFound = 25192;
inline constexpr int ecOpenError = 25235;
inline constexpr int ecEventNotAssigned = 25270;
inline constexpr int ecAmbiguousTree = 25293;
inline constexpr int ecStackOverflow = 25299;
inline constexpr int ecUnsupportedMethod = 25326;
inline constexpr int ecUserCanceled = 25443;
inline constexpr int ecInvalidPassword = 26517;

}  // namespace ruvevid
