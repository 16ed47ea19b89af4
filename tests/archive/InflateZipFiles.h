#pragma once
// A minimal reader of zip central directories for the inflate tests: finds each entry's method,
// sizes, CRC-32 and raw compressed bytes. Not the engine's reader; just enough to get at streams
// made by other tools.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "InflateTestSupport.h"

namespace ruvevid::test {

struct TZipFileEntry {
  std::string Name;
  unsigned Method = 0;
  unsigned Flags = 0;
  std::uint32_t Crc = 0;
  std::uint32_t PackedSize = 0;
  std::uint32_t Size = 0;
  std::uint64_t LocalOffset = 0;
  std::uint64_t DataOffset = 0;
};

inline TBytes ReadWholeFile(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline std::uint32_t Le16(const TBytes& Data, std::size_t At) {
  return static_cast<std::uint32_t>(Data.at(At) | (Data.at(At + 1) << 8));
}
inline std::uint32_t Le32(const TBytes& Data, std::size_t At) {
  return Le16(Data, At) | (Le16(Data, At + 2) << 16);
}

// The entries of a single-volume zip file; empty when no end record is found.
inline std::vector<TZipFileEntry> ListZipEntries(const TBytes& Zip) {
  std::vector<TZipFileEntry> Entries;
  if (Zip.size() < 22) return Entries;
  std::size_t End = Zip.size() - 22;
  while (Le32(Zip, End) != 0x06054B50) {
    if (End == 0) return Entries;
    --End;
  }
  const std::size_t Count = Le16(Zip, End + 10);
  std::size_t At = Le32(Zip, End + 16);
  for (std::size_t I = 0; I < Count && Le32(Zip, At) == 0x02014B50; ++I) {
    TZipFileEntry Entry;
    Entry.Flags = Le16(Zip, At + 8);
    Entry.Method = Le16(Zip, At + 10);
    Entry.Crc = Le32(Zip, At + 16);
    Entry.PackedSize = Le32(Zip, At + 20);
    Entry.Size = Le32(Zip, At + 24);
    const std::size_t NameLength = Le16(Zip, At + 28);
    const std::size_t ExtraLength = Le16(Zip, At + 30);
    const std::size_t CommentLength = Le16(Zip, At + 32);
    const std::size_t Local = Le32(Zip, At + 42);
    Entry.Name.assign(Zip.begin() + static_cast<std::ptrdiff_t>(At + 46),
                      Zip.begin() + static_cast<std::ptrdiff_t>(At + 46 + NameLength));
    Entry.LocalOffset = Local;
    Entry.DataOffset = Local + 30 + Le16(Zip, Local + 26) + Le16(Zip, Local + 28);
    Entries.push_back(Entry);
    At += 46 + NameLength + ExtraLength + CommentLength;
  }
  return Entries;
}

inline TBytes EntryData(const TBytes& Zip, const TZipFileEntry& Entry) {
  return TBytes(Zip.begin() + static_cast<std::ptrdiff_t>(Entry.DataOffset),
                Zip.begin() + static_cast<std::ptrdiff_t>(Entry.DataOffset + Entry.PackedSize));
}

inline std::uint32_t Crc32Of(const TBytes& Data) {
  return static_cast<std::uint32_t>(
      crc32(crc32(0, nullptr, 0), Data.data(), static_cast<uInt>(Data.size())));
}

}  // namespace ruvevid::test
