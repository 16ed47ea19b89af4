#pragma once
// The engine's streams: TStream32 (a seekable byte stream with CopyFrom, an optional external
// cancel flag and a progress callback), THandleStream32 over an OS file descriptor, and
// TFileStream32, which opens or creates a named file. Archive and output files go through these.

#include <cerrno>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "archive/base/ArcErrors.h"
#include "platform/FileHandle.h"

namespace ruvevid {

class IApplication;

// The stream errors of the platform's stream class.
class EStreamError : public EArchive {
 public:
  using EArchive::EArchive;
};
// A read-exactly that could not read everything ("Stream read error").
class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError("Stream read error") {}
  using EStreamError::EStreamError;
};
// A write-exactly that could not write everything ("Stream write error").
class EWriteError : public EStreamError {
 public:
  EWriteError() : EStreamError("Stream write error") {}
  using EStreamError::EStreamError;
};
// A file that could not be opened where the caller raises for it.
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
// An OS call that failed where the stream raises (SetSize).
class EOSError : public EArchive {
 public:
  EOSError(const std::string& Message, int ErrorCode) : EArchive(Message), FErrorCode(ErrorCode) {}
  int ErrorCode() const { return FErrorCode; }

 private:
  int FErrorCode;
};

enum class TSeekOrigin : std::uint16_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream32 {
 public:
  using TProgressCallback = std::function<void(TStream32* Sender)>;

  // The largest block CopyFrom moves at once.
  static constexpr std::int32_t kCopyBlockSize = 61440;

  TStream32() = default;
  virtual ~TStream32() = default;
  TStream32(const TStream32&) = delete;
  TStream32& operator=(const TStream32&) = delete;

  virtual std::int64_t GetSize();
  // Sets the end of the stream; failures raise.
  virtual void SetSize(std::int64_t NewSize) = 0;
  // Reads up to Count bytes; returns the number read (0 at the end or on failure; a decompression
  // stream may return a negative result code).
  virtual std::int32_t Read(void* Buffer, std::int32_t Count) = 0;
  // Writes up to Count bytes; returns the number written (0 on failure, fewer when cut short).
  virtual std::int32_t Write(const void* Buffer, std::int32_t Count) = 0;
  // Moves the position; returns the new position.
  virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;
  // Copies Count bytes of Source (0: the whole Source from its position 0) in blocks of at most
  // kCopyBlockSize, pumping the application before each block and stopping when the cancel flag is
  // set. Returns the Count asked for. A short read raises EReadError, a short write EWriteError.
  virtual std::int64_t CopyFrom(TStream32& Source, std::int64_t Count);

  // The OS error code of the last Write (0 when it wrote everything or the stream has none). The
  // block writer reads it after every write to tell a full disk (ENOSPC) from other failures.
  virtual int LastWriteError() const { return 0; }

  // The open file whose bytes this stream reads as they stand, with Offset set to the file offset
  // of the stream's position: for copies the system makes straight from the file. kNoHandle for
  // a stream that has no such file. A caller that takes bytes from the file so seeks the stream
  // past them afterwards.
  virtual TNativeHandle SourceFile(std::int64_t& /*Offset*/) { return kNoHandle; }

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t Value) { Seek(Value, TSeekOrigin::soBeginning); }
  std::int64_t Size() { return GetSize(); }

  // Read-exactly and write-exactly: raise EReadError / EWriteError when fewer bytes move.
  void ReadBuffer(void* Buffer, std::int32_t Count);
  void WriteBuffer(const void* Buffer, std::int32_t Count);

  // The external cancel flag (nullptr: never cancelled) and the application pumped by CopyFrom.
  bool* CancelFlag() const { return FCancelFlag; }
  void SetCancelFlag(bool* Flag) { FCancelFlag = Flag; }
  bool Cancelled() const { return FCancelFlag != nullptr && *FCancelFlag; }
  IApplication* Application() const { return FApplication; }
  void SetApplication(IApplication* Application) { FApplication = Application; }

  // Called with the stream by streams that report their progress; skipped when unset.
  TProgressCallback OnProgress;

 private:
  bool* FCancelFlag = nullptr;
  IApplication* FApplication = nullptr;
};

// A stream over an open file of the system, -1 when there is none. Does not own the descriptor.
class THandleStream32 : public TStream32 {
 public:
  explicit THandleStream32(TNativeHandle Handle) : FHandle(Handle) {}
  ~THandleStream32() override { FHandle = -1; }

  TNativeHandle Handle() const { return FHandle; }

  std::int64_t GetSize() override;
  void SetSize(std::int64_t NewSize) override;
  // Both retry interrupted calls and loop until Count bytes have moved, the file ends, or an error.
  // Read returns 0 when the first read fails; Write returns the bytes written before a failure.
  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  int LastWriteError() const override { return FLastWriteError; }
  TNativeHandle SourceFile(std::int64_t& Offset) override;

 protected:
  TNativeHandle FHandle = -1;
  int FLastWriteError = 0;
};

// The open modes of TFileStream32: fmCreate creates (an existing file is truncated); the others
// open an existing file with that access. Sharing bits are accepted and have no effect on POSIX.
inline constexpr std::uint16_t fmCreate = 0xFFFF;
inline constexpr std::uint16_t fmOpenRead = 0x0000;
inline constexpr std::uint16_t fmOpenWrite = 0x0001;
inline constexpr std::uint16_t fmOpenReadWrite = 0x0002;
inline constexpr std::uint16_t fmShareExclusive = 0x0010;
inline constexpr std::uint16_t fmShareDenyWrite = 0x0020;
inline constexpr std::uint16_t fmShareDenyRead = 0x0030;
inline constexpr std::uint16_t fmShareDenyNone = 0x0040;

// A named file. Construction never raises: when the file cannot be opened or created (or names a
// directory) the handle is -1 and the caller checks IsOpen(). The destructor closes the handle.
class TFileStream32 : public THandleStream32 {
 public:
  TFileStream32(const std::string& FileName, std::uint16_t Mode);
  ~TFileStream32() override;

  bool IsOpen() const { return FHandle >= 0; }
  const std::string& FileName() const { return FFileName; }
  // errno of a failed open, 0 when open; EISDIR for a directory, EINVAL for another file that is
  // not a regular file (a FIFO, a device) opened for reading.
  int OpenError() const { return FOpenError; }
  bool NotRegularFile() const { return FOpenError == EISDIR || FOpenError == EINVAL; }

 private:
  std::string FFileName;
  int FOpenError = 0;
  TFileHandle FFile;
};

}  // namespace ruvevid
