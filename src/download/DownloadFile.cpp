#include "download/DownloadFile.h"

#include <cerrno>
#include <utility>

#include "download/WinHTTPDownload.h"
#include "platform/FileHandle.h"

namespace ruvevid {

namespace {

[[noreturn]] void RaiseInOutError(int ErrorCode) {
  throw EInOutError(InOutErrorText(ErrorCode), ErrorCode);
}

}  // namespace

std::string InOutErrorText(int ErrorCode) {
  return "I/O error " + std::to_string(ErrorCode) + ": " + SystemErrorText(ErrorCode);
}

TDownloadFile::TDownloadFile(std::size_t BufferSize) : FBuffer(BufferSize > 0 ? BufferSize : 1) {}

TDownloadFile::~TDownloadFile() {
  try {
    Close();
  } catch (const EInOutError&) {  // NOLINT(bugprone-empty-catch): the caller chose not to look
  }
}

void TDownloadFile::Create(const std::string& FileName) {
  Close();
  int Error = 0;
  TFileHandle File = OpenFile(FileName, TOpenFor::ofCreateToWrite, Error);
  if (!File.IsOpen()) RaiseInOutError(Error);
  FFile = std::move(File);
  FUsed = 0;
}

void TDownloadFile::WriteSlow(const void* Data, std::size_t Count) {
  Flush();
  if (Count >= FBuffer.size()) {
    WriteOut(static_cast<const char*>(Data), Count);
    return;
  }
  std::memcpy(FBuffer.data(), Data, Count);
  FUsed = Count;
}

void TDownloadFile::Flush() {
  const std::size_t Pending = FUsed;
  // A failed write drops the buffered bytes: the error is raised once, not again at Close.
  FUsed = 0;
  WriteOut(FBuffer.data(), Pending);
}

void TDownloadFile::WriteOut(const char* Data, std::size_t Count) {
  if (!FFile.IsOpen()) RaiseInOutError(EBADF);
  if (const int Error = WriteAll(FFile.Native(), Data, Count); Error != 0) RaiseInOutError(Error);
}

void TDownloadFile::Close() {
  if (!FFile.IsOpen()) return;
  int Failure = 0;
  try {
    Flush();
  } catch (const EInOutError& Error) {
    Failure = Error.ErrorCode();
  }
  if (const int Closing = FFile.Close(); Failure == 0) Failure = Closing;
  if (Failure != 0) RaiseInOutError(Failure);
}

}  // namespace ruvevid
