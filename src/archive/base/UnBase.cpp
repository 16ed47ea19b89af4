#include "archive/base/UnBase.h"

#include "archive/base/Stream32.h"

namespace ruvevid {

TUnBase::TUnBase(IApplication* Application) : TZipCommon(Application) {}

TUnBase::~TUnBase() = default;

void TUnBase::ProcessArchive(std::unique_ptr<TStream32>& /*Input*/) {}

bool TUnBase::CheckArchiveDrive() {
  return true;
}

bool TUnBase::TestPassword(std::uint8_t* /*Header*/) {
  return false;
}

std::int32_t TUnBase::Activate() {
  FRun.OutputMode = 0;
  // The archive stream is closed when it goes out of scope, after the run.
  std::unique_ptr<TStream32> Input;
  if (!OpenArchive(Input)) return 0;
  return RunExtraction(Input);
}

bool TUnBase::OpenArchive(std::unique_ptr<TStream32>& Input) {
  if (FArchiveFile.empty()) {
    ReportError("", "", "0", ecFileNotFound);
    return false;
  }
  if ((FArcType == TArcType::atZipDS || FArcType == TArcType::atZipMV) && !CheckArchiveDrive()) {
    return false;
  }
  if (IsStreamlessArcType(FArcType)) return true;
  auto Stream = std::make_unique<TFileStream32>(FArchiveFile, fmOpenRead | fmShareDenyWrite);
  if (!Stream->IsOpen()) {
    ReportError(FArchiveFile, Stream->NotRegularFile() ? kNotRegularFile : "", "0", ecOpenError);
    return false;
  }
  FArchiveSize = Stream->Size();
  Stream->SetCancelFlag(FCancel);
  Stream->SetApplication(FApplication);
  Input = std::move(Stream);
  return true;
}

std::int32_t TUnBase::RunExtraction(std::unique_ptr<TStream32>& Input) {
  std::int32_t Result = 0;
  // Nothing raised during a run leaves it. Each nested block below runs its clean-up on every path
  // and passes the exception on, so the events fire in the same order as after a normal run.
  try {
    ResetRun();
    const std::string Remembered = FArchiveFile;
    const auto Finish = [&] {
      Result = FRun.ExtractedCount;
      FArchiveFile = Remembered;
    };
    try {
      if (OnActivate) OnActivate(this);
      const auto Deactivate = [&] {
        if (OnDeactivate) OnDeactivate(this);
      };
      try {
        const auto ReportElapsed = [&] {
          if (OnElapsedTime) {
            FTimer.Stop();
            OnElapsedTime(this, FTimer.Elapsed());
          }
        };
        try {
          if (OnElapsedTime) FTimer.Start();
          FRun.Password.clear();
          FRun.OutputName.clear();
          ProcessArchive(Input);
        } catch (...) {
          ReportElapsed();
          throw;
        }
        ReportElapsed();
      } catch (...) {
        Deactivate();
        throw;
      }
      Deactivate();
    } catch (...) {
      Finish();
      throw;
    }
    Finish();
  } catch (...) {
    // Swallowed: the run has ended.
  }
  return Result;
}

bool TUnBase::CheckCrc(std::uint8_t CrcKind, std::uint32_t StoredCrc) {
  bool Pass = false;
  if (!GetCancel()) {
    const std::uint32_t Accumulator = FRun.Crc.Value(CrcKind);
    Pass = StoredCrc == Accumulator || StoredCrc == (Accumulator ^ 0xFFFFFFFFu);
  }
  const std::string Name = FRun.OutputMode == 0 ? FRun.OutputName : FRun.EntryName;
  if (OnEnd) {
    OnEnd(this, Name, Pass);
  } else if (!Pass) {
    ReportError(Name, "", "0", ecCrcError);
  }
  return Pass;
}

}  // namespace ruvevid
