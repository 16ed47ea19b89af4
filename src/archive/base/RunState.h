#pragma once
// The state of one extraction run. It is reset at the start of every run (ResetRun) and keeps its
// last values after the run. The CRC accumulators and the cipher's key state live here, in the
// entry's decode state: one run, one set, no process-wide state.

#include <cstdint>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive/base/DosDateTime.h"
#include "archive/base/EntryDecodeState.h"
#include "archive/base/ZipRecords.h"

namespace ruvevid {

// Smaller stored entries are copied through the program's buffer: their bytes were mostly read
// into the archive stream's buffers with their local header, and the system's copy would cost
// more calls (a probe, a mapping) than the copies it saves.
inline constexpr std::int64_t kSystemCopyMinimum = 65536;
inline constexpr std::int64_t kNoSystemCopy = std::numeric_limits<std::int64_t>::max();

struct TRunState {
  // The password in use.
  std::string Password;
  // The password flow failed for an entry: every later encrypted entry of the run is skipped.
  bool PasswordFailed = false;
  // The entry being extracted is encrypted.
  bool EntryEncrypted = false;
  // Entries accepted in this run, less those whose output could not be created or written or whose
  // password failed. Activate's result.
  std::int32_t ExtractedCount = 0;
  // Full output path of the entry being extracted, and its name as stored (after translation).
  std::string OutputName;
  std::string EntryName;
  // 0: output goes to files (the only mode Activate uses).
  std::uint8_t OutputMode = 0;
  // Sums and maximum over the selected entries, filled by the directory walks.
  std::int64_t TotalPackedSize = 0;
  std::int64_t TotalUnpackedSize = 0;
  std::int32_t NewestEntryDate = 0;
  // Countdown of the bytes not yet processed in this run; every block processed subtracts its size.
  std::int64_t BytesRemaining = 0;
  // The last percentages reported.
  std::uint8_t ProgressByFile = 0;
  std::uint8_t ProgressByArchive = 0;
  // The volume in use.
  std::string CurrentVolumeName;
  // Masks that deselect names FileSpec selected; emptied at the start of every run.
  std::vector<std::string> ExcludeList;

  // The directory entry the walks made current (the scratch record at the start of a run).
  TZipDirEntry ScratchEntry;
  TZipDirEntry* CurrentEntry = &ScratchEntry;

  // The decoding of the entry being extracted.
  TEntryDecodeState Decode;
  // Stored entries of at least this many bytes are copied by the system where it can (see
  // CopyStored); kNoSystemCopy: none. Kept from run to run (ResetRun leaves it): the tests lower
  // it, or turn the system's copy off to compare the two copies.
  std::int64_t SystemCopyMinimum = kSystemCopyMinimum;
  // The stored bytes the system copied in this run.
  std::int64_t SystemCopiedBytes = 0;

  // Folders this run made or found, and folders it found no symbolic link on the way to: each is
  // examined once a run, not once an entry.
  std::unordered_set<std::string> KnownFolders;
  std::unordered_set<std::string> LinkFreeFolders;
  // The entries' dates, converted to points in time.
  TDosTimeConverter DosTimes;

  TRunState() = default;
  // CurrentEntry may point into the object itself.
  TRunState(const TRunState&) = delete;
  TRunState& operator=(const TRunState&) = delete;
};

}  // namespace ruvevid
