#pragma once
// The output file of one entry, staged: the data goes to a temporary file beside the target, which
// replaces the target only when the entry has passed its CRC check. The object removes a
// temporary file that was not committed when it goes, on every path.

#include <cstdint>
#include <memory>
#include <string>

namespace ruvevid {

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
  bool Open(const std::string& FileName, const std::string& StoredName);

  // The stream the entry is written to (empty once closed).
  std::unique_ptr<TStream32>& Stream() { return FStream; }

  // Takes the file a worker decoded the entry into (closed, on the same file system) as the
  // output's contents in place of the empty file Open made, with that file's permissions. False,
  // with nothing changed, when that cannot be done.
  bool Adopt(const std::string& DecodedPath);

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
};

}  // namespace ruvevid
