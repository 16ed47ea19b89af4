#pragma once
// What the fuzz targets share: an in-memory stream over the input, a drive layer that sees one
// fixed disk (no mount table is read per input), and the replay main's seed reading.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/base/Stream32.h"
#include "platform/DriveLayer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

namespace ruvevid::fuzz {

// A read-only stream over bytes that outlive it.
class TInputStream final : public TStream32 {
 public:
  TInputStream(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}
  std::int64_t GetSize() override { return static_cast<std::int64_t>(FSize); }
  void SetSize(std::int64_t) override {}
  std::int32_t Read(void* Buffer, std::int32_t Count) override {
    const std::int64_t Left = static_cast<std::int64_t>(FSize) - FPosition;
    const auto N = static_cast<std::int32_t>(std::clamp<std::int64_t>(Left, 0, Count));
    if (N > 0) std::memcpy(Buffer, FData + FPosition, static_cast<std::size_t>(N));
    FPosition += N;
    return N;
  }
  std::int32_t Write(const void*, std::int32_t) override { return 0; }
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
    std::int64_t Base = 0;
    if (Origin == TSeekOrigin::soCurrent) Base = FPosition;
    if (Origin == TSeekOrigin::soEnd) Base = static_cast<std::int64_t>(FSize);
    FPosition = std::max<std::int64_t>(Base + Offset, 0);
    return FPosition;
  }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::int64_t FPosition = 0;
};

// Every path is on one fixed, ready, writable disk.
class TFixedDiskLayer final : public IDriveLayer {
 public:
  std::optional<TDriveFacts> QueryDrive(const std::string&) override {
    TDriveFacts Facts;
    Facts.Drive = "/";
    Facts.DriveType = TDriveType::dtFixed;
    return Facts;
  }
  std::string DriveOf(const std::string&) override { return "/"; }
  std::optional<TDiskSpace> DiskSpace(const std::string&) override { return TDiskSpace{1, 1}; }
  TWriteProbe ProbeWrite(const std::string&, const std::string&) override {
    return TWriteProbe::wpWritable;
  }
  std::optional<TVolumeInformation> VolumeInformation(const std::string&, std::string&) override {
    return TVolumeInformation{};
  }
  TDriveType DriveTypeOf(const std::string&) override { return TDriveType::dtFixed; }
};

// The compressed data of every entry of a zip file whose method is one of Methods, each prefixed by
// a byte that tells the decoder target the method and its flags (see the targets). Used by the
// replay main to seed the decoder targets with real streams from archives.
std::vector<std::vector<std::uint8_t>> EntryStreams(const std::filesystem::path& Zip,
                                                    const std::vector<int>& Methods);

}  // namespace ruvevid::fuzz
