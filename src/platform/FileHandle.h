#pragma once
// Open files of the system: the one owning handle type of the program and the operations the
// engine and the download perform on an open file. Paths are UTF-8.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace ruvevid {

// The system's number for an open file: a descriptor, or on Windows a HANDLE kept as a number
// (INVALID_HANDLE_VALUE is -1 too), so that this header needs no system header.
#ifdef _WIN32
using TNativeHandle = std::intptr_t;
#else
using TNativeHandle = int;
#endif
inline constexpr TNativeHandle kNoHandle = -1;

// Owns one open file and closes it when it goes.
class TFileHandle {
 public:
  TFileHandle() = default;
  explicit TFileHandle(TNativeHandle Native) : FNative(Native) {}
  ~TFileHandle() { Close(); }
  TFileHandle(TFileHandle&& Other) noexcept : FNative(Other.Release()) {}
  TFileHandle& operator=(TFileHandle&& Other) noexcept;
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;

  bool IsOpen() const { return FNative != kNoHandle; }
  TNativeHandle Native() const { return FNative; }
  // Gives up ownership: the caller closes the file.
  TNativeHandle Release();
  // Closes the file: 0, or the system's error code when closing failed (written data may be
  // lost). Closing a handle that holds no file does nothing.
  int Close();

 private:
  TNativeHandle FNative = kNoHandle;
};

enum class TOpenFor : std::uint8_t {
  ofRead,           // an existing regular file, for reading
  ofWrite,          // an existing file, for writing
  ofReadWrite,      // an existing file, for both
  ofCreate,         // created or emptied, for reading and writing
  ofCreateToWrite,  // created or emptied, for writing only
  ofAppend          // created when missing, every write going to its end
};

// Opens Path. A file opened for reading must be a regular file: a folder (EISDIR), a FIFO or a
// device (EINVAL) is refused, and the open never waits for a writer. A folder is refused for
// every mode. On failure the handle holds no file and Error the system's code.
TFileHandle OpenFile(const std::string& Path, TOpenFor Mode, int& Error);

// Reads until Count bytes are in or the file ends; the bytes read. A read error ends the reading
// as the end of the file does.
std::size_t ReadFull(TNativeHandle Handle, void* Buffer, std::size_t Count);

// Writes all Count bytes: 0, or the system's error code. A write that takes nothing and reports
// nothing counts as a full disk (ENOSPC). Written, when given, receives the bytes written.
int WriteAll(TNativeHandle Handle, const void* Data, std::size_t Count,
             std::size_t* Written = nullptr);

enum class TSeekFrom : std::uint8_t { sfBeginning, sfCurrent, sfEnd };
// Moves the file position; the new position, or -1.
std::int64_t SeekFile(TNativeHandle Handle, std::int64_t Offset, TSeekFrom From);

// The size of an open regular file; nothing for anything else.
std::optional<std::int64_t> RegularFileSize(TNativeHandle Handle);

// Cuts or extends the open file to Size bytes: 0, or the system's error code.
int ResizeFile(TNativeHandle Handle, std::int64_t Size);

// When the open file was made (where the file system keeps it), else when its contents last
// changed; nothing when the file cannot be examined.
std::optional<std::time_t> FileBirthTime(TNativeHandle Handle);

// The system's text for an error code.
std::string SystemErrorText(int ErrorCode);

}  // namespace ruvevid
