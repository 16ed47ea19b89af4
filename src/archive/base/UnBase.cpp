#include "archive/base/UnBase.h"

#include <exception>

#include "archive/base/ScopeExit.h"
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
  if (IsSplitOrSpanned(FArcType) && !CheckArchiveDrive()) {
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
  const std::string Remembered = FArchiveFile;
  const auto RestoreName = OnScopeExit([&] { FArchiveFile = Remembered; });
  // Each step ends the run's work where it raises; the end steps that follow still fire, in the
  // same order as after a normal run. A run whose OnActivate raised has not started: it ends there.
  const bool Started = RunStep([&] {
    ResetRun();
    if (OnActivate) OnActivate(this);
  });
  if (!Started) return FRun.ExtractedCount;
  RunStep([&] {
    if (OnElapsedTime) FTimer.Start();
    FRun.Password.clear();
    FRun.OutputName.clear();
    ProcessArchive(Input);
  });
  RunStep([&] {
    if (!OnElapsedTime) return;
    FTimer.Stop();
    OnElapsedTime(this, FTimer.Elapsed());
  });
  RunStep([&] {
    if (OnDeactivate) OnDeactivate(this);
  });
  return FRun.ExtractedCount;
}

// The one place where exceptions that are not the engine's own are caught: nothing raised during
// a run leaves Activate, and what the engine did not report itself is reported here.
bool TUnBase::RunStep(const std::function<void()>& Step) {
  try {
    Step();
    return true;
  } catch (const E_RAISE&) {
    // Reported when it was raised.
  } catch (const std::exception& Error) {
    ReportRunFailure(Error.what());
  } catch (...) {
    ReportRunFailure("");
  }
  return false;
}

void TUnBase::ReportRunFailure(const std::string& What) {
  // The entry being written when the run failed is named (the archive when there was none). An
  // error handler that raises in turn has nobody left to tell.
  const std::string& Name = FRun.OutputName.empty() ? FArchiveFile : FRun.OutputName;
  try {
    ReportError(Name, What, "0", ecUnexpectedError);
  } catch (...) {
    // Dropped: see above.
  }
}

bool TUnBase::CheckCrc(std::uint8_t CrcKind, std::uint32_t StoredCrc) {
  bool Pass = false;
  if (!GetCancel()) {
    const std::uint32_t Accumulator = FRun.Decode.Crc.Value(CrcKind);
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
