#include "archive/zip/EntryDecoder.h"

#include <array>
#include <cstring>
#include <exception>

#include "archive/base/OutputFiles.h"
#include "archive/base/Stream32.h"
#include "archive/codec/ZipFlags.h"
#include "archive/zip/BufferedArchiveStream.h"
#include "archive/zip/MethodDispatch.h"
#include "platform/StagedFile.h"

namespace ruvevid {

TEntryDecoder::TEntryDecoder(const TUnZip& Caller) {
  FApplication = &FPumps;
  FArchiveFile = Caller.GetArchiveFile();
  FArcType = Caller.ArcType();
  FZip = Caller.ZipState();
  TranslateOemChar = Caller.TranslateOemChar;
  FRun.SystemCopyMinimum = Caller.Run().SystemCopyMinimum;
  // Progress goes to the record; the figures the application sees are the caller's.
  ProgressHandler = [this](std::uint8_t ByFile, std::uint8_t /*ByArchive*/) {
    if (FRecord == nullptr) return;
    TEntryRecord::TStep Step;
    Step.Kind = TEntryRecord::TStepKind::skProgress;
    Step.ByFile = ByFile;
    Step.Counted = -FRun.BytesRemaining;
    FRecord->Steps.push_back(Step);
  };
}

TEntryDecoder::~TEntryDecoder() = default;

bool TEntryDecoder::OpenArchive(std::int64_t ExpectedSize) {
  auto Stream = std::make_unique<TFileStream32>(FArchiveFile, fmOpenRead | fmShareDenyWrite);
  // The same file as the caller's, as far as can be told.
  if (!Stream->IsOpen() || Stream->Size() != ExpectedSize) return false;
  FInput = std::make_unique<TBufferedArchiveStream>(std::move(Stream));
  return true;
}

void TEntryDecoder::Add(TEntryRecord::TStepKind Kind) {
  if (FRecord == nullptr) return;
  TEntryRecord::TStep Step;
  Step.Kind = Kind;
  FRecord->Steps.push_back(Step);
}

void TEntryDecoder::TPumpRecorder::ProcessMessages() {
  FOwner.Add(TEntryRecord::TStepKind::skPump);
}

bool TEntryDecoder::GetCancel() {
  Add(TEntryRecord::TStepKind::skCancelCheck);
  return Stopped();
}

void TEntryDecoder::ReportError(const std::string& FileName, const std::string& ExtendedMsg,
                                const std::string& VolumeID, int ECode) {
  if (FRecord == nullptr) return;
  TEntryRecord::TStep Step;
  Step.Kind = TEntryRecord::TStepKind::skError;
  Step.Error = FRecord->Errors.size();
  FRecord->Errors.push_back({FileName, ExtendedMsg, VolumeID, ECode});
  FRecord->Steps.push_back(Step);
}

void TEntryDecoder::RaiseError(const std::string& FileName, const std::string& ExtendedMsg,
                               const std::string& VolumeID, int ECode) {
  ReportError(FileName, ExtendedMsg, VolumeID, ECode);
  if (!Stopped()) throw E_RAISE(ECode);
}

void TEntryDecoder::Decode(const TEntryListing& Listing, const std::string& Folder,
                           const std::atomic<bool>& Stop, TEntryRecord& Record) {
  Record.Clear();
  if (!FInput) return;
  FStop = &Stop;
  FRun.BytesRemaining = 0;
  FRun.OutputName = kDecodedOutputName;
  try {
    // A header that cannot be read is read again by the caller in its turn, with its reports.
    FRun.EntryName = ReadEntryHeader(*this, *FInput, Listing);
  } catch (...) {
    FStop = nullptr;
    return;
  }
  if ((FRun.Decode.EntryInfo.Flags & kEncryptedFlag) == 0 || Unlock(Listing.Passwords, Record))
    DecodeInto(Folder, Record);
  FStop = nullptr;
  FRecord = nullptr;
}

bool TEntryDecoder::Unlock(const std::vector<std::string>& Known, TEntryRecord& Record) {
  // The deciphered header at 0..11, the stored one at 12..23, as the password flow has it.
  std::array<std::uint8_t, kZipPasswordWorkAreaSize + 1> Work{};
  if (ReadBlock(*FInput, Work.data(), kZipEncryptionHeaderSize, false, kCrcKindNone) !=
      kZipEncryptionHeaderSize)
    return false;
  std::memcpy(Work.data() + kZipEncryptionHeaderSize, Work.data(), kZipEncryptionHeaderSize);
  for (const std::string& Password : Known) {
    FRun.Password = Password;
    if (TestPassword(Work.data())) {
      Record.Password = Password;
      return true;
    }
  }
  // The password flow has events: the caller's thread asks in its turn.
  return false;
}

void TEntryDecoder::DecodeInto(const std::string& Folder, TEntryRecord& Record) {
  std::string Path;
  TFileHandle File = CreateStagingFile(Folder + "/entry", Path);
  if (!File.IsOpen()) return;
  Record.Decoded = true;
  Record.Path = Path;
  // The stream writes through the handle the record keeps.
  std::unique_ptr<TStream32> Output = std::make_unique<THandleStream32>(File.Native());
  Record.File = std::move(File);
  FRecord = &Record;
  const std::int64_t CopiedBefore = FRun.SystemCopiedBytes;
  try {
    DecodeEntry(*this, FNoVolumes, FRun.OutputName, FRun.Decode.EntryInfo, Output, FInput);
  } catch (const E_RAISE& Error) {
    Record.Ending = TEntryRecord::TEnding::enRaised;
    Record.RaisedCode = Error.ECode();
  } catch (const EArchive& Error) {
    Record.Ending = TEntryRecord::TEnding::enArchiveError;
    Record.Failure = Error.what();
  } catch (const std::exception& Error) {
    Record.Ending = TEntryRecord::TEnding::enFailure;
    Record.Failure = Error.what();
  }
  FRecord = nullptr;
  Record.Crc32 = FRun.Decode.Crc.Crc32;
  Record.Counted = -FRun.BytesRemaining;
  Record.SystemCopiedBytes = FRun.SystemCopiedBytes - CopiedBefore;
}

}  // namespace ruvevid
