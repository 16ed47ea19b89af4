#pragma once
// Helpers for the split and spanned set tests: sets made by Info-ZIP `zip -s` in a scratch folder,
// a drive layer that simulates a removable drive whose disks ("PKBACK# 001", ...) are swapped by
// the tests, and an extraction whose reports and events are recorded.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/zip/UnZip.h"
#include "platform/DriveLayer.h"

namespace ruvevid::volume_test {

namespace fs = std::filesystem;

enum class TSetLayout {
  // A stored file and a deflated one that both cross part boundaries, and a small stored file at
  // the end.
  slCrossing,
  // A stored file that ends with part 1, so that the next entry's header starts part 2, a stored
  // file that crosses into part 3 and a small deflated file after it.
  slHeaderStartsPart,
};

// The files of a test set, in the order they are zipped.
struct TSetContents {
  std::map<std::string, std::string> Files;  // name -> bytes
  std::string ZipOptions;
};
TSetContents WriteSetFiles(const fs::path& Folder, TSetLayout Layout = TSetLayout::slCrossing);

// Runs `zip -s 64k -n .bin Name FILES...` in Folder; returns the parts in order (Name's .z01,
// .z02, ..., then Name itself), empty on failure.
std::vector<fs::path> MakeSplitSet(const fs::path& Folder, const std::string& Name,
                                   const TSetContents& Contents);
// Whether the file begins with a local header signature.
bool StartsWithLocalHeader(const fs::path& Part);

// One drive: a folder standing for its root.
struct TFakeDrive {
  fs::path Root;
  TDriveType Type = TDriveType::dtRemovable;
  std::string Label;
  bool Ready = true;
  bool WriteProtected = false;
  int VolumeInfoFailures = 0;  // reads of the volume information that fail before one succeeds
};

class TFakeDrives final : public IDriveLayer {
 public:
  TFakeDrive& Add(const fs::path& Root);

  std::optional<TDriveFacts> QueryDrive(const std::string& Path) override;
  std::string DriveOf(const std::string& Path) override;
  std::optional<TDiskSpace> DiskSpace(const std::string& Drive) override;
  TWriteProbe ProbeWrite(const std::string& Drive, const std::string& Prefix) override;
  std::optional<TVolumeInformation> VolumeInformation(const std::string& Drive,
                                                      std::string& ErrorText) override;
  TDriveType DriveTypeOf(const std::string& Drive) override;

  int WriteProbes = 0;
  std::string LastProbePrefix;

 private:
  TFakeDrive* Find(const std::string& Path);
  std::vector<TFakeDrive> FDrives;
};

// A removable drive holding one disk of a spanned set at a time: disk n (1-based) is part n - 1
// of a split set copied to Root / ArchiveName and labelled "PKBACK# 00n".
class TDiskSwapper {
 public:
  TDiskSwapper(TFakeDrive& Drive, std::vector<fs::path> Parts, std::string ArchiveName);
  void Insert(int Disk);  // 0: an empty drive
  int Inserted() const { return FInserted; }
  int Count() const { return static_cast<int>(FParts.size()); }
  fs::path ArchivePath() const { return FDrive.Root / FArchiveName; }

 private:
  TFakeDrive& FDrive;
  std::vector<fs::path> FParts;
  std::string FArchiveName;
  int FInserted = 0;
};

// TUnZip with the updater's settings extracting into Folder; reports and end verdicts recorded.
class TVolumeRun {
 public:
  TVolumeRun(const fs::path& Folder);
  std::int32_t Run(const fs::path& Archive);

  TUnZip UnZip;
  struct TReport {
    std::string FileName, ExtendedMsg, VolumeID;
    int ECode;
  };
  std::vector<TReport> Reports;
  std::vector<std::pair<std::string, bool>> Ends;
  std::vector<std::string> Events;  // "last", "first", "next N", "volume ID NAME"

  std::vector<int> Codes() const;
  int Passed() const;
};

}  // namespace ruvevid::volume_test
