#include "archive/zip/EntryOutput.h"

#include <cerrno>
#include <utility>

#include "archive/base/DosDateTime.h"
#include "archive/base/OutputFiles.h"
#include "archive/zip/EntryRecord.h"
#include "archive/zip/UnZip.h"
#include "platform/OutputFile.h"
#include "platform/StagedFile.h"

namespace ruvevid {

TStagedEntryOutput::~TStagedEntryOutput() {
  FStream.reset();
  Discard();
}

bool TStagedEntryOutput::Open(const std::string& FileName, const std::string& StoredName,
                              TEntryRecord* Decoded) {
  if (FileName.empty()) return false;
  if (IsOutputRefused(FArc, FileName, StoredName)) return false;
  const std::string Written = WrittenOutputName(FArc, FileName);
  if (Written.empty()) return false;
  FArc.ForceDirectories(kOutputPathRules.DirPart(Written));
  // A file that stands at FileName is the one the output will replace, staged or not: it decides
  // whether the output may be made and which permissions it keeps.
  TFileHandle File;
  if (Decoded != nullptr && Decoded->File.IsOpen()) {
    if (TakeStagingFile(Decoded->File.Native(), Decoded->Path, Written, FStagingPath, FileName)) {
      File = std::move(Decoded->File);
      Decoded->Path.clear();
      FAdopted = true;
    } else if (errno != EXDEV) {
      return false;
    }
  }
  if (!FAdopted) File = CreateStagingFile(Written, FStagingPath, FileName);
  if (!File.IsOpen()) return false;
  FStream = std::make_unique<TOutputFileStream>(std::move(File));
  FTarget = Written;
  FUsable = true;
  return true;
}

bool TStagedEntryOutput::Close(std::uint32_t DosDateTime, std::uint32_t Attr) {
  auto* File = dynamic_cast<TOutputFileStream*>(FStream.get());
  if (File == nullptr) return false;
  if (File->Handle() >= 0) {
    if (const auto Time = FArc.Run().DosTimes.ToTime(FArc.EffectiveDate(DosDateTime)))
      SetLastWriteTime(File->Handle(), *Time);
    // The attributes go on while the file is open: no path lookup, and a read-only file can
    // still be renamed into place.
    if (FArc.RestoreFileAttr && Attr != faArchive) ApplyEntryAttributes(File->Handle(), Attr);
  }
  const bool Closed = File->Close();
  FStream.reset();
  if (!Closed) {
    FUsable = false;
    FArc.ReportError(FTarget, "", "0", ecCloseError);
    return false;
  }
  return true;
}

bool TStagedEntryOutput::Commit() {
  if (!FUsable || FStream) return false;
  if (!CommitStagingFile(FStagingPath, FTarget)) return false;
  FStagingPath.clear();
  FUsable = false;
  return true;
}

void TStagedEntryOutput::Discard() {
  if (FStagingPath.empty()) return;
  DiscardStagingFile(FStagingPath);
  FStagingPath.clear();
  FUsable = false;
}

}  // namespace ruvevid
