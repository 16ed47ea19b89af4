#pragma once
// Just enough of the zip format to take the legacy-method entries out of the shared fixture
// archives (central directory, then each entry's local header), and the fixtures' manifest with
// the expected size, CRC-32 and SHA-256 of every entry.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ruvevid::test {

struct TFixtureEntry {
  std::string Name;
  std::uint16_t Flags = 0;
  std::uint16_t Method = 0;
  std::uint32_t Crc32 = 0;
  std::uint64_t UnpackedSize = 0;
  std::vector<std::uint8_t> Compressed;  // the entry's data as stored (PackedSize bytes)
};

// The entries in central-directory order; throws std::runtime_error on a malformed archive.
std::vector<TFixtureEntry> ReadFixtureArchive(const std::filesystem::path& Path);

struct TManifestEntry {
  std::string Name;
  int Method = -1;
  std::uint64_t Size = 0;
  std::uint32_t Crc32 = 0;
  std::string Sha256;  // lower-case hex; empty when the manifest has none
};

// Archive file name -> its entries, read from the fixtures' manifest.json.
std::map<std::string, std::vector<TManifestEntry>> ReadManifest(const std::filesystem::path& Path);

// SHA-256 in lower-case hex.
std::string Sha256Hex(const std::vector<std::uint8_t>& Data);

}  // namespace ruvevid::test
