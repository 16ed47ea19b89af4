// The output-file rules of TZipCommon: naming, the per-entry decision, creation, date and
// attributes of output files.

#include "archive/base/OutputFiles.h"

#include <cerrno>
#include <ctime>

#include "archive/base/DosDateTime.h"
#include "archive/base/ZipCommon.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"

namespace ruvevid {

bool IsOutputRefused(TZipCommon& Component, const std::string& FileName,
                     const std::string& StoredName) {
  const std::string& ExtractDir = Component.ExtractDir();
  const TOutputPath Composed =
      kOutputPathRules.ComposeOutputName(StoredName, ExtractDir, Component.UseStoredDirs);
  if (Composed.Refused && Composed.Name == FileName) return true;
  // The folder the names are composed below: a relative ExtractDir is taken from the root, as the
  // output names are.
  std::string Base = kOutputPathRules.AppendBackslash(ExtractDir);
  if (!Base.empty() && !kOutputPathRules.IsAbsolute(Base))
    Base.insert(Base.begin(), kOutputPathRules.Separator());
  if (Base.empty() || FileName.compare(0, Base.size(), Base) != 0) return false;
  std::unordered_set<std::string>& LinkFree = Component.Run().LinkFreeFolders;
  const std::string Folder = kOutputPathRules.DirPart(FileName);
  if (LinkFree.contains(Folder)) return false;
  if (HasLinkedDirectoryBelow(Base, FileName)) return true;
  // Only a folder that exists can be known free of links: one still to be made is examined again.
  if (DirectoryExists(Folder)) LinkFree.insert(Folder);
  return false;
}

std::string WrittenOutputName(const TZipCommon& Component, const std::string& FileName) {
  if (Component.StagingDir.empty()) return FileName;
  const std::string Base = kOutputPathRules.AppendBackslash(Component.ExtractDir());
  if (Base.empty() || FileName.size() < Base.size() || FileName.compare(0, Base.size(), Base) != 0)
    return {};
  return kOutputPathRules.AppendBackslash(Component.StagingDir) + FileName.substr(Base.size());
}

void TZipCommon::SetExtractDir(const std::string& Value) {
  FExtractDir = kOutputPathRules.ExtractDirFor(Value, FArchiveFile);
}

void TZipCommon::SetOutputName(const std::string& StoredName) {
  std::string& OutputName = FRun.OutputName;
  if (StoredName.empty()) {
    OutputName.clear();
    return;
  }
  if (FExtractDir.empty()) {
    SetExtractDir(kOutputPathRules.DirWithSeparator(FArchiveFile));
    if (FExtractDir.empty()) SetExtractDir(CurrentFolder());
  }
  OutputName = kOutputPathRules.ComposeOutputName(StoredName, FExtractDir, UseStoredDirs).Name;
}

bool TZipCommon::ForceDirectories(const std::string& Dir) {
  if (Dir.empty()) return false;
  if (FRun.KnownFolders.contains(Dir)) return true;
  if (DirectoryExists(Dir)) {
    FRun.KnownFolders.insert(Dir);
    return true;
  }
  const bool Relative = !kOutputPathRules.IsAbsolute(Dir);
  if (!CreateFolders(Relative ? kOutputPathRules.AppendBackslash(CurrentFolder()) + Dir : Dir))
    return false;
  FRun.KnownFolders.insert(Dir);
  return true;
}

bool TZipCommon::ConfirmEntry(bool IsDirectory) {
  if (IsDirectory) return true;
  const TTimerPause Paused(FTimer);
  std::string& OutputName = FRun.OutputName;
  bool Extract = true;
  if (OnBegin) {
    if (OnRenameFile) {
      std::string NewName = OutputName;
      OnRenameFile(this, OutputName, NewName);
      if (!NewName.empty()) {
        ForceDirectories(kOutputPathRules.DirPart(NewName));
        OutputName = NewName;
      }
    }
    OnBegin(this, OutputName, FRun.ExtractedCount + 1, Extract);
  }
  if (GetCancel() || !Extract) return false;

  if (!ConfirmOverwrites) {
    const bool Result = OverwriteMode == TOverwriteMode::omOverwrite;
    if (Result) ++FRun.ExtractedCount;
    return Result;
  }

  OverwriteMode = TOverwriteMode::omOverwrite;
  if (FileExists(OutputName)) {
    if (!OnFileExists) {
      ReportError(OutputName, "OnFileExists", "0", ecEventNotAssigned);
      OverwriteMode = TOverwriteMode::omSkip;
    } else {
      do {
        std::string NewName;
        OnFileExists(this, OutputName, NewName, OverwriteMode);
        if (NewName.empty()) NewName = OutputName;
        ForceDirectories(kOutputPathRules.DirPart(NewName));
        if (OverwriteMode == TOverwriteMode::omOverwrite && !NewName.empty()) {
          // The same name is the same file (on Windows also in another case).
          if (kOutputPathRules.SameFile(NewName, OutputName)) break;
          OutputName = NewName;
        }
      } while (!GetCancel() && OverwriteMode != TOverwriteMode::omSkip && PathExists(OutputName));
    }
    if (!GetCancel() && OverwriteMode != TOverwriteMode::omSkip) {
      if (const auto Attr = ReadFileAttributes(OutputName); Attr && (*Attr & faReadOnly) != 0) {
        if ((*Attr & (faSystem | faDirectory)) != 0) {
          ReportError(OutputName, "", "0", ecWriteError);
          return false;
        }
        ClearReadOnly(OutputName);
      }
    }
  }
  const bool Result =
      !GetCancel() && OverwriteMode == TOverwriteMode::omOverwrite && !OutputName.empty();
  if (Result) ++FRun.ExtractedCount;
  return Result;
}

std::uint32_t TZipCommon::EffectiveDate(std::uint32_t DosDateTime) {
  switch (DateAttribute) {
    case TDateAttribute::daSysDate:
      return TimeToDosDateTime(std::time(nullptr)).value_or(kDefaultDosDateTime);
    case TDateAttribute::daMaxFileDate:
      return static_cast<std::uint32_t>(FRun.NewestEntryDate);
    case TDateAttribute::daFileDate:
    default:
      return DosDateTime;
  }
}

}  // namespace ruvevid
