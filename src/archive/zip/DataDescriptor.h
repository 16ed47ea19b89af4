#pragma once
// The data descriptor that follows an entry whose CRC and sizes were deferred (general purpose flag
// bit 3): found by looking behind the entry's data for a descriptor whose compressed size is the
// distance walked. It may carry the signature 0x08074B50 or not, and 32-bit or 64-bit sizes.

#include <cstdint>
#include <optional>
#include <vector>

namespace ruvevid {

class TStream32;

struct TDataDescriptor {
  std::uint32_t Crc32 = 0;
  std::uint64_t PackedSize = 0;
  std::uint64_t UnpackedSize = 0;
  std::int64_t End = 0;  // the first byte after the descriptor: where the next header stands
};

// Searches from DataStart (the entry's first data byte) to the end of the stream for the first
// place where either a descriptor with its signature stands whose compressed size equals its
// distance from DataStart, or a header signature (local, central, end) or the end of the stream
// follows a descriptor without signature whose compressed size equals its distance. Zip64 prefers
// the 64-bit sizes (the local header deferred them to a zip64 record). Nothing when there is none.
std::optional<TDataDescriptor> FindDataDescriptor(TStream32& Stream, std::int64_t DataStart,
                                                  bool Zip64);

// The extent of a listed entry in its volume, from its local header to the end of its data.
struct TEntrySpan {
  std::uint32_t Disk = 0;
  std::uint64_t Start = 0;
  std::uint64_t End = 0;
};

// True when two spans on one disk share a byte (several entries pointing at one local header
// among them).
bool SpansOverlap(std::vector<TEntrySpan> Spans);

}  // namespace ruvevid
