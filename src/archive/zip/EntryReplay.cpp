#include "archive/zip/EntryReplay.h"

#include <stdexcept>
#include <string>

#include "archive/zip/EntryRecord.h"
#include "archive/zip/UnZip.h"
#include "platform/Application.h"

namespace ruvevid {

namespace {

using TStepKind = TEntryRecord::TStepKind;

void ReplayProgress(TUnZip& Arc, std::int64_t Start, const TEntryRecord::TStep& Step) {
  TRunState& Run = Arc.Run();
  Run.BytesRemaining = Start - Step.Counted;
  Run.ProgressByFile = Step.ByFile;
  Run.ProgressByArchive =
      Percent(Run.TotalUnpackedSize - Run.BytesRemaining, Run.TotalUnpackedSize);
  if (Arc.ProgressHandler) Arc.ProgressHandler(Run.ProgressByFile, Run.ProgressByArchive);
}

void ReplayError(TUnZip& Arc, const TEntryRecord::TError& Error) {
  const std::string& Output = Arc.Run().OutputName;
  const auto Named = [&Output](const std::string& Text) -> const std::string& {
    return Text == kDecodedOutputName ? Output : Text;
  };
  Arc.ReportError(Named(Error.FileName), Named(Error.ExtendedMsg), Error.VolumeID, Error.ECode);
}

}  // namespace

void ReplayEntry(TUnZip& Arc, const TEntryRecord& Record) {
  TRunState& Run = Arc.Run();
  const std::int64_t Start = Run.BytesRemaining;
  Run.Decode.Crc.Crc32 = Record.Crc32;
  Run.SystemCopiedBytes += Record.SystemCopiedBytes;
  for (const TEntryRecord::TStep& Step : Record.Steps) {
    switch (Step.Kind) {
      case TStepKind::skProgress:
        ReplayProgress(Arc, Start, Step);
        break;
      case TStepKind::skError:
        ReplayError(Arc, Record.Errors[Step.Error]);
        break;
      case TStepKind::skPump:
        if (Arc.Application() != nullptr) Arc.Application()->ProcessMessages();
        break;
      case TStepKind::skCancelCheck:
        if (Arc.GetCancel()) return;
        break;
    }
  }
  Run.BytesRemaining = Start - Record.Counted;
  switch (Record.Ending) {
    case TEntryRecord::TEnding::enReturned:
      return;
    case TEntryRecord::TEnding::enRaised:
      throw E_RAISE(Record.RaisedCode);
    case TEntryRecord::TEnding::enArchiveError:
      throw EArchive(Record.Failure);
    case TEntryRecord::TEnding::enFailure:
      throw std::runtime_error(Record.Failure);
  }
}

}  // namespace ruvevid
