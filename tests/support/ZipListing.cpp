#include "support/ZipListing.h"

#include <stdexcept>

namespace ruvevid::test {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;

std::string_view View(const std::vector<std::uint8_t>& Bytes) {
  return {reinterpret_cast<const char*>(Bytes.data()), Bytes.size()};
}

std::uint32_t Le(std::string_view Zip, std::uint64_t Offset, int Width) {
  if (Offset + static_cast<std::uint64_t>(Width) > Zip.size()) {
    throw std::runtime_error("zip record beyond the end of the archive");
  }
  std::uint32_t Value = 0;
  for (int I = Width - 1; I >= 0; --I) {
    Value = (Value << 8) | static_cast<std::uint8_t>(Zip[Offset + static_cast<std::uint64_t>(I)]);
  }
  return Value;
}

std::string NameAt(std::string_view Zip, std::uint64_t Offset, std::uint32_t Length) {
  if (Offset + Length > Zip.size()) throw std::runtime_error("name beyond the end");
  return std::string(Zip.substr(Offset, Length));
}

}  // namespace

std::vector<TZipListEntry> ListZipEntries(std::string_view Zip) {
  if (Zip.size() < 22) throw std::runtime_error("too short for a zip archive");
  std::uint64_t End = Zip.size() - 22;
  while (Le(Zip, End, 4) != kEndSignature) {
    if (End == 0) throw std::runtime_error("no end record");
    --End;
  }
  const std::uint32_t Count = Le(Zip, End + 10, 2);
  std::uint64_t Central = Le(Zip, End + 16, 4);
  std::vector<TZipListEntry> Entries;
  for (std::uint32_t I = 0; I < Count; ++I) {
    if (Le(Zip, Central, 4) != kCentralSignature) throw std::runtime_error("bad central header");
    TZipListEntry Entry;
    Entry.Flags = static_cast<std::uint16_t>(Le(Zip, Central + 8, 2));
    Entry.Method = static_cast<std::uint16_t>(Le(Zip, Central + 10, 2));
    Entry.DosDateTime = Le(Zip, Central + 12, 4);
    Entry.Crc32 = Le(Zip, Central + 16, 4);
    Entry.PackedSize = Le(Zip, Central + 20, 4);
    Entry.UnpackedSize = Le(Zip, Central + 24, 4);
    const std::uint32_t NameLength = Le(Zip, Central + 28, 2);
    const std::uint32_t ExtraLength = Le(Zip, Central + 30, 2);
    const std::uint32_t CommentLength = Le(Zip, Central + 32, 2);
    Entry.LocalOffset = Le(Zip, Central + 42, 4);
    Entry.Name = NameAt(Zip, Central + 46, NameLength);
    Entry.DataOffset = ReadLocalHeader(Zip, Entry.LocalOffset).DataOffset;
    if (Entry.DataOffset + Entry.PackedSize > Zip.size()) {
      throw std::runtime_error("entry data beyond the end");
    }
    Entries.push_back(std::move(Entry));
    Central += 46 + NameLength + ExtraLength + CommentLength;
  }
  return Entries;
}

std::vector<TZipListEntry> ListZipEntries(const std::vector<std::uint8_t>& Zip) {
  return ListZipEntries(View(Zip));
}

TZipListEntry ReadLocalHeader(std::string_view Zip, std::uint64_t Offset) {
  if (Le(Zip, Offset, 4) != kLocalSignature) throw std::runtime_error("bad local header");
  TZipListEntry Entry;
  Entry.Flags = static_cast<std::uint16_t>(Le(Zip, Offset + 6, 2));
  Entry.Method = static_cast<std::uint16_t>(Le(Zip, Offset + 8, 2));
  Entry.DosDateTime = Le(Zip, Offset + 10, 4);
  Entry.Crc32 = Le(Zip, Offset + 14, 4);
  Entry.PackedSize = Le(Zip, Offset + 18, 4);
  Entry.UnpackedSize = Le(Zip, Offset + 22, 4);
  const std::uint32_t NameLength = Le(Zip, Offset + 26, 2);
  const std::uint32_t ExtraLength = Le(Zip, Offset + 28, 2);
  Entry.Name = NameAt(Zip, Offset + 30, NameLength);
  Entry.LocalOffset = Offset;
  Entry.DataOffset = Offset + 30 + NameLength + ExtraLength;
  return Entry;
}

TZipListEntry ReadLocalHeader(const std::vector<std::uint8_t>& Zip, std::uint64_t Offset) {
  return ReadLocalHeader(View(Zip), Offset);
}

std::vector<std::uint8_t> EntryData(std::string_view Zip, const TZipListEntry& Entry) {
  if (Entry.DataOffset + Entry.PackedSize > Zip.size()) {
    throw std::runtime_error("entry data beyond the end");
  }
  const std::string_view Data = Zip.substr(Entry.DataOffset, Entry.PackedSize);
  return std::vector<std::uint8_t>(Data.begin(), Data.end());
}

std::vector<std::uint8_t> EntryData(const std::vector<std::uint8_t>& Zip,
                                    const TZipListEntry& Entry) {
  return EntryData(View(Zip), Entry);
}

}  // namespace ruvevid::test
