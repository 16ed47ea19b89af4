// The inflate decoder (deflate, or deflate64 when built with RUVEVID_FUZZ_DEFLATE64) on raw data.
// The first byte chooses how the input is handed over: all at once, or in chunks of a few bytes,
// so that every mode is also left and resumed in the middle.

#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "archive/codec/Inflate.h"

#ifdef RUVEVID_FUZZ_DEFLATE64
constexpr ruvevid::TInflateVariant kVariant = ruvevid::TInflateVariant::ivDeflate64;
#else
constexpr ruvevid::TInflateVariant kVariant = ruvevid::TInflateVariant::ivDeflate;
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  using namespace ruvevid;
  if (Size < 1) return 0;
  // 0 hands everything over at once; n > 0 hands over n * 7 bytes at a time.
  const std::size_t Chunk = Data[0] == 0 ? Size : Data[0] * std::size_t{7};
  ++Data;
  --Size;
  TInflateRecord Record;
  if (DecoderInit(Record, kVariant, -15) != kInflateOk) return 0;
  std::vector<std::uint8_t> Out(32768);
  std::size_t Given = 0;
  // A bomb is cut off: what matters is how the decoder gets there.
  for (std::uint64_t Limit = 64u << 20; Record.TotalOut < Limit;) {
    if (Record.AvailIn == 0 && Given < Size) {
      Record.NextIn = Data + Given;
      Record.AvailIn = static_cast<std::uint32_t>(std::min(Chunk, Size - Given));
      Given += Record.AvailIn;
    }
    Record.NextOut = Out.data();
    Record.AvailOut = static_cast<std::uint32_t>(Out.size());
    const int Result = DecoderRun(Record);
    if (Result != kInflateOk) break;
  }
  DecoderFree(Record);
  return 0;
}
