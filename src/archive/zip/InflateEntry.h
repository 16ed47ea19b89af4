#pragma once
// The entry loop of zip methods 8 and 9: decodes the current entry from the archive stream in
// chunks of at most 32 KB and hands each chunk to the component's block writer, which writes it to
// the entry's output and folds it into the entry's CRC-32.
//
// The method dispatch calls it for method 8 with TInflateVariant::ivDeflate and for method 9 with
// TInflateVariant::ivDeflate64, WindowBits -15 in both cases, after it has set the entry's budget
// (Run().Decode.OutputBytesExpected, Run().Decode.PackedBytesLeft) and started the CRC-32.

#include <cstdint>
#include <functional>
#include <memory>

#include "archive/codec/InflateResult.h"

namespace ruvevid {

class TStream32;
class TZipCommon;

// Brings up the next part of a split (atZipMV) or spanned (atZipDS) set and replaces Stream by it;
// false when it cannot. Unset: no further part can be brought up.
using TInflateNextVolume = std::function<bool(std::unique_ptr<TStream32>& Stream)>;

inline constexpr std::int32_t kInflateChunkSize = 32768;

// ArchiveStream stands at the entry's first compressed byte (after the encryption header, if any).
// Which header gives the expected size and the encryption flag follows the archive's header
// state: the local header when it is exactly htLocal, the central header otherwise (with the
// extra field's high word as bits 32 to 47). Reports no decoder failure itself: a failure ends the
// loop with the output short and the CRC check reports it. Passes on EWriteError, E_RAISE and every
// exception that is not the engine's own (std::bad_alloc among them: the run ends at Activate);
// the engine's other errors end the entry as a decoder failure does. On return the archive stream
// stands just after the entry's compressed data.
void InflateEntry(TZipCommon& Component, std::unique_ptr<TStream32>& ArchiveStream,
                  TStream32& Output, std::int8_t WindowBits, TInflateVariant Variant,
                  const TInflateNextVolume& NextVolume = {});

}  // namespace ruvevid
