#include "download/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "download/WinHTTPDownload.h"

namespace ruvevid {

namespace {

[[noreturn]] void RaiseInOutError(int ErrorCode) {
  throw EInOutError(InOutErrorText(ErrorCode), ErrorCode);
}

}  // namespace

std::string InOutErrorText(int ErrorCode) {
  char Text[256] = {};
  // The GNU variant returns a pointer that may or may not be Text.
  const char* Message = ::strerror_r(ErrorCode, Text, sizeof Text);
  return "I/O error " + std::to_string(ErrorCode) + ": " + Message;
}

TOutputFile::TOutputFile(std::size_t BufferSize) : FBuffer(BufferSize > 0 ? BufferSize : 1) {}

TOutputFile::~TOutputFile() {
  try {
    Close();
  } catch (const EInOutError&) {  // NOLINT(bugprone-empty-catch): the caller chose not to look
  }
}

void TOutputFile::Create(const std::string& FileName) {
  Close();
  const int Handle = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (Handle < 0) RaiseInOutError(errno);
  FHandle = Handle;
  FUsed = 0;
}

void TOutputFile::WriteSlow(const void* Data, std::size_t Count) {
  Flush();
  if (Count >= FBuffer.size()) {
    WriteAll(static_cast<const char*>(Data), Count);
    return;
  }
  std::memcpy(FBuffer.data(), Data, Count);
  FUsed = Count;
}

void TOutputFile::Flush() {
  const std::size_t Pending = FUsed;
  // A failed write drops the buffered bytes: the error is raised once, not again at Close.
  FUsed = 0;
  WriteAll(FBuffer.data(), Pending);
}

void TOutputFile::WriteAll(const char* Data, std::size_t Count) {
  if (FHandle < 0) RaiseInOutError(EBADF);
  while (Count > 0) {
    const ssize_t Written = ::write(FHandle, Data, Count);
    if (Written < 0) {
      if (errno == EINTR) continue;
      RaiseInOutError(errno);
    }
    if (Written == 0) RaiseInOutError(EIO);
    Data += Written;
    Count -= static_cast<std::size_t>(Written);
  }
}

void TOutputFile::Close() {
  if (FHandle < 0) return;
  int Failure = 0;
  try {
    Flush();
  } catch (const EInOutError& Error) {
    Failure = Error.ErrorCode();
  }
  if (::close(FHandle) != 0 && Failure == 0 && errno != EINTR) Failure = errno;
  FHandle = -1;
  if (Failure != 0) RaiseInOutError(Failure);
}

}  // namespace ruvevid
