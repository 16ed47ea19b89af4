#pragma once
// Just enough of the zip format to look into archives that other tools made: the entries of the
// central directory and the local header of each. Not the engine's reader, so that a test does not
// check the engine against itself; single-volume archives without zip64 records only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruvevid::test {

// One entry's fields, as a central header or a local header records them.
struct TZipListEntry {
  std::string Name;
  std::uint16_t Flags = 0;
  std::uint16_t Method = 0;
  std::uint32_t DosDateTime = 0;
  std::uint32_t Crc32 = 0;
  std::uint32_t PackedSize = 0;
  std::uint32_t UnpackedSize = 0;
  std::uint64_t LocalOffset = 0;  // of its local header
  std::uint64_t DataOffset = 0;   // of its data (an encrypted entry's encryption header first)
};

// The entries in central-directory order, found through the end record nearest the end of Zip;
// throws std::runtime_error when the archive does not read that way.
std::vector<TZipListEntry> ListZipEntries(std::string_view Zip);
std::vector<TZipListEntry> ListZipEntries(const std::vector<std::uint8_t>& Zip);

// The fields of the local header at Offset (LocalOffset and DataOffset included); throws
// std::runtime_error when there is none.
TZipListEntry ReadLocalHeader(std::string_view Zip, std::uint64_t Offset);
TZipListEntry ReadLocalHeader(const std::vector<std::uint8_t>& Zip, std::uint64_t Offset);

// The entry's data as stored: PackedSize bytes from DataOffset.
std::vector<std::uint8_t> EntryData(std::string_view Zip, const TZipListEntry& Entry);
std::vector<std::uint8_t> EntryData(const std::vector<std::uint8_t>& Zip,
                                    const TZipListEntry& Entry);

}  // namespace ruvevid::test
