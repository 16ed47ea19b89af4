#pragma once
// The zip reader of TUnZip: builds the directory of the entries that pass the FileSpec patterns,
// from the central directory or, when only local headers were found, from consecutive local
// headers, and then visits each listed entry: re-reads its local header, leaves the archive stream
// at the entry's data, describes the entry and hands it to the entry driver.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/zip/DataDescriptor.h"
#include "archive/zip/EntryDriver.h"
#include "archive/zip/EntryHeader.h"
#include "archive/zip/HeaderDirectory.h"

namespace ruvevid {

class TEntryWorkerPool;
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
  // The headers the listing walk read, whether FileSpec selected them or not.
  std::int32_t HeadersRead() const { return FHeadersRead; }

 private:
  // What the walks know of a listed entry besides its record (same index as the directory).
  struct TListed {
    TEntrySpan Span;
    std::optional<TDataDescriptor> Descriptor;
    bool SizeKnown = true;
  };
  // One local header as the local-header walk meets it.
  struct TLocalRecord {
    std::int64_t Offset = 0;
    TLocalHeader Header;
    std::string Raw;
    TExtraHighWords High;
    std::uint64_t PackedSize = 0;
    std::uint64_t UnpackedSize = 0;
    std::int64_t DataEnd = 0;
    std::int64_t Next = -1;  // the next header; -1 when where this entry ends cannot be told
    std::optional<TDataDescriptor> Descriptor;
  };
  // What a listed entry needs before it is extracted.
  enum class TEntryStep { esExtract, esSkip, esStop };

  // Reads the local header at P with its name and extra field (into the local header buffer) and
  // finds where its data ends; false when no local header stands there.
  bool ReadLocalRecord(TStream32& Stream, std::int64_t P, TLocalRecord& Record);
  // Every local header from the first one in the file, in order.
  std::vector<TLocalRecord> ListLocalHeaders(TStream32& Stream, std::int64_t Limit);
  // Refuses the listing when entries overlap; true when it was refused.
  bool RefuseOverlaps();
  // Adds a listed entry's date and sizes to the run's NewestEntryDate and totals.
  void CountEntry(std::int32_t DosDateTime, std::uint64_t PackedSize, std::uint64_t UnpackedSize,
                  std::uint16_t Flags);
  // What the walk knows of listed entry i before its local header is read.
  TEntryListing ListingOf(std::int32_t I, bool ListedFromCentral);
  // The workers that decode entries ahead of this thread; null when the run decodes on one thread.
  std::unique_ptr<TEntryWorkerPool> StartWorkers();
  // Hands the entries from Next on to the workers, as far as the window reaches from Current.
  void FillWindow(TEntryWorkerPool& Pool, std::int32_t Current, std::int32_t& Next,
                  bool ListedFromCentral);
  // Both extraction walks: every listed entry in order, decoded on this thread or ahead of it.
  void ExtractEntries(std::unique_ptr<TStream32>& Stream, bool ListedFromCentral);
  // Makes listed entry i the current one and brings up the volume that holds it: extract it, skip
  // it (it names a part past the last one of the set) or stop the walk (cancelled, no volume).
  TEntryStep BeginEntry(std::unique_ptr<TStream32>& Stream, std::int32_t I, bool ListedFromCentral);
  // Sets OutputName for the current entry and calls the entry driver.
  void VisitEntry(std::unique_ptr<TStream32>& Stream, const TZipDirEntry& Entry,
                  bool ComposeOutputName, bool ListedFromCentral, const TAheadEntry& Ahead);

  TUnZip& FArc;
  TZipVolumeHooks& FVolumes;
  TUnBaseHeaderObj FDirectory;
  std::vector<TListed> FListed;
  std::int32_t FHeadersRead = 0;
  bool FDeclined = false;          // OnCorruptZipHeader declined the local-header walk
  std::int64_t FArchiveSize = -1;  // the archive file's size; -1 when it was not opened by name
};

}  // namespace ruvevid
