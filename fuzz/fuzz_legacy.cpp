// One of the legacy zip decoders (shrunk, reduced, imploded; RUVEVID_FUZZ_METHOD names which) on
// raw data. The first byte gives the method's variant as the replay's entry streams carry it:
// method * 8 + the entry's flags bits 1 and 2 (reduce's factor is the method, implode's dictionary
// and trees are the flags).

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "FuzzSupport.h"
#include "archive/codec/LegacyDecoder.h"

namespace {

struct TRaised : std::exception {};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  using namespace ruvevid;
  if (Size < 1) return 0;
  TLegacyEntry Entry;
  Entry.Method = RUVEVID_FUZZ_METHOD;
  if (Entry.Method == 2) Entry.Method = 2 + (Data[0] / 8 + 2) % 4;  // 2 to 5
  Entry.Flags = static_cast<std::uint16_t>(Data[0] & 6);
  ++Data;
  --Size;
  Entry.CompressedSize = static_cast<std::int64_t>(Size);
  // Enough for any real stream of this size, and a bound on a bomb.
  Entry.UnpackedSize = std::min<std::int64_t>(static_cast<std::int64_t>(Size) * 8192, 64 << 20);
  std::size_t Read = 0;
  TLegacyIo Io;
  Io.ReadBlock = [&](std::uint8_t* Buffer, int Count, bool) {
    const std::size_t N = std::min(static_cast<std::size_t>(Count), Size - Read);
    std::copy_n(Data + Read, N, Buffer);
    Read += N;
    return static_cast<int>(N);
  };
  Io.WriteBlock = [](std::uint8_t*, int Count) { return Count; };
  Io.GetCancel = [] { return false; };
  Io.ReportError = [](int) {};
  Io.RaiseError = [](int) { throw TRaised(); };
  TLegacyDecoder Decoder(Io, Entry);
  try {
    Decoder.RunMethod();
  } catch (const TRaised&) {
  }
  Decoder.FreeTables();
  try {
    Decoder.FlushOutput();
  } catch (const TRaised&) {
  }
  return 0;
}
