#include <cerrno>
#include <cstring>

#include "archive/base/Stream32.h"
#include "platform/FileHandle.h"

namespace ruvevid {

std::int64_t THandleStream32::GetSize() {
  if (FHandle >= 0) {
    if (const auto Size = RegularFileSize(FHandle)) return *Size;
  }
  return TStream32::GetSize();
}

void THandleStream32::SetSize(std::int64_t NewSize) {
  Seek(NewSize, TSeekOrigin::soBeginning);
  if (const int Error = ResizeFile(FHandle, NewSize); Error != 0)
    throw EOSError(SystemErrorText(Error), Error);
}

std::int32_t THandleStream32::Read(void* Buffer, std::int32_t Count) {
  if (FHandle < 0 || Count <= 0) return 0;
  return static_cast<std::int32_t>(ReadFull(FHandle, Buffer, static_cast<std::size_t>(Count)));
}

std::int32_t THandleStream32::Write(const void* Buffer, std::int32_t Count) {
  FLastWriteError = 0;
  if (FHandle < 0) {
    FLastWriteError = EBADF;
    return 0;
  }
  if (Count <= 0) return 0;
  std::size_t Written = 0;
  FLastWriteError = WriteAll(FHandle, Buffer, static_cast<std::size_t>(Count), &Written);
  return static_cast<std::int32_t>(Written);
}

std::int64_t THandleStream32::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  if (FHandle < 0) return -1;
  TSeekFrom From = TSeekFrom::sfBeginning;
  if (Origin == TSeekOrigin::soCurrent) From = TSeekFrom::sfCurrent;
  if (Origin == TSeekOrigin::soEnd) From = TSeekFrom::sfEnd;
  return SeekFile(FHandle, Offset, From);
}

TNativeHandle THandleStream32::SourceFile(std::int64_t& Offset) {
  if (FHandle < 0) return kNoHandle;
  Offset = SeekFile(FHandle, 0, TSeekFrom::sfCurrent);
  return Offset >= 0 ? FHandle : kNoHandle;
}

namespace {

TOpenFor OpenForMode(std::uint16_t Mode) {
  if (Mode == fmCreate) return TOpenFor::ofCreate;
  switch (Mode & 0x0003u) {
    case fmOpenWrite:
      return TOpenFor::ofWrite;
    case fmOpenReadWrite:
      return TOpenFor::ofReadWrite;
    default:
      return TOpenFor::ofRead;
  }
}

}  // namespace

TFileStream32::TFileStream32(const std::string& FileName, std::uint16_t Mode)
    : THandleStream32(-1),
      FFileName(FileName),
      FFile(OpenFile(FileName, OpenForMode(Mode), FOpenError)) {
  FHandle = FFile.Native();
}

TFileStream32::~TFileStream32() {
  FHandle = -1;
}

}  // namespace ruvevid
