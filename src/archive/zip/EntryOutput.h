#pragma once
// The output file of one entry, staged: the data goes to a temporary file beside the target, which
// replaces the target only when the entry has passed its CRC check. The object removes a
// temporary file that was not committed when it goes, on every path.

#include <cstdint>
#include <memory>
#include <string>

namespace ruvevid {

struct TEntryRecord;
class TStream32;
class TUnZip;

class TStagedEntryOutput {
 public:
  explicit TStagedEntryOutput(TUnZip& Arc) : FArc(Arc) {}
  ~TStagedEntryOutput();
  TStagedEntryOutput(const TStagedEntryOutput&) = delete;
  TStagedEntryOutput& operator=(const TStagedEntryOutput&) = delete;

  // Opens the output for FileName, the output name of the stored name StoredName: a refused name,
  // a directory standing at FileName and an existing read-only file are not opened; missing
  // folders are created. With the component's
  // StagingDir set, the file is made at its place below the staging folder instead.
  //
  // Decoded, when given, is a worker's decoded file for the entry: it becomes the output's
  // contents in place of a new empty file, with the permissions that file would have had, when it
  // can take the target's place by a rename (Adopted() then says so, and the record keeps neither
  // its handle nor its path). Otherwise a new file is made as without it.
  bool Open(const std::string& FileName, const std::string& StoredName,
            TEntryRecord* Decoded = nullptr);
  bool Adopted() const { return FAdopted; }

  // The stream the entry is written to (empty once closed).
  std::unique_ptr<TStream32>& Stream() { return FStream; }

  // Dates the file (by the component's DateAttribute), closes it and applies the entry's
  // attributes. A failed close is reported (25138) and makes the output unusable: false.
  bool Close(std::uint32_t DosDateTime, std::uint32_t Attr);

  // Puts the closed file in the target's place; false (nothing replaced) when that fails.
  bool Commit();
  // Removes the temporary file.
  void Discard();

 private:
  TUnZip& FArc;
  std::unique_ptr<TStream32> FStream;
  std::string FTarget;
  std::string FStagingPath;
  bool FUsable = false;
  bool FAdopted = false;
};

}  // namespace ruvevid
