#pragma once
// Output files of an extraction run: the helpers behind TZipCommon's SetOutputName, ConfirmEntry,
// ForceDirectories and EffectiveDate.

#include <string>
#include <utility>

#include "archive/base/PathRules.h"
#include "archive/base/Stream32.h"
#include "platform/FileHandle.h"

namespace ruvevid {

class TZipCommon;

// The output-side path rules of this build.
inline constexpr TPathRules kOutputPathRules = TPathRules::Native();

// An entry's output file; owns its handle. Close reports whether closing succeeded (a failure is
// an error of its own: written data may be lost).
class TOutputFileStream final : public THandleStream32 {
 public:
  explicit TOutputFileStream(TFileHandle File)
      : THandleStream32(File.Native()), FFile(std::move(File)) {}
  ~TOutputFileStream() override { FHandle = -1; }
  bool Close() {
    FHandle = -1;
    return FFile.Close() == 0;
  }

 private:
  TFileHandle FFile;
};

// True when FileName must not be written for the stored name StoredName: it is the output name of
// a stored name with a ".." component (the name would leave ExtractDir), or a folder on its way
// below ExtractDir is a symbolic link. A name the application chose instead (OnRenameFile,
// OnFileExists) is only subject to the second rule. Directory entries created with
// CreateStoredDirs go through the same test.
bool IsOutputRefused(TZipCommon& Component, const std::string& FileName,
                     const std::string& StoredName);

// Where the output named FileName is really written: FileName itself, or with StagingDir set its
// place below StagingDir; empty when FileName does not lie below ExtractDir and so has no place
// in the staging folder.
std::string WrittenOutputName(const TZipCommon& Component, const std::string& FileName);

}  // namespace ruvevid
