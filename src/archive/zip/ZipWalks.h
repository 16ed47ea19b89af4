#pragma once
// The zip reader of TUnZip: builds the directory of the entries that pass the FileSpec patterns,
// from the central directory or, when only local headers were found, from consecutive local
// headers, and then visits each listed entry: re-reads its local header, leaves the archive stream
// at the entry's data, describes the entry and hands it to the entry driver.

#include <cstdint>
#include <memory>
#include <string>

#include "archive/zip/HeaderDirectory.h"

namespace ruvevid {

class TStream32;
class TUnZip;
class TZipVolumeHooks;

// TUnZip's ProcessArchive: one extraction of the open archive. Nothing raised inside leaves it.
// The first form reads single-volume archives only.
void ExtractZip(TUnZip& Arc, std::unique_ptr<TStream32>& Input);
void ExtractZip(TUnZip& Arc, std::unique_ptr<TStream32>& Input, TZipVolumeHooks& Volumes);

class TZipWalker {
 public:
  TZipWalker(TUnZip& Arc, TZipVolumeHooks& Volumes);
  TZipWalker(const TZipWalker&) = delete;
  TZipWalker& operator=(const TZipWalker&) = delete;

  // The whole job: chooses the walk by the header state, lists, extracts; drops every exception.
  void ExtractZip(std::unique_ptr<TStream32>& Input);

  // List-building walks; both return the directory's entry count. The stream is passed by
  // reference because a volume change may replace it.
  std::int32_t ReadCentralDirectory(std::unique_ptr<TStream32>& Stream);
  std::int32_t ReadLocalHeaders(std::unique_ptr<TStream32>& Stream);

  // Extraction walks over the listed entries.
  void ExtractCentralEntries(std::unique_ptr<TStream32>& Stream);
  void ExtractLocalEntries(std::unique_ptr<TStream32>& Stream);

  TUnBaseHeaderObj& Directory() { return FDirectory; }

 private:
  // Adds a listed entry's date and sizes to the run's NewestEntryDate and totals.
  void CountEntry(std::int32_t DosDateTime, std::uint64_t PackedSize, std::uint64_t UnpackedSize,
                  std::uint16_t Flags);
  // Reads the local header at Entry's offset with its name and extra field; the stream then stands
  // at the entry's data. Returns the entry's translated name.
  std::string ReadLocalEntryHeader(TStream32& Stream, const TZipDirEntry& Entry);
  // Makes listed entry i the current one and brings up the volume that holds it. False: the
  // extraction walk stops (cancelled, or no volume).
  bool BeginEntry(std::unique_ptr<TStream32>& Stream, std::int32_t i, bool ListedFromCentral);
  // Sets OutputName for the current entry and calls the entry driver.
  void VisitEntry(std::unique_ptr<TStream32>& Stream, const TZipDirEntry& Entry,
                  bool ComposeOutputName, bool ListedFromCentral);

  TUnZip& FArc;
  TZipVolumeHooks& FVolumes;
  TUnBaseHeaderObj FDirectory;
};

}  // namespace ruvevid
