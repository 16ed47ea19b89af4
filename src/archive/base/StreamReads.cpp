#include "archive/base/StreamReads.h"

#include "archive/base/Stream32.h"

namespace ruvevid {

std::int32_t ReadSome(TStream32& Stream, void* Buffer, std::int32_t Count) {
  auto* Bytes = static_cast<std::uint8_t*>(Buffer);
  std::int32_t Total = 0;
  while (Total < Count) {
    const std::int32_t Got = Stream.Read(Bytes + Total, Count - Total);
    if (Got <= 0) break;
    Total += Got;
  }
  return Total;
}

std::int32_t ReadAt(TStream32& Stream, std::int64_t Offset, void* Buffer, std::int32_t Count) {
  if (Offset < 0 || Count <= 0) return 0;
  if (Stream.Seek(Offset, TSeekOrigin::soBeginning) != Offset) return 0;
  return ReadSome(Stream, Buffer, Count);
}

}  // namespace ruvevid
