// The zip reader on a whole archive: type detection with the end-record search, the directory
// walks (central and local-header, with their recoveries and refusals), the entry driver and every
// decoder behind it. Each input is written to a scratch file and extracted with the updater's
// settings; every entry goes to one scratch output, so nothing grows from input to input.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "FuzzSupport.h"
#include "archive/zip/UnZip.h"

namespace {

namespace fs = std::filesystem;

// A scratch folder for this process, removed when it ends.
class TScratch {
 public:
  TScratch() : FFolder(fs::temp_directory_path() / ("ruvevid-fuzz-" + std::to_string(::getpid()))) {
    fs::create_directories(FFolder / "out");
  }
  ~TScratch() {
    std::error_code Ignored;
    fs::remove_all(FFolder, Ignored);
  }
  const fs::path& Folder() const { return FFolder; }

 private:
  fs::path FFolder;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  using namespace ruvevid;
  static TScratch Scratch;
  static fuzz::TFixedDiskLayer Drives;
  const fs::path Archive = Scratch.Folder() / "in.zip";
  std::ofstream(Archive, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
  const std::string Output = (Scratch.Folder() / "out" / "entry").string();

  TUnZip UnZip;
  UnZip.SetDriveLayer(Drives);
  UnZip.FileSpec = {"*.*"};
  UnZip.Passwords = {"fuzz"};
  UnZip.SetExtractDir((Scratch.Folder() / "out").string());
  UnZip.OnBegin = [](TZipCommon*, const std::string&, std::int32_t, bool&) {};
  UnZip.OnRenameFile = [&Output](TZipCommon*, const std::string&, std::string& NewName) {
    NewName = Output;
  };
  // Other parts of a set are never there.
  UnZip.OnNextVolume = [](TZipCommon*, std::string&, const std::string&, bool, bool& Cancel) {
    Cancel = true;
  };
  UnZip.OnGetZipLastDisk = [](TZipCommon*, bool& Cancel) { Cancel = true; };
  UnZip.OnGetZipFirstDisk = [](TZipCommon*, bool& Cancel) { Cancel = true; };
  UnZip.OnGetZipNextDisk = [](TZipCommon*, const std::string&, bool& Cancel) { Cancel = true; };
  UnZip.SetArchiveFile(Archive.string());
  UnZip.Activate();
  return 0;
}
