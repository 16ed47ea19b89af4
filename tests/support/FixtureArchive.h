#pragma once
// The entries of the shared fixture archives with their stored data, and the fixtures' manifest
// with the expected size, CRC-32 and SHA-256 of every entry.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/ZipListing.h"

namespace ruvevid::test {

struct TFixtureEntry : TZipListEntry {
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
