#pragma once
// Helpers for the zip format, detection and output-file tests: a builder of zip archives in memory
// (with the variants no available tool writes: enciphered headers, the wide end record, the
// size-extension extra field) and the shared fixture archives.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ruvevid::zipfmt_test {

using TBytes = std::vector<std::uint8_t>;

struct TSpecEntry {
  std::string Name;
  std::string Data;  // stored (method 0)
  std::string LocalExtra;
  std::string CentralExtra;
  std::uint16_t Flags = 0;
  std::uint32_t ExternalAttr = 0;
  std::uint32_t DosDateTime = 0x5A212C00;  // 2025-01-01 05:32:00
};

enum class TEndKind { ekPlain, ekEnciphered, ekWide, ekWideEnciphered };

struct TZipSpec {
  std::vector<TSpecEntry> Entries;
  std::string Prefix;         // bytes in front of the archive (a self-extractor stub)
  bool AdjustOffsets = true;  // offsets count the prefix
  std::string Comment;
  char Marker = 'K';  // local and central header marker: 'K', 'L', 'M' or 'N'
  TEndKind End = TEndKind::ekPlain;
  bool Zip64Records = false;  // a zip64 end record and locator in front of the end record
};

// The archive's bytes; Offsets (when given) receives each local header's offset in the file.
TBytes BuildZip(const TZipSpec& Spec, std::vector<std::uint64_t>* Offsets = nullptr);

// Where the central directory of the archive Spec makes starts in the file, as its end record
// tells it: the offset recorded there, plus the prefix when the offsets do not count it.
std::int64_t DirectoryOffset(const TZipSpec& Spec);

TBytes ToBytes(const std::string& Text);

// A fixture archive from the shared fixtures folder, empty when the folder is absent.
std::filesystem::path Fixture(const std::string& Name);

}  // namespace ruvevid::zipfmt_test
