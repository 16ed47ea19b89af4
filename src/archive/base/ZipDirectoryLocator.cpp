#include "archive/base/ZipDirectoryLocator.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/base/Stream32.h"
#include "archive/base/StreamReads.h"
#include "archive/base/ZipHeaderCipher.h"
#include "archive/base/ZipSignatures.h"

namespace ruvevid {

namespace {

// The zip64 end record (56 bytes) and its locator (20) in front of the end record.
constexpr std::int64_t kZip64RecordsSize = 76;

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

// The comment length of the plain end record at window offset At, deciphered when enciphered.
std::uint16_t EndCommentLength(const std::vector<std::uint8_t>& Window, std::int64_t At,
                               bool Enciphered, TZipCipher& Cipher, const TZipKeys& HeaderKeys) {
  TEndRecord Record;
  CopyFromWindow(Window, At, Record.data(), Record.kSize);
  if (Enciphered) DecodeZipHeader(Record.data(), Record.kSize, Cipher, HeaderKeys);
  return Record.CommentLength();
}

// The window offset of the end record (0 when there is none). Of several end-record signatures
// (one may stand inside the archive comment) the nearest to the end of the file whose comment
// length reaches exactly the end is taken; when none does, the nearest of all.
std::int64_t FindEndRecord(const std::vector<std::uint8_t>& Window, TZipCipher& Cipher,
                           const TZipKeys& HeaderKeys, bool& Enciphered) {
  const auto Size = static_cast<std::int64_t>(Window.size());
  std::int64_t Nearest = 0;
  bool NearestEnciphered = false;
  for (std::int64_t I = Size - 4; I >= 1; --I) {
    bool Hit = false;
    if (GetZipHeaderType(GetLE32(Window.data() + I), THeaderType::htEnding, Hit) !=
        THeaderType::htEnding)
      continue;
    if (Nearest == 0) {
      Nearest = I;
      NearestEnciphered = Hit;
    }
    const bool Plain = !IsWideEndSignature(GetLE32(Window.data() + I));
    if (Plain && I + static_cast<std::int64_t>(TEndRecord::kSize) +
                         EndCommentLength(Window, I, Hit, Cipher, HeaderKeys) ==
                     Size) {
      Enciphered = Hit;
      return I;
    }
  }
  Enciphered = NearestEnciphered;
  return Nearest;
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
  bool Enciphered = false;
  const std::int64_t I = FindEndRecord(Buffer, Cipher, HeaderKeys, Enciphered);
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
  // Second candidate: where the directory stands when data was put in front of the archive,
  // measured back from the records themselves. A zip64 end record stands right in front of its
  // locator whatever offset the locator gives, and its 64-bit size holds where the plain record
  // has 0xFFFFFFFF.
  std::int64_t Second = EndOffset - static_cast<std::int64_t>(Headers.Ending.CentralDirSize());
  std::uint64_t StoredDirOffset = Headers.Ending.CentralDirOffset();
  if (!Wide && State.HeaderState.Contains(THeaderType::htEnding64)) {
    const std::int64_t Zip64End = EndOffset - kZip64RecordsSize;
    Second = Zip64End - static_cast<std::int64_t>(Headers.Ending64.CentralDirSize());
    StoredDirOffset = Headers.Ending64.CentralDirOffset();
  }

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
    State.OffsetAdjust =
        static_cast<std::uint32_t>(Second) - static_cast<std::uint32_t>(StoredDirOffset);
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
