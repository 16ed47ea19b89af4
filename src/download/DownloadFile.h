#pragma once
// The downloaded file: raw bytes written through a user-space buffer, so the 255-byte
// blocks of a transfer cost a copy each rather than a system call each. Whenever the file is
// closed it holds exactly the bytes that were written; every failure raises EInOutError.

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileHandle.h"

namespace ruvevid {

class TDownloadFile {
 public:
  static constexpr std::size_t kDefaultBufferSize = 256 * 1024;

  explicit TDownloadFile(std::size_t BufferSize = kDefaultBufferSize);
  // Closes a file still open; a failure there is lost, so call Close to see it.
  ~TDownloadFile();
  TDownloadFile(const TDownloadFile&) = delete;
  TDownloadFile& operator=(const TDownloadFile&) = delete;

  // Creates the file for writing, replacing any file of that name. Throws EInOutError.
  void Create(const std::string& FileName);
  bool IsOpen() const { return FFile.IsOpen(); }

  // Appends Count bytes; throws EInOutError when the buffer cannot be written out.
  void Write(const void* Data, std::size_t Count) {
    if (Count <= FBuffer.size() - FUsed) {
      std::memcpy(FBuffer.data() + FUsed, Data, Count);
      FUsed += Count;
      return;
    }
    WriteSlow(Data, Count);
  }

  // Writes out what is buffered and closes the file. The file is closed also when this throws
  // EInOutError; closing a file that is not open does nothing.
  void Close();

 private:
  void WriteSlow(const void* Data, std::size_t Count);
  void Flush();
  void WriteOut(const char* Data, std::size_t Count);

  TFileHandle FFile;
  std::vector<char> FBuffer;
  std::size_t FUsed = 0;
};

// "I/O error N: <system text>" for the error number N.
std::string InOutErrorText(int ErrorCode);

}  // namespace ruvevid
