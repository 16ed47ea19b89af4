#include "archive/base/Stream32.h"

#include <algorithm>
#include <vector>

#include "platform/Application.h"

namespace ruvevid {

std::int64_t TStream32::GetSize() {
  const std::int64_t Pos = Seek(0, TSeekOrigin::soCurrent);
  const std::int64_t End = Seek(0, TSeekOrigin::soEnd);
  Seek(Pos, TSeekOrigin::soBeginning);
  return End;
}

void TStream32::ReadBuffer(void* Buffer, std::int32_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError();
}

void TStream32::WriteBuffer(const void* Buffer, std::int32_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError();
}

std::int64_t TStream32::CopyFrom(TStream32& Source, std::int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  const std::int64_t Result = Count;
  std::vector<std::uint8_t> Buffer(static_cast<std::size_t>(
      std::min<std::int64_t>(std::max<std::int64_t>(Count, 1), kCopyBlockSize)));
  while (Count > 0) {
    if (FApplication != nullptr) FApplication->ProcessMessages();
    if (Cancelled()) break;
    const auto N = static_cast<std::int32_t>(std::min<std::int64_t>(Count, kCopyBlockSize));
    Source.ReadBuffer(Buffer.data(), N);
    WriteBuffer(Buffer.data(), N);
    Count -= N;
  }
  return Result;
}

}  // namespace ruvevid
