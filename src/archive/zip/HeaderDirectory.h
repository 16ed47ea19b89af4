#pragma once
// The directory object of one extraction: the entries a directory walk listed, in the order found,
// each with an optional data item (in central mode a copy of the entry's 46-byte central header,
// so data item i belongs to entry i).

#include <cstdint>
#include <vector>

#include "archive/base/ZipRecords.h"

namespace ruvevid {

class THeaderObj {
 public:
  THeaderObj() = default;
  virtual ~THeaderObj() = default;
  THeaderObj(const THeaderObj&) = delete;
  THeaderObj& operator=(const THeaderObj&) = delete;

  // Sets the record size and empties the object.
  void Init();
  // Appends a copy of Entry and, when Data is given and Length is not 0, a copy of Length bytes of
  // Data. When the copies cannot be made nothing is appended, and std::bad_alloc ends the run.
  void Add(const TZipDirEntry& Entry, const void* Data, std::size_t Length);
  // The entry record at Index (0 <= Index < Count()).
  TZipDirEntry& GetEntry(std::int32_t Index);
  // The data item at Index; null when there is none.
  const std::vector<std::uint8_t>* GetData(std::int32_t Index) const;
  // Frees every record and data item.
  void Clear();
  // Clear, and the object is done with.
  void Done();

  std::int32_t Count() const { return FCount; }
  std::uint8_t RecordSize() const { return FRecordSize; }

 private:
  std::uint8_t FRecordSize = 0;
  std::int32_t FCount = 0;
  std::vector<std::vector<std::uint8_t>> FData;
  std::vector<TZipDirEntry> FEntries;
};

class TUnBaseHeaderObj : public THeaderObj {};

// The packed size of one entry record: ExternalAttr (4), DiskNumber (2), HeaderOffset (8).
inline constexpr std::uint8_t kZipDirEntryPackedSize = 14;

}  // namespace ruvevid
