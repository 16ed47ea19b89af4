#include "archive/zip/ZipDirectoryLocator.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/base/Stream32.h"
#include "archive/zip/StreamReads.h"
#include "archive/zip/ZipHeaderCipher.h"
#include "archive/zip/ZipSignatures.h"

namespace ruvevid {

namespace {

// Copies Size bytes at window offset At into Target, zero-filling what lies beyond the window.
void CopyFromWindow(const std::vector<std::uint8_t>& Window, std::int64_t At, std::uint8_t* Target,
                    std::size_t Size) {
  std::memset(Target, 0, Size);
  if (At < 0 || At >= static_cast<std::int64_t>(Window.size())) return;
  const auto Available = Window.size() - static_cast<std::size_t>(At);
  std::memcpy(Target, Window.data() + At, std::min(Size, Available));
}

bool WindowHolds(const std::vector<std::uint8_t>& Window, std::int64_t At, std::uint32_t Value) {
  return At >= 0 && At + 4 <= static_cast<std::int64_t>(Window.size()) &&
         GetLE32(Window.data() + At) == Value;
}

template <std::size_t N>
bool ReadHeaderAt(TStream32& Stream, std::int64_t Offset, THeaderBytes<N>& Header) {
  return ReadAt(Stream, Offset, Header.data(), static_cast<std::int32_t>(N)) ==
         static_cast<std::int32_t>(N);
}

bool IsCentralHeader(const TCentralHeader& Header, bool& Enciphered) {
  return GetZipHeaderType(Header.Signature(), THeaderType::htCentral, Enciphered) ==
         THeaderType::htCentral;
}

// The forward scan for a local header, used when no central directory was found.
std::int64_t ScanForLocalHeader(TStream32& Stream, TZipFormatState& State, std::int64_t Window,
                                std::int64_t Result) {
  std::vector<std::uint8_t> Buffer(static_cast<std::size_t>(Window));
  for (int K = 0; K < kLocalScanWindows; ++K) {
    const std::int64_t Start = K * Window;
    const std::int32_t Got =
        ReadAt(Stream, Start, Buffer.data(), static_cast<std::int32_t>(Window));
    if (Got <= 0) return Result;
    Result = -1;
    for (std::int32_t J = 0; J + 4 <= Got; ++J) {
      if (Buffer[static_cast<std::size_t>(J)] != 0x50) continue;
      if (IsLocalHeaderSignature(GetLE32(Buffer.data() + J))) {
        State.HeaderState = {THeaderType::htLocal};
        return Start + J;
      }
    }
  }
  return -1;
}

}  // namespace

std::int64_t LocateZipDirectory(TStream32& Stream, TZipFormatState& State, TZipCipher& Cipher,
                                const TZipKeys& HeaderKeys) {
  TZipHeaderBuffers& Headers = State.Headers;
  const std::int64_t Size = Stream.GetSize();
  if (Size <= 0) return 0;
  const std::int64_t Window = Size > kEndRecordWindow ? kEndRecordWindow : Size - 1;

  State.HeaderState.Clear();
  std::int64_t Result = 0;
  std::vector<std::uint8_t> Buffer(static_cast<std::size_t>(Window));
  const std::int32_t Got =
      ReadAt(Stream, Size - Window, Buffer.data(), static_cast<std::int32_t>(Window));
  if (Got <= 0) return 0;
  Buffer.resize(static_cast<std::size_t>(Got));

  // Backwards for the end record; window offset 0 is not tested.
  std::int64_t I = Got - 4;
  bool Enciphered = false;
  for (; I >= 1; --I) {
    if (GetZipHeaderType(GetLE32(Buffer.data() + I), THeaderType::htEnding, Enciphered) ==
        THeaderType::htEnding)
      break;
  }
  if (I < 1) return 0;
  const std::int64_t EndOffset = Size - Window + I;
  const std::uint32_t EndSignature = GetLE32(Buffer.data() + I);
  const bool Wide = IsWideEndSignature(EndSignature);
  State.HeaderState = {THeaderType::htEnding};

  // The end record as it stands in the window, deciphered when enciphered.
  TWideEndRecord Found;  // the larger of the two layouts
  CopyFromWindow(Buffer, I, Found.data(), Found.kSize);
  if (Enciphered) DecodeZipHeader(Found.data(), Wide ? 26 : 22, Cipher, HeaderKeys);

  Headers.Locator.SetSignature(0);
  Headers.Ending64.SetSignature(0);
  if (WindowHolds(Buffer, I - 20, kZip64LocatorSignature)) {
    State.HeaderState += THeaderType::htLocator;
    if (WindowHolds(Buffer, I - 76, kZip64EndSignature))
      State.HeaderState += THeaderType::htEnding64;
  }

  // First candidate for the start of the central directory.
  std::int64_t First = 0;
  if (Wide) {
    Headers.WideEnding = Found;
    // Only the signature of the plain record is known; its other fields are cleared so that
    // nothing of an archive examined earlier stays in them.
    Headers.Ending = TEndRecord{};
    Headers.Ending.SetSignature(EndSignature);
    State.CommentStart = EndOffset + 26;
    First = static_cast<std::int64_t>(Found.CentralDirOffset());
  } else {
    State.CommentStart = EndOffset + 22;
    std::memcpy(Headers.Ending.data(), Found.data(), Headers.Ending.kSize);
    if (State.HeaderState.Contains(THeaderType::htLocator))
      CopyFromWindow(Buffer, I - 20, Headers.Locator.data(), Headers.Locator.kSize);
    if (State.HeaderState.Contains(THeaderType::htEnding64)) {
      CopyFromWindow(Buffer, I - 76, Headers.Ending64.data(), Headers.Ending64.kSize);
      First = static_cast<std::int64_t>(Headers.Locator.Zip64EndOffset() -
                                        Headers.Ending64.CentralDirSize());
    } else {
      First = EndOffset - static_cast<std::int64_t>(Headers.Ending.CentralDirSize());
    }
  }
  // Second candidate: where the directory stands when data was put in front of the archive.
  const std::int64_t Second =
      EndOffset - static_cast<std::int64_t>(Headers.Ending.CentralDirSize());

  std::int64_t Where = First;
  if (!ReadHeaderAt(Stream, First, Headers.Central)) {
    Where = Second;
    if (!ReadHeaderAt(Stream, Second, Headers.Central)) return 0;
  }
  bool CentralEnciphered = false;
  bool DirectoryFound = IsCentralHeader(Headers.Central, CentralEnciphered);
  if (!DirectoryFound) {
    if (!ReadHeaderAt(Stream, Second, Headers.Central)) return 0;
    DirectoryFound = IsCentralHeader(Headers.Central, CentralEnciphered);
    if (DirectoryFound) Where = Second;
  }
  // A directory found at the second candidate, measured back from the end record, stands
  // OffsetAdjust bytes behind where the end record places it: data was put in front of the
  // archive without adjusting its offsets. With a plain end record both candidates are the same
  // place, so this holds for the first one too.
  State.OffsetAdjust = 0;
  if (DirectoryFound && Where == Second) {
    State.OffsetAdjust = static_cast<std::uint32_t>(Second) - Headers.Ending.CentralDirOffset();
  }
  if (!DirectoryFound) return ScanForLocalHeader(Stream, State, Window, Result);

  State.HeaderState += THeaderType::htCentral;
  Result = Where;
  if (CentralEnciphered) DecodeZipHeader(Headers.Central, Cipher, HeaderKeys);
  const std::uint32_t LocalOffset = Headers.Central.LocalHeaderOffset() + State.OffsetAdjust;
  if (ReadHeaderAt(Stream, LocalOffset, Headers.Local) &&
      IsLocalHeaderSignature(Headers.Local.Signature()))
    State.HeaderState += THeaderType::htLocal;
  return Result;
}

}  // namespace ruvevid
