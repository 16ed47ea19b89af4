#include "archive/zip/ZipWalks.h"

#include <algorithm>
#include <vector>

#include "archive/base/Stream32.h"
#include "archive/base/UnZip.h"
#include "archive/base/WildcardMask.h"
#include "archive/zip/BufferedArchiveStream.h"
#include "archive/zip/EntryDriver.h"
#include "archive/zip/ExtraField.h"
#include "archive/zip/HeaderName.h"
#include "archive/zip/StreamReads.h"
#include "archive/zip/ZipHeaderCipher.h"
#include "archive/zip/ZipSignatures.h"
#include "archive/zip/ZipVolumeHooks.h"

namespace ruvevid {

namespace {

constexpr std::uint16_t kEncryptedFlag = 0x0001;
constexpr std::uint32_t kDirectoryAttr = 0x10;
constexpr std::int64_t kEncryptionHeaderSize = 12;

bool IsVolumeSet(TArcType Type) {
  return Type == TArcType::atZipDS || Type == TArcType::atZipMV;
}

// Reads a header's fixed part at the stream's position into a cleared buffer.
template <std::size_t N>
bool ReadFixedPart(TStream32& Stream, THeaderBytes<N>& Header) {
  Header.Bytes.fill(0);
  return ReadSome(Stream, Header.data(), static_cast<std::int32_t>(N)) ==
         static_cast<std::int32_t>(N);
}

// Frees the directory object when the extraction ends, however it ends.
class TDirectoryLifetime {
 public:
  explicit TDirectoryLifetime(THeaderObj& Directory) : FDirectory(Directory) { FDirectory.Init(); }
  ~TDirectoryLifetime() { FDirectory.Done(); }
  TDirectoryLifetime(const TDirectoryLifetime&) = delete;
  TDirectoryLifetime& operator=(const TDirectoryLifetime&) = delete;

 private:
  THeaderObj& FDirectory;
};

}  // namespace

void ExtractZip(TUnZip& Arc, std::unique_ptr<TStream32>& Input) {
  TZipVolumeHooks SingleVolume;
  ExtractZip(Arc, Input, SingleVolume);
}

void ExtractZip(TUnZip& Arc, std::unique_ptr<TStream32>& Input, TZipVolumeHooks& Volumes) {
  TZipWalker Walker(Arc, Volumes);
  Walker.ExtractZip(Input);
}

TZipWalker::TZipWalker(TUnZip& Arc, TZipVolumeHooks& Volumes) : FArc(Arc), FVolumes(Volumes) {
  FDirectory.Init();
}

void TZipWalker::ExtractZip(std::unique_ptr<TStream32>& Input) {
  try {
    if (FArc.ArcType() == TArcType::atZipDS) {
      FVolumes.InitSpannedSet(FArc);
      FVolumes.SetWantedDisk(0);
      if (!FVolumes.BringUpDisk(FArc, Input)) return;
    }
    if (!Input) return;
    Input = std::make_unique<TBufferedArchiveStream>(std::move(Input));
    const TDirectoryLifetime Lifetime(FDirectory);
    if (FArc.ZipState().HeaderState == THeaderTypeState{THeaderType::htLocal}) {
      if (ReadLocalHeaders(Input) > 0) ExtractLocalEntries(Input);
    } else {
      if (ReadCentralDirectory(Input) > 0) ExtractCentralEntries(Input);
    }
  } catch (...) {
    // The run goes on with its end steps; the entries not yet visited are not extracted.
  }
}

void TZipWalker::CountEntry(std::int32_t DosDateTime, std::uint64_t PackedSize,
                            std::uint64_t UnpackedSize, std::uint16_t Flags) {
  TRunState& Run = FArc.Run();
  if (DosDateTime > Run.NewestEntryDate) Run.NewestEntryDate = DosDateTime;
  Run.TotalPackedSize += static_cast<std::int64_t>(PackedSize);
  Run.TotalUnpackedSize += static_cast<std::int64_t>(UnpackedSize);
  if ((Flags & kEncryptedFlag) != 0) Run.TotalPackedSize -= kEncryptionHeaderSize;
}

std::int32_t TZipWalker::ReadCentralDirectory(std::unique_ptr<TStream32>& Stream) {
  const TTimerPause Paused(FArc.Timer());
  TZipFormatState& Zip = FArc.ZipState();
  TRunState& Run = FArc.Run();
  TCentralHeader& Central = Zip.Headers.Central;
  std::int64_t P = FArc.FirstHeaderOffset();
  Stream->Seek(P, TSeekOrigin::soBeginning);

  const int Passes = Zip.Headers.Ending.ThisDisk() - Zip.Headers.Ending.CentralDirDisk() + 1;
  for (int Pass = 0; Pass < Passes; ++Pass) {
    ReadFixedPart(*Stream, Central);
    bool Enciphered = false;
    while (GetZipHeaderType(Central.Signature(), THeaderType::htCentral, Enciphered) ==
           THeaderType::htCentral) {
      if (FArc.GetCancel()) return FDirectory.Count();
      if (Enciphered) DecodeZipHeader(Central, Run.Cipher, FArc.HeaderKeyState());
      const std::string Raw =
          ReadHeaderName(*Stream, Central.NameLength(), Enciphered ? &Run.Cipher : nullptr);
      const TExtraHighWords High = ReadExtraField(*Stream, Central.ExtraLength(), Central);
      Zip.HighWords = High;
      Run.EntryName = TranslateEntryName(Raw, Central.Flags(), FArc.TranslateOemChar);

      if (MatchFileSpec(Run.EntryName, FArc.FileSpec, &Run.ExcludeList, FArc.RecurseDirs)) {
        TZipDirEntry Entry;
        Entry.DiskNumber = static_cast<std::uint16_t>(Central.DiskNumberStart() + 1);
        Entry.HeaderOffset =
            Join48(Central.LocalHeaderOffset(), High.HeaderOffset) + Zip.OffsetAdjust;
        Entry.ExternalAttr = Central.ExternalAttr();
        bool Listed = true;
        if (!IsVolumeSet(FArc.ArcType())) {
          TLocalHeader& Local = Zip.Headers.Local;
          Local.Bytes.fill(0);
          ReadAt(*Stream, static_cast<std::int64_t>(Entry.HeaderOffset), Local.data(),
                 static_cast<std::int32_t>(TLocalHeader::kSize));
          if (!IsLocalHeaderSignature(Local.Signature())) {
            FArc.ReportError(Run.EntryName, "", "0", ecBadFileHeader);
            Listed = false;
          }
        }
        if (Listed && FDirectory.Add(Entry, Central.data(), TCentralHeader::kSize)) {
          CountEntry(Central.DosDateTime(), Join48(Central.PackedSize(), High.PackedSize),
                     Join48(Central.UnpackedSize(), High.UnpackedSize), Central.Flags());
        }
      }
      if (FArc.GetCancel()) return FDirectory.Count();

      P += static_cast<std::int64_t>(TCentralHeader::kSize) + Central.NameLength() +
           Central.ExtraLength() + Central.CommentLength();
      Stream->Seek(P, TSeekOrigin::soBeginning);
      ReadFixedPart(*Stream, Central);
    }
  }
  return FDirectory.Count();
}

std::int32_t TZipWalker::ReadLocalHeaders(std::unique_ptr<TStream32>& Stream) {
  const TTimerPause Paused(FArc.Timer());
  TZipFormatState& Zip = FArc.ZipState();
  TRunState& Run = FArc.Run();
  if (FArc.OnCorruptZipHeader) {
    bool Cancel = true;
    FArc.OnCorruptZipHeader(&FArc, Zip.HeaderState, Cancel);
    if (Cancel) return 0;
  }

  TLocalHeader& Local = Zip.Headers.Local;
  std::int64_t P = FArc.FirstHeaderOffset();
  const auto ReadLocal = [&] {
    Local.Bytes.fill(0);
    return ReadAt(*Stream, P, Local.data(), static_cast<std::int32_t>(TLocalHeader::kSize)) ==
           static_cast<std::int32_t>(TLocalHeader::kSize);
  };
  bool Got = ReadLocal();
  if (Got && Local.Signature() == kSplitMarkerSignature) {
    P += 4;
    Got = ReadLocal();
  }
  bool Enciphered = false;
  while (Got && GetZipHeaderType(Local.Signature(), THeaderType::htLocal, Enciphered) ==
                    THeaderType::htLocal) {
    if (FArc.GetCancel()) break;
    TExtraHighWords High;
    // The next header is found from this one's lengths whether or not reading it went well.
    const auto Advance = [&] {
      P += static_cast<std::int64_t>(TLocalHeader::kSize) + Local.NameLength() +
           Local.ExtraLength() +
           static_cast<std::int64_t>(Join48(Local.PackedSize(), High.PackedSize));
      Got = ReadLocal();
    };
    try {
      if (Enciphered) DecodeZipHeader(Local, Run.Cipher, FArc.HeaderKeyState());
      const std::string Raw =
          ReadHeaderName(*Stream, Local.NameLength(), Enciphered ? &Run.Cipher : nullptr);
      High = ReadExtraField(*Stream, Local.ExtraLength(), Local);
      Zip.HighWords = High;
      Run.EntryName = TranslateEntryName(Raw, Local.Flags(), FArc.TranslateOemChar);
      if (!Run.EntryName.empty() &&
          MatchFileSpec(Run.EntryName, FArc.FileSpec, &Run.ExcludeList, FArc.RecurseDirs)) {
        TZipDirEntry& Entry = Run.ScratchEntry;
        Entry.DiskNumber = 1;
        Entry.HeaderOffset = static_cast<std::uint64_t>(P);
        // Without a central header there are no attributes; a name that ends in a separator is
        // still a directory.
        Entry.ExternalAttr = TPathRules::IsSeparator(Run.EntryName.back()) ? kDirectoryAttr : 0;
        if (FDirectory.Add(Entry, nullptr, 0)) {
          CountEntry(Local.DosDateTime(), Join48(Local.PackedSize(), High.PackedSize),
                     Join48(Local.UnpackedSize(), High.UnpackedSize), Local.Flags());
        }
      }
    } catch (...) {
      Advance();
      throw;
    }
    Advance();
  }
  return FDirectory.Count();
}

std::string TZipWalker::ReadLocalEntryHeader(TStream32& Stream, const TZipDirEntry& Entry) {
  TZipFormatState& Zip = FArc.ZipState();
  TRunState& Run = FArc.Run();
  TLocalHeader& Local = Zip.Headers.Local;
  Local.Bytes.fill(0);
  ReadAt(Stream, static_cast<std::int64_t>(Entry.HeaderOffset), Local.data(),
         static_cast<std::int32_t>(TLocalHeader::kSize));
  bool Enciphered = false;
  GetZipHeaderType(Local.Signature(), THeaderType::htLocal, Enciphered);
  if (Enciphered) DecodeZipHeader(Local, Run.Cipher, FArc.HeaderKeyState());
  const std::string Raw =
      ReadHeaderName(Stream, Local.NameLength(), Enciphered ? &Run.Cipher : nullptr);
  Zip.HighWords = ReadExtraField(Stream, Local.ExtraLength(), Local);
  return TranslateEntryName(Raw, Local.Flags(), FArc.TranslateOemChar);
}

void TZipWalker::VisitEntry(std::unique_ptr<TStream32>& Stream, const TZipDirEntry& Entry,
                            bool ComposeOutputName, bool ListedFromCentral) {
  TRunState& Run = FArc.Run();
  if (ComposeOutputName) {
    FArc.SetOutputName(Run.EntryName);
  } else {
    Run.OutputName = Run.EntryName;
  }
  ExtractEntry(FArc, FVolumes, Stream, Entry.ExternalAttr, ListedFromCentral);
}

bool TZipWalker::BeginEntry(std::unique_ptr<TStream32>& Stream, std::int32_t i,
                            bool ListedFromCentral) {
  if (FArc.GetCancel()) return false;
  TZipDirEntry& Entry = FDirectory.GetEntry(i);
  FArc.Run().CurrentEntry = &Entry;
  const TArcType Type = FArc.ArcType();
  // The first entry brings its disk up. A later one of the central list does when it starts on
  // another disk than the one in the drive, as after an entry whose data ended with its disk (the
  // local list knows no disk numbers).
  if (Type == TArcType::atZipDS &&
      (i == 0 || (ListedFromCentral && Entry.DiskNumber + 1 != FVolumes.WantedDisk()))) {
    FVolumes.SetWantedDisk(Entry.DiskNumber);
    if (!FVolumes.BringUpDisk(FArc, Stream)) return false;
  } else if (Type == TArcType::atZipMV && ListedFromCentral &&
             Entry.DiskNumber != FArc.VolumeNumber()) {
    if (!FVolumes.OpenNextVolume(FArc, Stream, Entry.DiskNumber - 1,
                                 FArc.ZipState().Headers.Ending.ThisDisk())) {
      return false;
    }
  }
  return Stream != nullptr;
}

void TZipWalker::ExtractCentralEntries(std::unique_ptr<TStream32>& Stream) {
  TZipFormatState& Zip = FArc.ZipState();
  TRunState& Run = FArc.Run();
  Run.BytesRemaining = Run.TotalUnpackedSize;
  for (std::int32_t i = 0; i < FDirectory.Count(); ++i) {
    if (!BeginEntry(Stream, i, true)) break;
    const TZipDirEntry& Entry = *Run.CurrentEntry;
    const std::string Name = ReadLocalEntryHeader(*Stream, Entry);
    const std::vector<std::uint8_t>* Data = FDirectory.GetData(i);
    TCentralHeader& Central = Zip.Headers.Central;
    Central.Bytes.fill(0);
    if (Data != nullptr) {
      std::copy_n(Data->begin(), std::min(Data->size(), TCentralHeader::kSize),
                  Central.Bytes.begin());
    }
    TZipEntryInfo& Info = Run.EntryInfo;
    Info.Flags = Central.Flags();
    Info.Method = Central.Method();
    Info.PackedSize = Join48(Central.PackedSize(), Zip.HighWords.PackedSize);
    Info.UnpackedSize = Join48(Central.UnpackedSize(), Zip.HighWords.UnpackedSize);
    Run.EntryName = Name;
    VisitEntry(Stream, Entry, Run.OutputMode == 0, true);
  }
}

void TZipWalker::ExtractLocalEntries(std::unique_ptr<TStream32>& Stream) {
  TZipFormatState& Zip = FArc.ZipState();
  TRunState& Run = FArc.Run();
  Run.BytesRemaining = Run.TotalUnpackedSize;
  for (std::int32_t i = 0; i < FDirectory.Count(); ++i) {
    if (!BeginEntry(Stream, i, false)) break;
    const TZipDirEntry& Entry = *Run.CurrentEntry;
    const std::string Name = ReadLocalEntryHeader(*Stream, Entry);
    const TLocalHeader& Local = Zip.Headers.Local;
    TZipEntryInfo& Info = Run.EntryInfo;
    Info.Flags = Local.Flags();
    Info.Method = Local.Method();
    Info.PackedSize = Join48(Local.PackedSize(), Zip.HighWords.PackedSize);
    Info.UnpackedSize = Join48(Local.UnpackedSize(), Zip.HighWords.UnpackedSize);
    Run.EntryName = Name;
    VisitEntry(Stream, Entry, true, false);
  }
}

}  // namespace ruvevid
