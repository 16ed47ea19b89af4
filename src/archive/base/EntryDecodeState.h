#pragma once
// What decoding one entry reads and writes besides its streams: the entry's description, its
// budgets and output limit, the CRC accumulators, the cipher's key state and the inflate buffers.
// Kept together, apart from the rest of the run state, because it belongs to whoever decodes the
// entry; the run's countdown, counts and names stay with the run.

#include <cstdint>

#include "archive/base/ZipRecords.h"
#include "archive/codec/Crc.h"
#include "archive/codec/InflateBlockCache.h"
#include "archive/codec/ZipCipher.h"

namespace ruvevid {

struct TEntryDecodeState {
  // The entry being decoded.
  TZipEntryInfo EntryInfo;

  // Decoder budget: compressed bytes left to read, output bytes still expected.
  std::int64_t PackedBytesLeft = 0;
  std::int64_t OutputBytesExpected = 0;
  // The entry's sizes are known (from the central directory, the local header or a data
  // descriptor); false for an entry of the local-header walk whose descriptor was not found.
  bool EntrySizeKnown = true;
  // The most the entry may write (negative: no limit) and what it has written: its declared size,
  // or, while that is unknown, the archive bytes left times the method's largest expansion.
  std::int64_t OutputLimit = -1;
  std::int64_t OutputWritten = 0;

  // The CRC accumulators and the cipher's key state of the entry being decoded.
  TCrcAccumulators Crc;
  TZipCipher Cipher;

  // The inflate path's buffers, taken again by every deflated entry; kept from run to run.
  TInflateBlockCache InflateMemory;

  TEntryDecodeState() = default;
  TEntryDecodeState(const TEntryDecodeState&) = delete;
  TEntryDecodeState& operator=(const TEntryDecodeState&) = delete;
};

}  // namespace ruvevid
