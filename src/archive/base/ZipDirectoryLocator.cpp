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

// The zip64 locator stands right in front of the end record, the zip64 end record right in front
// of its locator.
constexpr auto kLocatorSize = static_cast<std::int64_t>(TZip64Locator::kSize);
constexpr auto kZip64RecordsSize = static_cast<std::int64_t>(TZip64EndRecord::kSize) + kLocatorSize;

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

// The last bytes of the archive (the window searched for the end record) and where they start.
struct TEndWindow {
  std::vector<std::uint8_t> Bytes;
  std::int64_t Start = 0;
  // The window's size as asked for; the forward scan reads windows of this size too.
  std::int64_t Length = 0;
};

// False when the file is empty or nothing of its end could be read.
bool ReadEndWindow(TStream32& Stream, std::int64_t Size, TEndWindow& Window) {
  if (Size <= 0) return false;
  const std::int64_t Length = Size > kEndRecordWindow ? kEndRecordWindow : Size - 1;
  Window.Length = Length;
  Window.Start = Size - Length;
  Window.Bytes.resize(static_cast<std::size_t>(Length));
  const std::int32_t Got =
      ReadAt(Stream, Window.Start, Window.Bytes.data(), static_cast<std::int32_t>(Length));
  if (Got <= 0) return false;
  Window.Bytes.resize(static_cast<std::size_t>(Got));
  return true;
}

// Notes the zip64 records that stand in front of the end record at window offset At.
void NoteZip64Records(const std::vector<std::uint8_t>& Window, std::int64_t At,
                      TZipFormatState& State) {
  State.Headers.Locator.SetSignature(0);
  State.Headers.Ending64.SetSignature(0);
  if (!WindowHolds(Window, At - kLocatorSize, kZip64LocatorSignature)) return;
  State.HeaderState += THeaderType::htLocator;
  if (WindowHolds(Window, At - kZip64RecordsSize, kZip64EndSignature))
    State.HeaderState += THeaderType::htEnding64;
}

// Loads the end records found at window offset At into the header buffers and sets CommentStart;
// returns the first candidate for the start of the central directory, the one the records give.
std::int64_t LoadEndRecords(const std::vector<std::uint8_t>& Window, std::int64_t At,
                            std::int64_t EndOffset, bool Enciphered, TZipFormatState& State,
                            TZipCipher& Cipher, const TZipKeys& HeaderKeys) {
  TZipHeaderBuffers& Headers = State.Headers;
  const std::uint32_t EndSignature = GetLE32(Window.data() + At);
  const bool Wide = IsWideEndSignature(EndSignature);
  // The end record as it stands in the window, deciphered when enciphered.
  TWideEndRecord Found;  // the larger of the two layouts
  CopyFromWindow(Window, At, Found.data(), Found.kSize);
  if (Enciphered)
    DecodeZipHeader(Found.data(), Wide ? TWideEndRecord::kSize : TEndRecord::kSize, Cipher,
                    HeaderKeys);
  if (Wide) {
    Headers.WideEnding = Found;
    // Only the signature of the plain record is known; its other fields are cleared so that
    // nothing of an archive examined earlier stays in them.
    Headers.Ending = TEndRecord{};
    Headers.Ending.SetSignature(EndSignature);
    State.CommentStart = EndOffset + static_cast<std::int64_t>(TWideEndRecord::kSize);
    return static_cast<std::int64_t>(Found.CentralDirOffset());
  }
  State.CommentStart = EndOffset + static_cast<std::int64_t>(TEndRecord::kSize);
  std::memcpy(Headers.Ending.data(), Found.data(), Headers.Ending.kSize);
  if (State.HeaderState.Contains(THeaderType::htLocator))
    CopyFromWindow(Window, At - kLocatorSize, Headers.Locator.data(), Headers.Locator.kSize);
  if (!State.HeaderState.Contains(THeaderType::htEnding64))
    return EndOffset - static_cast<std::int64_t>(Headers.Ending.CentralDirSize());
  CopyFromWindow(Window, At - kZip64RecordsSize, Headers.Ending64.data(), Headers.Ending64.kSize);
  return static_cast<std::int64_t>(Headers.Locator.Zip64EndOffset() -
                                   Headers.Ending64.CentralDirSize());
}

// The second candidate: where the directory stands when data was put in front of the archive,
// measured back from the records themselves, with the directory offset the records store. A zip64
// end record stands right in front of its locator whatever offset the locator gives, and its
// 64-bit size holds where the plain record has 0xFFFFFFFF.
struct TMeasuredDirectory {
  std::int64_t Offset = 0;
  std::uint64_t StoredOffset = 0;
};

TMeasuredDirectory MeasureBack(const TZipFormatState& State, std::int64_t EndOffset, bool Wide) {
  const TZipHeaderBuffers& Headers = State.Headers;
  if (!Wide && State.HeaderState.Contains(THeaderType::htEnding64)) {
    const std::int64_t Zip64End = EndOffset - kZip64RecordsSize;
    return {Zip64End - static_cast<std::int64_t>(Headers.Ending64.CentralDirSize()),
            Headers.Ending64.CentralDirOffset()};
  }
  return {EndOffset - static_cast<std::int64_t>(Headers.Ending.CentralDirSize()),
          Headers.Ending.CentralDirOffset()};
}

// Reads the central header at the first candidate, else at the second; Where is where it was
// read, Found whether a central header stands there. False when a read fell short.
bool ReadCentralCandidate(TStream32& Stream, std::int64_t First, std::int64_t Second,
                          TCentralHeader& Central, std::int64_t& Where, bool& Found,
                          bool& Enciphered) {
  Where = First;
  if (!ReadHeaderAt(Stream, First, Central)) {
    Where = Second;
    if (!ReadHeaderAt(Stream, Second, Central)) return false;
  }
  Found = IsCentralHeader(Central, Enciphered);
  if (Found) return true;
  if (!ReadHeaderAt(Stream, Second, Central)) return false;
  Found = IsCentralHeader(Central, Enciphered);
  if (Found) Where = Second;
  return true;
}

}  // namespace

std::int64_t LocateZipDirectory(TStream32& Stream, TZipFormatState& State, TZipCipher& Cipher,
                                const TZipKeys& HeaderKeys) {
  TZipHeaderBuffers& Headers = State.Headers;
  const std::int64_t Size = Stream.GetSize();
  if (Size <= 0) return 0;
  State.HeaderState.Clear();
  TEndWindow Window;
  if (!ReadEndWindow(Stream, Size, Window)) return 0;

  // Backwards for the end record; window offset 0 is not tested.
  bool Enciphered = false;
  const std::int64_t I = FindEndRecord(Window.Bytes, Cipher, HeaderKeys, Enciphered);
  if (I < 1) return 0;
  const std::int64_t EndOffset = Window.Start + I;
  const bool Wide = IsWideEndSignature(GetLE32(Window.Bytes.data() + I));
  State.HeaderState = {THeaderType::htEnding};
  NoteZip64Records(Window.Bytes, I, State);
  const std::int64_t First =
      LoadEndRecords(Window.Bytes, I, EndOffset, Enciphered, State, Cipher, HeaderKeys);
  const TMeasuredDirectory Second = MeasureBack(State, EndOffset, Wide);

  std::int64_t Where = First;
  bool DirectoryFound = false;
  bool CentralEnciphered = false;
  if (!ReadCentralCandidate(Stream, First, Second.Offset, Headers.Central, Where, DirectoryFound,
                            CentralEnciphered))
    return 0;
  // A directory found at the second candidate, measured back from the end record, stands
  // OffsetAdjust bytes behind where the end record places it: data was put in front of the
  // archive without adjusting its offsets. With a plain end record both candidates are the same
  // place, so this holds for the first one too.
  State.OffsetAdjust = 0;
  if (DirectoryFound && Where == Second.Offset) {
    State.OffsetAdjust =
        static_cast<std::uint32_t>(Second.Offset) - static_cast<std::uint32_t>(Second.StoredOffset);
  }
  if (!DirectoryFound) return ScanForLocalHeader(Stream, State, Window.Length, 0);

  State.HeaderState += THeaderType::htCentral;
  if (CentralEnciphered) DecodeZipHeader(Headers.Central, Cipher, HeaderKeys);
  const std::uint32_t LocalOffset = Headers.Central.LocalHeaderOffset() + State.OffsetAdjust;
  if (ReadHeaderAt(Stream, LocalOffset, Headers.Local) &&
      IsLocalHeaderSignature(Headers.Local.Signature()))
    State.HeaderState += THeaderType::htLocal;
  return Where;
}

}  // namespace ruvevid
