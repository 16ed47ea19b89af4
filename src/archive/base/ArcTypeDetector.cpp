#include "archive/base/ArcTypeDetector.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <exception>

#include "archive/base/ArcErrors.h"
#include "archive/base/DosDateTime.h"
#include "archive/base/LittleEndian.h"
#include "archive/base/Stream32.h"
#include "archive/base/StreamReads.h"
#include "archive/base/ZipDirectoryLocator.h"
#include "platform/DriveQuery.h"
#include "platform/FileHandle.h"

namespace ruvevid {

namespace {

constexpr std::uint32_t kPlainLocalSignature = 0x04034B50;
constexpr std::int64_t kMinimumArchive = 20;

// Offsets of archives inside known self-extractor stubs.
constexpr std::array<std::int64_t, 5> kArcPakStubOffsets = {6674, 6867, 7716, 8601, 13138};
constexpr std::int64_t kLhaStubProbe = 1947;
constexpr std::int64_t kLhaStubOffset = 1945;
constexpr std::array<std::int64_t, 2> kZipStubOffsets = {7612, 25661};
// Where the scan for an archive behind an executable's image starts, past any stub's code.
constexpr std::uint32_t kExeScanStart = 17000;

// Signatures the forward scan knows, and the words after them that mark a false hit (a decoder's
// own table inside an extractor stub, not an archive).
constexpr std::uint32_t kBhSignature = 0x07054842;  // "BH", 5, 7
constexpr std::uint32_t kBhFalseFollower = 0x84C3940F;
constexpr std::uint32_t kZipFalseFollower = 0x003D0B74;
// An ARJ header: its two marker bytes, its size, and ten bytes of marker, size and CRC around it.
constexpr std::uint8_t kArjMarker = 0x60;
constexpr std::uint8_t kArjMarker2 = 0xEA;
constexpr std::int32_t kArjHeaderOverhead = 10;

bool Matches(const std::uint8_t* At, const char* Text) {
  return std::memcmp(At, Text, std::strlen(Text)) == 0;
}

}  // namespace

TArcTypeDetector::TArcTypeDetector(TStream32& Stream, std::string ArchiveFile, TZipFormatState& Zip,
                                   IDriveQuery* Drives, const TZipKeys& HeaderKeys)
    : FStream(Stream),
      FArchiveFile(std::move(ArchiveFile)),
      FZip(Zip),
      FDrives(Drives),
      FHeaderKeys(HeaderKeys) {}

std::int64_t TArcTypeDetector::LocateZipDirectory() {
  return ruvevid::LocateZipDirectory(FStream, FZip, FCipher, FHeaderKeys);
}

TArcType TArcTypeDetector::Detect() {
  TArcType Result = TArcType::atNA;
  FZip.CommentStart = 0;
  FZip.OffsetAdjust = 0;
  FZip.FirstHeaderOffset = -1;
  FZip.HeaderState.Clear();
  FLastError.clear();
  try {
    Result = DetectReadable();
  } catch (const EArchive& Error) {
    // A stream that raises (a read or seek that failed) cannot be examined any further.
    FLastError = Error.what();
  } catch (const std::exception& Error) {
    // Detection runs from the ArchiveFile setter, outside any run: it raises nothing.
    FLastError = Error.what();
  }
  if (!FLastError.empty()) Result = TArcType::atUnknown;
  FArchiveDate = ReadArchiveDate();
  return Result;
}

TArcType TArcTypeDetector::DetectReadable() {
  TArcType Result = TArcType::atNA;
  FArchiveSize = FStream.GetSize();
  if (FArchiveSize < kMinimumArchive) return Result;
  FHead.assign(kHeadBytes, 0);
  const std::int32_t Got = ReadAt(FStream, 0, FHead.data(), kHeadBytes);
  if (Got <= 0) {
    // The file has bytes and none could be read: there is nothing to tell its type by.
    FLastError = kUnreadableArchive;
    return TArcType::atUnknown;
  }
  FHead.resize(static_cast<std::size_t>(Got));
  if (FHead.size() >= 2 && FHead[0] == 'M' && FHead[1] == 'Z') {
    DetectExecutable(Result);
  } else {
    DetectPlain(Result);
  }
  if (IsKnownArcType(Result)) {
    if (FZip.FirstHeaderOffset == -1) FZip.FirstHeaderOffset = 0;
    if (Result == TArcType::atZip && LowerExtension(FArchiveFile) == ".jar")
      Result = TArcType::atJar;
  }
  return Result;
}

bool TArcTypeDetector::HasAceMarkAt7() const {
  return FHead.size() >= 14 && Matches(FHead.data() + 7, "**ACE**");
}

void TArcTypeDetector::DetectExecutable(TArcType& Result) {
  Result = ProbeSfxStub();
  if (IsKnownArcType(Result)) return;
  if (ProbeResourceOffsets(Result)) return;

  // Behind the DOS image.
  if (FHead.size() < 6) return;
  const std::int64_t LastPageBytes = GetLE16(FHead.data() + 2);
  const std::int64_t Pages = GetLE16(FHead.data() + 4);
  const std::int64_t ImageEnd = (Pages - 1) * 512 + LastPageBytes;
  if (ImageEnd > 0 && ImageEnd + 4 < FArchiveSize) {
    std::array<std::uint8_t, 4> Bytes{};
    if (ReadAt(FStream, ImageEnd, Bytes.data(), 4) == 4) {
      FZip.FirstHeaderOffset =
          ImageEnd + ((Bytes[2] == kArjMarker && Bytes[3] == kArjMarker2) ? 2 : 0);
      if (FZip.FirstHeaderOffset + 4 < FArchiveSize &&
          ReadAt(FStream, FZip.FirstHeaderOffset, Bytes.data(), 4) == 4 &&
          GetLE32(Bytes.data()) != kPlainLocalSignature) {
        Result = ClassifySignature(true, Bytes);
        if (IsKnownArcType(Result)) return;
      }
    }
  }
  FZip.Headers.Ending.SetSignature(0);
  if (!IsKnownArcType(Result)) {
    FZip.FirstHeaderOffset = LocateZipDirectory();
    if (FZip.FirstHeaderOffset > 0) Result = TArcType::atZipExe;
  }
  if (!IsKnownArcType(Result)) FZip.FirstHeaderOffset = ScanForSignature(Result, kExeScanStart);
}

bool TArcTypeDetector::ProbeResourceOffsets(TArcType& Result) {
  if (!StringResources) return false;
  for (int Id = 1; Id <= 7; ++Id) {
    std::string Text = StringResources(Id).substr(0, 5);
    if (Text.empty()) break;
    if (!std::all_of(Text.begin(), Text.end(), [](char C) { return C >= '0' && C <= '9'; })) break;
    FZip.FirstHeaderOffset = std::stoll(Text);
    if (FZip.FirstHeaderOffset >= FArchiveSize) break;
    try {
      std::array<std::uint8_t, 14> Bytes{};
      const std::int32_t Got = ReadAt(FStream, FZip.FirstHeaderOffset, Bytes.data(), 14);
      if (Matches(Bytes.data() + 7, "**ACE**")) {
        Result = TArcType::atAceExe;
        return true;
      }
      if (Got == 14) {
        Result = ClassifySignature(true, {Bytes[0], Bytes[1], Bytes[2], Bytes[3]});
        if (Result != TArcType::atNA) {
          if (Result == TArcType::atJar || Result == TArcType::atJarExe ||
              Result == TArcType::atZip || Result == TArcType::atZipExe) {
            const std::int64_t Remembered = FZip.FirstHeaderOffset;
            FZip.FirstHeaderOffset = LocateZipDirectory();
            if (FZip.HeaderState.Empty()) FZip.FirstHeaderOffset = Remembered;
          }
          return true;
        }
      }
    } catch (const EArchive&) {
      // An offset the resources give that cannot be read: the next one may be.
    }
  }
  return false;
}

void TArcTypeDetector::DetectPlain(TArcType& Result) {
  std::size_t Leading = 0;
  if (!FHead.empty() && FHead[0] == 0) {
    while (Leading < FHead.size() && FHead[Leading] == 0) ++Leading;
    if (FHead.size() - Leading > 132 && FHead[130] == '-' && FHead[131] == 'l') {
      Result = TArcType::atLha;
      FZip.FirstHeaderOffset = 128;
      return;
    }
  }
  // Bytes beyond what was read count as zeros.
  TSignatureHead Head{};
  for (std::size_t I = 0; I < Head.size() && Leading + I < FHead.size(); ++I)
    Head[I] = FHead[Leading + I];
  Result = ClassifySignature(false, Head);

  switch (Result) {
    case TArcType::atFileOpenErr:
    case TArcType::atUnknown:
      return;
    case TArcType::atJar:
    case TArcType::atJarExe:
    case TArcType::atZip:
    case TArcType::atZipExe:
      FZip.FirstHeaderOffset = LocateZipDirectory();
      if (!FZip.HeaderState.Contains(THeaderType::htLocal) && FZip.FirstHeaderOffset == 0) {
        FZip.FirstHeaderOffset += static_cast<std::int64_t>(Leading);
        FZip.HeaderState += THeaderType::htLocal;
      }
      break;
    case TArcType::atZipDS:
    case TArcType::atZipMV:
      FZip.FirstHeaderOffset = LocateZipDirectory();
      if (FZip.HeaderState.Empty()) FZip.HeaderState = {THeaderType::htLocal};
      break;
    default:
      if (HasAceMarkAt7()) Result = TArcType::atAce;
      break;
  }
  if (IsKnownArcType(Result)) return;

  if (HasAceMarkAt7()) {
    Result = TArcType::atAce;
    return;
  }
  Result = ProbeUue();
  if (Result == TArcType::atUUE) return;
  Result = ProbeTar();
  if (Result == TArcType::atTar) return;
  FZip.FirstHeaderOffset = LocateZipDirectory();
  if (FZip.FirstHeaderOffset > 0) {
    Result = FZip.Headers.Ending.ThisDisk() == 0 ? TArcType::atZip : ClassifySplitZip();
  } else {
    FZip.FirstHeaderOffset = ScanForSignature(Result, 0);
  }
}

TArcType TArcTypeDetector::ClassifySignature(bool InExecutable, const TSignatureHead& Head) {
  const TSignatureClass Class = ClassifySignatureHead(InExecutable, Head);
  if (Class.SetsArcOffset) FZip.FirstHeaderOffset = kArcExeStubOffset;
  if (!Class.SplitZip) return Class.Type;
  const TArcType Split = ClassifySplitZip();
  if (Class.LocateAfterSplit) LocateZipDirectory();
  return Split;
}

TArcType TArcTypeDetector::ClassifySplitZip() {
  // A set on a drive that cannot be told is a split set on a fixed disk.
  if (FDrives == nullptr) return TArcType::atZipMV;
  const auto Facts = FDrives->QueryDrive(FArchiveFile);
  if (!Facts) return TArcType::atZipMV;
  std::string FirstWord = Facts->VolumeLabel.substr(0, Facts->VolumeLabel.find(' '));
  for (char& C : FirstWord) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  if (Facts->DriveType == TDriveType::dtRemovable && FirstWord == "PKBACK#")
    return TArcType::atZipDS;
  return TArcType::atZipMV;
}

// A zip inside a stub found at a fixed offset: its central directory when the end-record search
// finds one, otherwise the local headers from the stub's offset.
void TArcTypeDetector::FinishSfxStub(std::int64_t Offset) {
  const std::int64_t Directory = LocateZipDirectory();
  if (FZip.HeaderState.Contains(THeaderType::htCentral)) {
    FZip.FirstHeaderOffset = Directory;
  } else {
    FZip.HeaderState = {THeaderType::htLocal};
    FZip.FirstHeaderOffset = Offset;
  }
}

TArcType TArcTypeDetector::ProbeSfxStub() {
  for (std::int64_t Offset : kArcPakStubOffsets) {
    if (FArchiveSize < Offset + 3) break;
    std::array<std::uint8_t, 2> Bytes{};
    if (ReadAt(FStream, Offset, Bytes.data(), 2) != 2 || Bytes[0] != 0x1A) continue;
    if (Bytes[1] == 0x08 || Bytes[1] == 0x09) {
      FZip.FirstHeaderOffset = Offset;
      return TArcType::atArcExe;
    }
    if (Bytes[1] == 0x0A || Bytes[1] == 0x0B) {
      FZip.FirstHeaderOffset = Offset;
      return TArcType::atPakExe;
    }
  }
  if (FArchiveSize > kLhaStubProbe + 2) {
    std::array<std::uint8_t, 6> Bytes{};
    if (ReadAt(FStream, kLhaStubProbe, Bytes.data(), 6) == 6 && Bytes[0] == '-' &&
        Bytes[1] == 'l' && Bytes[2] == 'h' && Bytes[4] == '-') {
      FZip.FirstHeaderOffset = kLhaStubOffset;
      return TArcType::atLhaExe;
    }
  }
  for (std::int64_t Offset : kZipStubOffsets) {
    if (FArchiveSize <= Offset + 4) continue;
    std::array<std::uint8_t, 4> Bytes{};
    if (ReadAt(FStream, Offset, Bytes.data(), 4) == 4 &&
        GetLE32(Bytes.data()) == kPlainLocalSignature) {
      FinishSfxStub(Offset);
      return TArcType::atZipExe;
    }
  }
  return TArcType::atNA;
}

// The signature of the archive type whose marker byte stands at block offset I: Found and Result
// are set on a hit.
TArcTypeDetector::TScanStep TArcTypeDetector::ProbeScanPosition(const TScanBlock& Block,
                                                                std::int32_t I, std::uint32_t Start,
                                                                TArcType& Found,
                                                                std::uint32_t& Result) {
  const std::uint8_t* B = Block.Bytes;
  const auto Size = static_cast<std::uint64_t>(FArchiveSize);
  const auto F = static_cast<std::uint32_t>(Block.Start + I);
  // The bytes at I .. I + N - 1 were read (the look-ahead lets signatures straddle blocks).
  const auto Has = [&Block, I](std::int32_t N) { return I + N <= Block.Got; };
  const auto Hit = [&](std::uint32_t At, TArcType InExe, TArcType Plain) {
    Result = At;
    Found = Result > 0 ? InExe : Plain;
    return TScanStep::ssFound;
  };
  switch (B[I]) {
    case '*':
      if (F + 5ULL < Size && Has(5) && Matches(B + I + 1, "*ACE"))
        return Hit(F - 7, TArcType::atAceExe, TArcType::atAce);
      break;
    case 'M':
      if (Size > F + 5ULL && Has(8) && Matches(B + I, "MSCF") && GetLE32(B + I + 4) == 0) {
        // In a plain file a cabinet is not looked for: the rest of the block is skipped.
        if (Start == 0) return TScanStep::ssSkipBlock;
        return Hit(F, TArcType::atCabExe, TArcType::atCab);
      }
      break;
    case '-':
      if (F + 5ULL < Size && Has(5) && B[I + 1] == 'l' && B[I + 2] == 'h' && B[I + 4] == '-')
        return Hit(F - 2, TArcType::atLhaExe, TArcType::atLha);
      break;
    case 'B':
      if (Has(8) && GetLE32(B + I) == kBhSignature && GetLE32(B + I + 4) != kBhFalseFollower)
        return Hit(F, TArcType::atBhExe, TArcType::atBh);
      break;
    case 'P':
      if (Has(8) && GetLE32(B + I) == kPlainLocalSignature &&
          GetLE32(B + I + 4) != kZipFalseFollower) {
        Found = Start > 0 ? TArcType::atZipExe : TArcType::atZip;
        const std::int64_t Directory = LocateZipDirectory();
        // The search's -1 (no local header in its windows) counts as nothing found.
        Result = Directory > 0 ? static_cast<std::uint32_t>(Directory) : F;
        return TScanStep::ssFound;
      }
      break;
    case 'R':
      if (Has(4) && Matches(B + I, "Rar!")) return Hit(F, TArcType::atRarExe, TArcType::atRar);
      break;
    case kArjMarker:
      if (Has(4) && B[I + 1] == kArjMarker2) {
        const std::int32_t Next = I + GetLE16(B + I + 2) + kArjHeaderOverhead;
        if (Next + 2 <= Block.Positions && B[Next] == kArjMarker && B[Next + 1] == kArjMarker2)
          return Hit(F, TArcType::atArjExe, TArcType::atArj);
      }
      break;
    default:
      break;
  }
  return TScanStep::ssNone;
}

std::uint32_t TArcTypeDetector::ScanForSignature(TArcType& Found, std::uint32_t Start) {
  Found = TArcType::atNA;
  std::uint32_t Result = 0;
  if (static_cast<std::int64_t>(Start) >= FArchiveSize) return 0;
  std::vector<std::uint8_t> Bytes(kScanBlock + kScanLookAhead);
  for (int Number = 0; Number < kScanBlocks; ++Number) {
    TScanBlock Block;
    Block.Bytes = Bytes.data();
    Block.Start = static_cast<std::int64_t>(Start) + static_cast<std::int64_t>(kScanBlock) * Number;
    Block.Got = ReadAt(FStream, Block.Start, Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
    if (Block.Got <= 0) return Result;
    Block.Positions = std::min(Block.Got, kScanBlock);
    // The first hit (or a skipped rest) ends the block; a hit at offset 0 lets the scan go on.
    for (std::int32_t I = 0; I < Block.Positions; ++I)
      if (ProbeScanPosition(Block, I, Start, Found, Result) != TScanStep::ssNone) break;
    if (Result > 0) return Result;
  }
  return Result;
}

TArcType TArcTypeDetector::ProbeUue() {
  const std::int32_t Wanted = static_cast<std::int32_t>(std::min<std::int64_t>(FArchiveSize, 5000));
  std::vector<std::uint8_t> Text(static_cast<std::size_t>(Wanted));
  const std::int32_t Got = ReadAt(FStream, 0, Text.data(), Wanted);
  bool Armed = false;
  for (std::int32_t I = 0; I + 2 < Got; ++I) {
    if (I > 0 && Text[static_cast<std::size_t>(I - 1)] != '\n') continue;
    const std::uint8_t* Line = Text.data() + I;
    const std::int32_t Left = Got - I;
    if (Left >= 5 && Matches(Line, "begin")) {
      if (Left >= 7 && Line[5] == ' ' && (Line[6] == '6' || Line[6] == '7')) return TArcType::atUUE;
      Armed = true;
    } else if (Armed && Line[0] == 'M') {
      return TArcType::atUUE;
    }
  }
  return TArcType::atNA;
}

TArcType TArcTypeDetector::ProbeTar() {
  if (FArchiveSize <= 512) return TArcType::atNA;
  std::array<std::uint8_t, 512> Header{};
  if (ReadAt(FStream, 0, Header.data(), 512) <= 0) return TArcType::atNA;
  if (Header[156] == 'V') {
    FZip.FirstHeaderOffset = 512;
    if (FArchiveSize < 1024) return TArcType::atNA;
    Header.fill(0);
    if (ReadAt(FStream, 512, Header.data(), 512) <= 0) return TArcType::atNA;
  }
  std::uint32_t Stored = 0;
  for (std::size_t I = 148; I < 156; ++I)
    if (Header[I] >= '0' && Header[I] <= '7') Stored = Stored * 8 + (Header[I] - '0');
  std::uint32_t Sum = 0;
  for (std::size_t I = 0; I < Header.size(); ++I) Sum += (I >= 148 && I < 156) ? 32 : Header[I];
  if (Sum == Stored) return TArcType::atTar;
  FZip.FirstHeaderOffset = -1;
  return TArcType::atNA;
}

// The file's creation time (birth time where the file system keeps one, else its last change of
// contents) as a local DOS date-time.
std::uint32_t TArcTypeDetector::ReadArchiveDate() {
  auto* Handle = dynamic_cast<THandleStream32*>(&FStream);
  if (Handle == nullptr || Handle->Handle() < 0) return kDefaultDosDateTime;
  const auto Time = FileBirthTime(Handle->Handle());
  if (!Time) return kDefaultDosDateTime;
  const auto Dos = TimeToDosDateTime(*Time);
  if (!Dos || *Dos == 0xFFFFFFFFu) return kDefaultDosDateTime;
  return *Dos;
}

std::string LowerExtension(const std::string& Name) {
  const std::size_t Dot = Name.find_last_of(".\\/:");
  if (Dot == std::string::npos || Name[Dot] != '.') return {};
  std::string Extension = Name.substr(Dot);
  for (char& C : Extension) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  return Extension;
}

void ComputeVolumeNaming(TArcType Type, const std::string& ArchiveFile, std::int32_t& Number,
                         char& Letter) {
  using enum TArcType;
  Number = 0;
  std::string Default;
  switch (Type) {
    case atAce:
      Letter = 'C', Default = "Ace";
      break;
    case atArj:
      Letter = 'a', Default = "Arj";
      break;
    case atJar:
    case atJarExe:
      Letter = 'j', Default = "Jar";
      break;
    case atRar:
    case atRarExe:
      Letter = 'q', Default = "Rar";
      break;
    default:
      return;
  }
  std::string Extension = LowerExtension(ArchiveFile);
  if (!Extension.empty()) {
    // The extension as written (LowerExtension only told where it starts).
    Extension = ArchiveFile.substr(ArchiveFile.size() - Extension.size() + 1);
  } else {
    Extension = Default;
  }
  Number = -1;
  for (std::size_t K = Extension.size(); K-- > 0;) {
    if (Extension[K] < '0' || Extension[K] > '9') continue;
    const std::string Digits = Extension.substr(K);
    std::size_t Used = 0;
    long long Value = 0;
    try {
      Value = std::stoll(Digits, &Used, 10);
    } catch (const std::exception&) {
      Used = 0;
    }
    if (Used != Digits.size() || Value > 0x7FFFFFFF)
      throw EConvertError("'" + Digits + "' is not a valid integer value");
    Number = static_cast<std::int32_t>(Value);
    if (K == Extension.size() - 1) Letter = Extension.front();
  }
  if (Number == -1) {
    Number = (Type == atArj || Type == atArjExe) ? 1 : 0;
  } else {
    Number += 1;
  }
}

}  // namespace ruvevid
