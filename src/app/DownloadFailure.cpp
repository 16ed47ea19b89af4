#include "app/DownloadFailure.h"

#include <cerrno>

#include "app/FailureTexts.h"
#include "platform/DiskFull.h"
#include "platform/FileSystem.h"

namespace ruvevid {

std::string WriteFailureText(const std::string& Folder) {
  return FileSystemFull(Folder) ? kTextDiskFull : kTextCannotWrite;
}

std::string DownloadFailureText(TDownloadOutcome Outcome, int HttpStatus, int ErrorCode,
                                const std::string& Folder) {
  switch (Outcome) {
    case TDownloadOutcome::doHttpError:
      return std::string(kTextHttpStatus) + " (HTTP " + std::to_string(HttpStatus) + ")";
    case TDownloadOutcome::doCut:
      return kTextConnectionCut;
    case TDownloadOutcome::doStalled:
      return kTextStalled;
    case TDownloadOutcome::doNoLength:
      return kTextNoLength;
    case TDownloadOutcome::doWriteFailed:
      if (IsDiskFullError(ErrorCode)) return kTextDiskFull;
      return WriteFailureText(Folder);
    default:
      return kTextUnreachable;
  }
}

}  // namespace ruvevid
