#pragma once
// The extraction settings, the events, the run state and the services every reader and decoder of
// the engine uses: cancellation, error reports, block reading and writing with deciphering and
// CRC, the stored copy, progress, and (in TUnBase) the CRC verdict and the password flow.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/base/ArcBase.h"
#include "archive/base/ArcErrors.h"
#include "archive/base/ArcTimer.h"
#include "archive/base/ArcTypes.h"
#include "archive/base/RunState.h"
#include "archive/base/ZipRecords.h"

namespace ruvevid {

class IApplication;
class TStream32;
class TZipCommon;

// The events. The first parameter is the sending component; an event that is not set is skipped.
using TArcNotifyEvent = std::function<void(TZipCommon* Sender)>;
using TBeginEvent = std::function<void(TZipCommon* Sender, const std::string& FileName,
                                       std::int32_t Count, bool& Extract)>;
using TEndEvent =
    std::function<void(TZipCommon* Sender, const std::string& FileName, bool CrcPass)>;
using TProgressEvent = std::function<void(TZipCommon* Sender, std::uint8_t ProgressByFile,
                                          std::uint8_t ProgressByArchive)>;
using TElapsedTimeEvent = std::function<void(TZipCommon* Sender, float ElapsedTime)>;
using TErrorEvent =
    std::function<void(TZipCommon* Sender, const std::string& FileName,
                       const std::string& ExtendedMsg, const std::string& VolumeID, int ECode)>;
using TGetPasswordEvent = std::function<void(TZipCommon* Sender, const std::string& FileName,
                                             std::string& Password, bool& TryAgain)>;
using TFileExistsEvent =
    std::function<void(TZipCommon* Sender, const std::string& FileName, std::string& NewFileName,
                       TOverwriteMode& OverwriteMode)>;
using TRenameFileEvent =
    std::function<void(TZipCommon* Sender, const std::string& FileName, std::string& NewFileName)>;
using TNextVolumeEvent =
    std::function<void(TZipCommon* Sender, std::string& VolumeName, const std::string& VolumeID,
                       bool FExists, bool& Cancel)>;
using TDiskEvent = std::function<void(TZipCommon* Sender, bool& Cancel)>;
using TNextDiskEvent =
    std::function<void(TZipCommon* Sender, const std::string& VolumeName, bool& Cancel)>;
using TCorruptZipHeaderEvent =
    std::function<void(TZipCommon* Sender, THeaderTypeState HeadFlag, bool& Cancel)>;

// The handlers through which the decoders do all their block I/O and progress reports.
using TReadHandler = std::function<std::int32_t(TStream32& Stream, void* Buffer, std::int32_t Count,
                                                bool Decrypt, std::uint8_t CrcKind)>;
using TWriteHandler =
    std::function<std::int32_t(TStream32& Output, void* Buffer, std::int32_t Count, bool Decrypt,
                               std::uint8_t CrcKind, std::uint8_t UpdateCrc)>;
using TProgressHandler =
    std::function<void(std::uint8_t ProgressByFile, std::uint8_t ProgressByArchive)>;

// Percent(A, B): 0 when B <= 0, otherwise A * 100 / B in extended precision rounded to the nearest
// integer (halves to even) and clamped to 0..100.
std::uint8_t Percent(std::int64_t A, std::int64_t B);

// ZipCmntBufSize's setter range.
inline constexpr std::int32_t kZipCmntBufSizeMin = 2000;
inline constexpr std::int32_t kZipCmntBufSizeMax = 0x7FFF;

// The block size of the stored copy.
inline constexpr std::int32_t kStoredBlockSize = 0x8000;

class TZipCommon : public TArcBase {
 public:
  // Application: the message pump of the progress handler and of stream copies; may be null.
  explicit TZipCommon(IApplication* Application = nullptr);
  ~TZipCommon() override;

  IApplication* Application() const { return FApplication; }

  // ---- Settings (defaults are those of a new component) ----
  bool ConfirmOverwrites = false;
  TCpuType CpuType = TCpuType::cptAuto;  // stored only; a run turns cpt80486 into cptAuto
  bool CreateStoredDirs = false;
  TDateAttribute DateAttribute = TDateAttribute::daFileDate;
  std::vector<std::string> FileSpec;
  TOverwriteMode OverwriteMode = TOverwriteMode::omOverwrite;
  std::int32_t PasswordAttempts = 3;
  std::vector<std::string> Passwords;
  bool RecurseDirs = true;
  bool RestoreFileAttr = true;
  bool TranslateOemChar = true;
  bool UseStoredDirs = true;
  // When set, output files (and stored folders) are written below this folder, at the place they
  // would have below ExtractDir, and nothing is written below ExtractDir itself. ExtractDir still
  // makes the names that the events and the path rules see. The updater stages an install so.
  std::string StagingDir;

  // ExtractDir: the setter normalises the folder (trailing separator; see the output-file rules).
  const std::string& ExtractDir() const { return FExtractDir; }
  void SetExtractDir(const std::string& Value);

  // Not read by extraction; the setter clamps to kZipCmntBufSizeMin..kZipCmntBufSizeMax.
  std::int32_t ZipCmntBufSize() const { return FZipCmntBufSize; }
  void SetZipCmntBufSize(std::int32_t Value);

  // ---- Events ----
  TArcNotifyEvent OnActivate;
  TArcNotifyEvent OnDeactivate;
  TBeginEvent OnBegin;
  TEndEvent OnEnd;
  TProgressEvent OnProgress;
  TElapsedTimeEvent OnElapsedTime;
  TErrorEvent OnError;
  TGetPasswordEvent OnGetPassword;
  TFileExistsEvent OnFileExists;
  TRenameFileEvent OnRenameFile;
  TNextVolumeEvent OnNextVolume;
  TDiskEvent OnGetZipFirstDisk;
  TNextDiskEvent OnGetZipNextDisk;
  TDiskEvent OnGetZipLastDisk;
  TCorruptZipHeaderEvent OnCorruptZipHeader;

  // ---- Cancellation ----
  // The cancel flag is read through a pointer that normally points at the component's own flag;
  // the objects the component owns (and its streams) read and set the same flag through it.
  bool Cancel() { return GetCancel(); }
  virtual bool GetCancel() { return *FCancel; }
  // Stores Value; True also reports 25443 ("User canceled") for ArchiveFile and OutputName.
  virtual void SetCancel(bool Value);
  bool* CancelFlag() const { return FCancel; }
  // Points the cancel flag at another Boolean (nullptr: back at the component's own).
  void SetCancelFlag(bool* Flag) { FCancel = Flag != nullptr ? Flag : &FOwnCancel; }

  // ---- Error reports ----
  // Pauses the timer, turns ECode into 25443 when the cancel flag is set, fires OnError, resumes.
  virtual void ReportError(const std::string& FileName, const std::string& ExtendedMsg,
                           const std::string& VolumeID, int ECode);
  // ReportError, then raises E_RAISE with the text of ECode, unless the cancel flag is set (then
  // it returns like ReportError).
  virtual void RaiseError(const std::string& FileName, const std::string& ExtendedMsg,
                          const std::string& VolumeID, int ECode);

  // ---- Block services ----
  // Reads up to Count bytes (a read error of the stream gives 0), deciphers them when Decrypt is
  // set and ArcType is of the zip family, folds them into the CRC named by CrcKind.
  virtual std::int32_t ReadBlock(TStream32& Stream, void* Buffer, std::int32_t Count, bool Decrypt,
                                 std::uint8_t CrcKind);
  // Deciphers Buffer in place (when Decrypt, UpdateCrc is 1 and the type is of the zip family),
  // writes Count bytes, and checks the write: disk full (ENOSPC) -> ExtractedCount := 0 and
  // RaiseError 25160; a short write -> ExtractedCount - 1 (while positive) and ReportError 25136;
  // otherwise, when UpdateCrc is 1, folds the bytes into the CRC named by CrcKind. Returns the
  // bytes written.
  virtual std::int32_t WriteBlock(TStream32& Output, void* Buffer, std::int32_t Count, bool Decrypt,
                                  std::uint8_t CrcKind, std::uint8_t UpdateCrc);
  // Deciphers Buffer in place with the run's cipher when Decrypt is set and the type is of the zip
  // family.
  virtual void DecodeBuffer(bool Decrypt, void* Buffer, std::int32_t Count);
  // Copies a stored entry's data (Info.UnpackedSize bytes) from Input to Output in blocks of
  // kStoredBlockSize through the read and write handlers, with progress after every block.
  // Returns the bytes not copied (0 when complete).
  //
  // Where the system can, an entry that is not encrypted, read from the archive file (a stream
  // with a SourceFile) of a set that is not split or spanned and written to a file through its
  // handle (THandleStream32) is copied by the system instead, the CRC being taken over a view of
  // the archive's bytes: with the same blocks, progress, cancel checks, limit, error reports and
  // result. That copy stands for the handlers bound at creation, and so for this class's
  // ReadBlock and WriteBlock: it is not made while other handlers are installed. A class that
  // changes what ReadBlock or WriteBlock do installs handlers of its own.
  std::int64_t CopyStored(TStream32& Input, TStream32& Output, const TZipEntryInfo& Info,
                          std::uint8_t CrcKind);

  // ---- Progress ----
  // ProgressByFile := Percent(Done, Size); ProgressByArchive := Percent(Total - BytesRemaining,
  // Total); then the progress handler. An exception of OnProgress (or of the message pump) is
  // passed on: it ends the run at Activate, which reports it.
  void ReportProgress(std::int64_t Done, std::int64_t Size, std::int64_t Total);
  // Progress bookkeeping for an entry that is not decoded.
  void SkipEntryProgress(const TZipEntryInfo& Info);
  // The progress handler bound by ResetRun: pumps the application's messages, then OnProgress.
  void DoProgress(std::uint8_t ProgressByFile, std::uint8_t ProgressByArchive);

  // ---- Run state and handlers ----
  TRunState& Run() { return FRun; }
  const TRunState& Run() const { return FRun; }
  TArcTimer& Timer() { return FTimer; }
  // Bound at creation to ReadBlock and WriteBlock; the decoders call block I/O only through them.
  TReadHandler ReadHandler;
  TWriteHandler WriteHandler;
  // Bound to DoProgress by ResetRun; called by ReportProgress.
  TProgressHandler ProgressHandler;

  // ---- Output files (defined with the output-file rules) ----
  void SetOutputName(const std::string& StoredName);
  bool ConfirmEntry(bool IsDirectory);
  bool ForceDirectories(const std::string& Dir);
  std::uint32_t EffectiveDate(std::uint32_t DosDateTime);

 protected:
  // Resets the per-run state at the start of a run.
  virtual void ResetRun();

  IApplication* FApplication = nullptr;
  std::string FExtractDir;
  std::int32_t FZipCmntBufSize = 0;
  bool FOwnCancel = false;
  bool* FCancel = &FOwnCancel;
  TRunState FRun;
  TArcTimer FTimer;

 private:
  // The handlers bound at creation, as types of their own so that CopyStored can tell them from
  // handlers installed later.
  struct TOwnReadHandler {
    TZipCommon* Owner;
    std::int32_t operator()(TStream32& Stream, void* Buffer, std::int32_t Count, bool Decrypt,
                            std::uint8_t CrcKind) const {
      return Owner->ReadBlock(Stream, Buffer, Count, Decrypt, CrcKind);
    }
  };
  struct TOwnWriteHandler {
    TZipCommon* Owner;
    std::int32_t operator()(TStream32& Output, void* Buffer, std::int32_t Count, bool Decrypt,
                            std::uint8_t CrcKind, std::uint8_t UpdateCrc) const {
      return Owner->WriteBlock(Output, Buffer, Count, Decrypt, CrcKind, UpdateCrc);
    }
  };
  bool HasOwnBlockHandlers() const;

  // WriteBlock's two halves, shared with the system's copy. OutputAllowed: false, after the
  // error, when Count more bytes would pass the entry's output limit. CheckWrite: the verdict on
  // a write of Count bytes that wrote Written and ended with Error; the bytes written are folded
  // into the CRC when the write was whole.
  bool OutputAllowed(std::int32_t Count);
  std::int32_t CheckWrite(const void* Buffer, std::int32_t Count, std::int32_t Written, int Error,
                          std::uint8_t CrcKind, std::uint8_t UpdateCrc);

  // CopyStored's two ways, both carrying on from Left bytes not yet copied of an entry of Size.
  // The system's copy returns false when the rest of the entry is the plain copy's.
  bool CopyStoredInKernel(TStream32& Input, TStream32& Output, std::int64_t Size,
                          std::uint8_t CrcKind, std::int64_t& Left);
  void CopyStoredInBlocks(TStream32& Input, TStream32& Output, std::int64_t Size, bool Decrypt,
                          std::uint8_t CrcKind, std::int64_t& Left);
};

}  // namespace ruvevid
