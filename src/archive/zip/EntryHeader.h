#pragma once
// What the walks know of a listed entry before its local header is read, and the reading of that
// header. The same reading serves the caller's walk and a worker that decodes the entry ahead.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/base/ZipRecords.h"
#include "archive/zip/DataDescriptor.h"

namespace ruvevid {

class TStream32;
class TUnZip;

struct TEntryListing {
  TZipDirEntry Entry;
  // The central header's fixed part (central walk); empty for the local-header walk.
  std::vector<std::uint8_t> Central;
  bool ListedFromCentral = true;
  // Local-header walk: the data descriptor found for the entry, and whether its sizes are known.
  std::optional<TDataDescriptor> Descriptor;
  bool SizeKnown = true;
  // An encrypted entry is decoded ahead with the first of these that its check byte accepts (the
  // caller's current password, then its list, in the order the caller tries them).
  std::vector<std::string> Passwords;
};

// Reads the local header at the entry's offset with its name and extra field into Arc's zip state,
// puts the central header (central walk) beside it and describes the entry in
// Arc.Run().Decode (EntryInfo, EntrySizeKnown). The stream then stands at the entry's data.
// Returns the entry's translated name.
std::string ReadEntryHeader(TUnZip& Arc, TStream32& Stream, const TEntryListing& Listing);

}  // namespace ruvevid
