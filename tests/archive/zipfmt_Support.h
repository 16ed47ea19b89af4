#pragma once
// Helpers for the zip format, detection and output-file tests: a builder of zip archives in memory
// (with the variants no available tool writes: enciphered headers, the wide end record, the
// size-extension extra field), file helpers and a runner for the real zip tools.

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

TBytes ReadFileBytes(const std::filesystem::path& Path);
void WriteFileBytes(const std::filesystem::path& Path, const TBytes& Bytes);
void WriteTextFile(const std::filesystem::path& Path, const std::string& Text);
TBytes ToBytes(const std::string& Text);

// Runs a shell command in Folder, output discarded; true when it exited with 0.
bool RunShellIn(const std::filesystem::path& Folder, const std::string& Command);
// True when the program is on the PATH.
bool HaveProgram(const std::string& Name);

// A fixture archive from the shared fixtures folder, empty when the folder is absent.
std::filesystem::path Fixture(const std::string& Name);

}  // namespace ruvevid::zipfmt_test
