#include "archive/zip/EntryDecoder.h"

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
  // Encrypted entries need the password flow and its events: the caller's thread decodes them.
  if ((FRun.Decode.EntryInfo.Flags & kEncryptedFlag) == 0) DecodeInto(Folder, Record);
  FStop = nullptr;
  FRecord = nullptr;
}

void TEntryDecoder::DecodeInto(const std::string& Folder, TEntryRecord& Record) {
  std::string Path;
  TFileHandle File = CreateStagingFile(Folder + "/entry", Path);
  if (!File.IsOpen()) return;
  Record.Decoded = true;
  Record.Path = Path;
  std::unique_ptr<TStream32> Output = std::make_unique<TOutputFileStream>(std::move(File));
  FRecord = &Record;
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
  Record.Closed = static_cast<TOutputFileStream&>(*Output).Close();
}

}  // namespace ruvevid
