#pragma once
// Streams of the archive layers held in memory: a growable one, and one whose writes fall short.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/base/Stream32.h"

namespace ruvevid::test {

// A growable in-memory stream.
class TMemoryStream32 : public TStream32 {
 public:
  TMemoryStream32() = default;
  explicit TMemoryStream32(std::vector<std::uint8_t> Data) : FData(std::move(Data)) {}

  const std::vector<std::uint8_t>& Data() const { return FData; }

  void SetSize(std::int64_t NewSize) override {
    FData.resize(static_cast<std::size_t>(NewSize));
    FPosition = std::min(FPosition, NewSize);
  }
  std::int32_t Read(void* Buffer, std::int32_t Count) override {
    const std::int64_t Left = static_cast<std::int64_t>(FData.size()) - FPosition;
    const auto N = static_cast<std::int32_t>(std::clamp<std::int64_t>(Left, 0, Count));
    if (N > 0) std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(N));
    FPosition += N;
    return N;
  }
  std::int32_t Write(const void* Buffer, std::int32_t Count) override {
    if (Count <= 0) return 0;
    const auto End = static_cast<std::size_t>(FPosition + Count);
    if (End > FData.size()) FData.resize(End);
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
    FPosition += Count;
    return Count;
  }
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
    std::int64_t Base = 0;
    if (Origin == TSeekOrigin::soCurrent) Base = FPosition;
    if (Origin == TSeekOrigin::soEnd) Base = static_cast<std::int64_t>(FData.size());
    FPosition = std::max<std::int64_t>(Base + Offset, 0);
    return FPosition;
  }

 private:
  std::vector<std::uint8_t> FData;
  std::int64_t FPosition = 0;
};

// A memory stream whose writes take at most Accept bytes each; the rest fails with Error
// (0: a short write with no error indication).
class TShortWriteStream32 : public TMemoryStream32 {
 public:
  TShortWriteStream32(std::int32_t Accept, int Error) : FAccept(Accept), FError(Error) {}
  std::int32_t Write(const void* Buffer, std::int32_t Count) override {
    const std::int32_t N = std::min(Count, FAccept);
    TMemoryStream32::Write(Buffer, N);
    FLastError = N < Count ? FError : 0;
    return N;
  }
  int LastWriteError() const override { return FLastError; }

 private:
  std::int32_t FAccept;
  int FError;
  int FLastError = 0;
};

}  // namespace ruvevid::test
