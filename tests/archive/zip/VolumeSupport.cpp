#include "archive/zip/VolumeSupport.h"

#include <cstdio>

#include "support/ChildProgram.h"
#include "support/FileSet.h"

namespace ruvevid::volume_test {

namespace {

std::string Words(std::size_t Count, std::uint32_t Seed) {
  static const char* const kWords[] = {"alpha", "beta",    "gamma", "delta", "label",
                                       "maker", "printer", "zeta",  "omega", "ruvevid"};
  std::string Out;
  std::uint32_t X = Seed;
  for (std::size_t i = 0; i < Count; ++i) {
    X = X * 1664525u + 1013904223u;
    Out += kWords[(X >> 16) % 10];
    Out += std::to_string((X >> 8) % 1000);
    Out += (i % 12 == 11) ? '\n' : ' ';
  }
  return Out;
}

bool StartsWithPath(const std::string& Path, const std::string& Root) {
  if (Path.compare(0, Root.size(), Root) != 0) return false;
  return Path.size() == Root.size() || Path[Root.size()] == '/';
}

}  // namespace

TSetContents WriteSetFiles(const fs::path& Folder, TSetLayout Layout) {
  TSetContents Set;
  if (Layout == TSetLayout::slCrossing) {
    Set.Files["a.bin"] = test::NoiseBytes(150000, 7);
    Set.Files["b.txt"] = Words(60000, 11);
    Set.Files["c.bin"] = test::NoiseBytes(1000, 13);
  } else {
    // Part 1: the 4-byte split marker, a.bin's 35-byte header (no extra fields with -X) and its
    // data, 10 bytes short of 64 KB, where b.bin's header does not fit.
    Set.Files["a.bin"] = test::NoiseBytes(65536 - 4 - 35 - 10, 17);
    Set.Files["b.bin"] = test::NoiseBytes(100000, 19);
    Set.Files["c.txt"] = Words(100, 23);
    Set.ZipOptions = "-X";
  }
  for (const auto& [Name, Bytes] : Set.Files) test::WriteBytes(Folder / Name, Bytes);
  return Set;
}

std::vector<fs::path> MakeSplitSet(const fs::path& Folder, const std::string& Name,
                                   const TSetContents& Contents) {
  std::string Command = "zip -q -s 64k -n .bin " + Contents.ZipOptions + " '" + Name + "'";
  for (const auto& File : Contents.Files) Command += " '" + File.first + "'";
  if (!test::RunShellIn(Folder, Command)) return {};
  std::vector<fs::path> Parts;
  const fs::path Last = Folder / Name;
  for (int k = 1;; ++k) {
    fs::path Part = Last;
    Part.replace_extension(k < 10 ? ".z0" + std::to_string(k) : ".z" + std::to_string(k));
    if (!fs::exists(Part)) break;
    Parts.push_back(Part);
  }
  Parts.push_back(Last);
  return Parts;
}

bool StartsWithLocalHeader(const fs::path& Part) {
  return test::ReadBytes(Part).compare(0, 4, "PK\x03\x04") == 0;
}

TFakeDrive& TFakeDrives::Add(const fs::path& Root) {
  fs::create_directories(Root);
  TFakeDrive Drive;
  Drive.Root = fs::weakly_canonical(Root);
  FDrives.push_back(Drive);
  return FDrives.back();
}

TFakeDrive* TFakeDrives::Find(const std::string& Path) {
  const std::string Absolute = fs::weakly_canonical(fs::absolute(Path)).string();
  for (TFakeDrive& Drive : FDrives) {
    if (StartsWithPath(Absolute, Drive.Root.string())) return &Drive;
  }
  return nullptr;
}

std::optional<TDriveFacts> TFakeDrives::QueryDrive(const std::string& Path) {
  TFakeDrive* Drive = Find(Path);
  if (Drive == nullptr) return std::nullopt;
  TDriveFacts Facts;
  Facts.Drive = Drive->Root.string();
  Facts.DriveType = Drive->Type;
  Facts.VolumeLabel = Drive->Label;
  return Facts;
}

std::string TFakeDrives::DriveOf(const std::string& Path) {
  TFakeDrive* Drive = Find(Path);
  return Drive != nullptr ? Drive->Root.string() : std::string("/");
}

std::optional<TDiskSpace> TFakeDrives::DiskSpace(const std::string& Drive) {
  TFakeDrive* Found = Find(Drive);
  if (Found == nullptr || !Found->Ready) return std::nullopt;
  return TDiskSpace{1440 * 1024 - 1000, 1440 * 1024};
}

TWriteProbe TFakeDrives::ProbeWrite(const std::string& Drive, const std::string& Prefix) {
  ++WriteProbes;
  LastProbePrefix = Prefix;
  TFakeDrive* Found = Find(Drive);
  return Found != nullptr && Found->WriteProtected ? TWriteProbe::wpWriteProtected
                                                   : TWriteProbe::wpWritable;
}

std::optional<TVolumeInformation> TFakeDrives::VolumeInformation(const std::string& Drive,
                                                                 std::string& ErrorText) {
  TFakeDrive* Found = Find(Drive);
  if (Found == nullptr) {
    ErrorText = "No such drive";
    return std::nullopt;
  }
  if (Found->VolumeInfoFailures > 0) {
    --Found->VolumeInfoFailures;
    ErrorText = "The device is not ready";
    return std::nullopt;
  }
  TVolumeInformation Volume;
  Volume.Label = Found->Label;
  Volume.SerialNumber = 0x1234ABCD;
  Volume.MaxComponentLength = 255;
  Volume.FileSystemName = "FAT";
  return Volume;
}

TDriveType TFakeDrives::DriveTypeOf(const std::string& Drive) {
  TFakeDrive* Found = Find(Drive);
  return Found != nullptr ? Found->Type : TDriveType::dtNoRootDir;
}

TDiskSwapper::TDiskSwapper(TFakeDrive& Drive, std::vector<fs::path> Parts, std::string ArchiveName)
    : FDrive(Drive), FParts(std::move(Parts)), FArchiveName(std::move(ArchiveName)) {}

void TDiskSwapper::Insert(int Disk) {
  FInserted = Disk;
  std::error_code Error;
  fs::remove(ArchivePath(), Error);
  if (Disk < 1 || Disk > Count()) {
    FDrive.Label.clear();
    return;
  }
  fs::copy_file(FParts[static_cast<std::size_t>(Disk - 1)], ArchivePath());
  char Label[32];
  std::snprintf(Label, sizeof Label, "PKBACK# %03d", Disk);
  FDrive.Label = Label;
}

TVolumeRun::TVolumeRun(const fs::path& Folder) {
  UnZip.ConfirmOverwrites = false;
  UnZip.OverwriteMode = TOverwriteMode::omOverwrite;
  UnZip.FileSpec = {"*.*"};
  UnZip.SetExtractDir(Folder.string());
  UnZip.OnError = [this](TZipCommon*, const std::string& FileName, const std::string& ExtendedMsg,
                         const std::string& VolumeID, int ECode) {
    Reports.push_back({FileName, ExtendedMsg, VolumeID, ECode});
  };
  UnZip.OnEnd = [this](TZipCommon*, const std::string& FileName, bool Pass) {
    Ends.emplace_back(fs::path(FileName).filename().string(), Pass);
  };
}

std::int32_t TVolumeRun::Run(const fs::path& Archive) {
  UnZip.SetArchiveFile(Archive.string());
  return UnZip.Activate();
}

std::vector<int> TVolumeRun::Codes() const {
  std::vector<int> Out;
  for (const TReport& Report : Reports) Out.push_back(Report.ECode);
  return Out;
}

int TVolumeRun::Passed() const {
  int Count = 0;
  for (const auto& End : Ends) Count += End.second ? 1 : 0;
  return Count;
}

}  // namespace ruvevid::volume_test
