#pragma once
// The end-record search: finds the end of central directory record in the last 32 KB of the
// archive, notes which header kinds stand where the records say, loads the end records into the
// header buffers and returns where the directory walks start.

#include <cstdint>

#include "archive/base/ZipRecords.h"
#include "archive/codec/ZipCipher.h"

namespace ruvevid {

class TStream32;

// Size of the window searched backwards for the end record (and of each of the at most four
// windows scanned forwards for a local header when no central directory is found).
inline constexpr std::int64_t kEndRecordWindow = 32768;
inline constexpr int kLocalScanWindows = 4;

// Sets State.HeaderState, CommentStart, OffsetAdjust and the header buffers (FirstHeaderOffset is
// the caller's to store). Returns the central directory's offset (htCentral found), the offset of
// the first local header found by the forward scan, -1 when that scan found nothing, or 0 when
// there is no end record or a read fell short. Cipher is used for enciphered headers.
std::int64_t LocateZipDirectory(TStream32& Stream, TZipFormatState& State, TZipCipher& Cipher,
                                const TZipKeys& HeaderKeys = kZipHeaderKeyState);

}  // namespace ruvevid
