#pragma once
// From an entry's compression method to its decoder.
//
//   0        stored: the stored copy, continued over the parts of a split or spanned set
//   1        shrunk             (legacy decoders)
//   2 to 5   reduced, factor 1 to 4
//   6        imploded
//   8        deflated           (inflate, 32 KB window)
//   9        enhanced deflated  (inflate, deflate64 mode, 64 KB window)
//   7, 10+   unsupported: "Unsupported compression method", nothing read or written

#include <cstdint>
#include <memory>
#include <string>

#include "archive/base/ZipRecords.h"

namespace ruvevid {

class TStream32;
class TUnZip;
class TZipVolumeHooks;

inline constexpr std::uint32_t kMethodStored = 0;
inline constexpr std::uint32_t kMethodDeflated = 8;
inline constexpr std::uint32_t kMethodDeflate64 = 9;

// Decodes the entry described by Info from Input (at its data, after the encryption header) to
// Output through the component's block writer, which folds every byte into the CRC-32 accumulator
// (started here). False only when a stored entry of a split or spanned set needed a part that
// could not be brought up. Decoder failures leave the output short; a failed final write of the
// legacy decoders' buffer raises E_RAISE.
bool DecodeEntry(TUnZip& Arc, TZipVolumeHooks& Volumes, const std::string& OutputName,
                 TZipEntryInfo Info, std::unique_ptr<TStream32>& Output,
                 std::unique_ptr<TStream32>& Input);

// True for the methods this build decodes.
bool IsSupportedMethod(std::uint32_t Method);

}  // namespace ruvevid
