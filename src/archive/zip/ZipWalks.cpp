#include "archive/zip/ZipWalks.h"

#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

#include "archive/base/LittleEndian.h"
#include "archive/base/ScopeExit.h"
#include "archive/base/Stream32.h"
#include "archive/base/StreamReads.h"
#include "archive/base/WildcardMask.h"
#include "archive/base/ZipHeaderCipher.h"
#include "archive/base/ZipSignatures.h"
#include "archive/codec/ZipCipher.h"
#include "archive/codec/ZipFlags.h"
#include "archive/zip/BufferedArchiveStream.h"
#include "archive/zip/EntryDriver.h"
#include "archive/zip/EntryWorkerPool.h"
#include "archive/zip/ExtraField.h"
#include "archive/zip/HeaderName.h"
#include "archive/zip/UnZip.h"
#include "archive/zip/ZipVolumeHooks.h"
#include "platform/Application.h"

namespace ruvevid {

namespace {

constexpr std::uint32_t kDirectoryAttr = 0x10;

// Reads a header's fixed part at the stream's position into a cleared buffer.
template <std::size_t N>
bool ReadFixedPart(TStream32& Stream, THeaderBytes<N>& Header) {
  Header.Bytes.fill(0);
  return ReadSome(Stream, Header.data(), static_cast<std::int32_t>(N)) ==
         static_cast<std::int32_t>(N);
}

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
    if (!Input) {
      if (IsStreamlessArcType(FArc.ArcType()))
        FArc.ReportError(FArc.GetArchiveFile(), kNotZipArchive, "0", ecBadFileHeader);
      return;
    }
    // Workers open the archive themselves: only a file the run opened by its name will do.
    if (dynamic_cast<TFileStream32*>(Input.get()) != nullptr) FArchiveSize = Input->Size();
    Input = std::make_unique<TBufferedArchiveStream>(std::move(Input));
    // The directory object is freed when the extraction ends, however it ends.
    FDirectory.Init();
    const auto FreeDirectory = OnScopeExit([this] { FDirectory.Done(); });
    const bool Local = FArc.ZipState().HeaderState == THeaderTypeState{THeaderType::htLocal};
    const std::int32_t Listed = Local ? ReadLocalHeaders(Input) : ReadCentralDirectory(Input);
    // A run in which no entry could be read has failed, whatever the reason: not a zip archive, an
    // empty one, or records that lead nowhere. (A FileSpec that selects nothing is no failure.)
    if (FHeadersRead == 0 && !FDeclined && !FArc.GetCancel()) {
      FArc.ReportError(FArc.GetArchiveFile(),
                       IsZipFamily(FArc.ArcType()) ? kNoEntries : kNotZipArchive, "0",
                       ecBadFileHeader);
    }
    if (Listed > 0 && !RefuseOverlaps()) {
      if (Local) {
        ExtractLocalEntries(Input);
      } else {
        ExtractCentralEntries(Input);
      }
    }
  } catch (const E_RAISE&) {
    // Reported when raised. The run goes on with its end steps; the entries not yet visited are
    // not extracted.
  } catch (const EArchive& Error) {
    // The same, for an error the engine met where nothing reported it (a stream that raised).
    // What is not the engine's own ends the run at Activate, which reports it.
    FArc.ReportError(FArc.GetArchiveFile(), Error.what(), "0", ecUnexpectedError);
  }
}

void TZipWalker::CountEntry(std::int32_t DosDateTime, std::uint64_t PackedSize,
                            std::uint64_t UnpackedSize, std::uint16_t Flags) {
  TRunState& Run = FArc.Run();
  if (DosDateTime > Run.NewestEntryDate) Run.NewestEntryDate = DosDateTime;
  Run.TotalPackedSize += static_cast<std::int64_t>(PackedSize);
  Run.TotalUnpackedSize += static_cast<std::int64_t>(UnpackedSize);
  if ((Flags & kEncryptedFlag) != 0)
    Run.TotalPackedSize -= static_cast<std::int64_t>(kZipEncryptionHeaderSize);
}

std::int32_t TZipWalker::ReadCentralDirectory(std::unique_ptr<TStream32>& Stream) {
  const TTimerPause Paused(FArc.Timer());
  TZipFormatState& Zip = FArc.ZipState();
  TRunState& Run = FArc.Run();
  TCentralHeader& Central = Zip.Headers.Central;
  std::int64_t P = FArc.FirstHeaderOffset();
  Stream->Seek(P, TSeekOrigin::soBeginning);

  // The selected entries in directory order; listed once every local header has been found.
  struct TFound {
    TZipDirEntry Entry;
    TCentralHeader Header;
    TExtraHighWords High;
    std::string Raw;
    std::string Name;
    std::uint64_t SpanEnd = 0;
    bool Landed = true;
  };
  std::vector<TFound> Found;
  const bool VolumeSet = IsSplitOrSpanned(FArc.ArcType());
  bool Cancelled = false;
  const int Passes = Zip.Headers.Ending.ThisDisk() - Zip.Headers.Ending.CentralDirDisk() + 1;
  for (int Pass = 0; Pass < Passes && !Cancelled; ++Pass) {
    ReadFixedPart(*Stream, Central);
    bool Enciphered = false;
    while (GetZipHeaderType(Central.Signature(), THeaderType::htCentral, Enciphered) ==
           THeaderType::htCentral) {
      if (FArc.GetCancel()) {
        Cancelled = true;
        break;
      }
      ++FHeadersRead;
      if (Enciphered) DecodeZipHeader(Central, Run.Decode.Cipher, FArc.HeaderKeyState());
      const std::string Raw =
          ReadHeaderName(*Stream, Central.NameLength(), Enciphered ? &Run.Decode.Cipher : nullptr);
      const TExtraHighWords High = ReadExtraField(*Stream, Central.ExtraLength(), Central);
      Zip.HighWords = High;
      Run.EntryName = TranslateEntryName(Raw, Central.Flags(), FArc.TranslateOemChar);

      if (MatchFileSpec(Run.EntryName, FArc.FileSpec, &Run.ExcludeList, FArc.RecurseDirs)) {
        TFound Item{{}, Central, High, Raw, Run.EntryName};
        TZipDirEntry& Entry = Item.Entry;
        Entry.DiskNumber = static_cast<std::uint16_t>(Central.DiskNumberStart() + 1);
        Entry.HeaderOffset =
            Join48(Central.LocalHeaderOffset(), High.HeaderOffset) + Zip.OffsetAdjust;
        Entry.ExternalAttr = Central.ExternalAttr();
        // At least the fixed local header and the data lie behind the offset.
        const std::uint64_t Packed = Join48(Central.PackedSize(), High.PackedSize);
        Item.SpanEnd = Entry.HeaderOffset + TLocalHeader::kSize + Packed;
        if (!VolumeSet) {
          TLocalHeader& Local = Zip.Headers.Local;
          Local.Bytes.fill(0);
          ReadAt(*Stream, static_cast<std::int64_t>(Entry.HeaderOffset), Local.data(),
                 static_cast<std::int32_t>(TLocalHeader::kSize));
          Item.Landed = IsLocalHeaderSignature(Local.Signature());
          if (Item.Landed) Item.SpanEnd += Local.NameLength() + Local.ExtraLength();
        }
        Found.push_back(std::move(Item));
      }
      if (FArc.GetCancel()) {
        Cancelled = true;
        break;
      }

      P += static_cast<std::int64_t>(TCentralHeader::kSize) + Central.NameLength() +
           Central.ExtraLength() + Central.CommentLength();
      Stream->Seek(P, TSeekOrigin::soBeginning);
      ReadFixedPart(*Stream, Central);
    }
  }

  // Offsets that do not land on local headers (data written in front of the archive or inside it
  // after the offsets were taken): the entries are looked for among the local headers themselves.
  const bool Unlanded =
      std::any_of(Found.begin(), Found.end(), [](const TFound& Item) { return !Item.Landed; });
  if (Unlanded && !Cancelled) {
    std::vector<TLocalRecord> Locals = ListLocalHeaders(*Stream, FArc.FirstHeaderOffset());
    std::vector<bool> Used(Locals.size(), false);
    for (TFound& Item : Found) {
      if (Item.Landed) continue;
      for (std::size_t K = 0; K < Locals.size(); ++K) {
        if (Used[K] || Locals[K].Raw != Item.Raw) continue;
        Used[K] = true;
        Item.Landed = true;
        Item.Entry.HeaderOffset = static_cast<std::uint64_t>(Locals[K].Offset);
        Item.SpanEnd = static_cast<std::uint64_t>(Locals[K].DataEnd);
        break;
      }
    }
  }
  for (const TFound& Item : Found) {
    if (!Item.Landed) {
      FArc.ReportError(Item.Name, "", "0", ecBadFileHeader);
      continue;
    }
    FDirectory.Add(Item.Entry, Item.Header.data(), TCentralHeader::kSize);
    CountEntry(Item.Header.DosDateTime(), Join48(Item.Header.PackedSize(), Item.High.PackedSize),
               Join48(Item.Header.UnpackedSize(), Item.High.UnpackedSize), Item.Header.Flags());
    TListed Listed;
    Listed.Span = {Item.Entry.DiskNumber, Item.Entry.HeaderOffset, Item.SpanEnd};
    FListed.push_back(Listed);
  }
  return FDirectory.Count();
}

bool TZipWalker::ReadLocalRecord(TStream32& Stream, std::int64_t P, TLocalRecord& Record) {
  TZipFormatState& Zip = FArc.ZipState();
  TRunState& Run = FArc.Run();
  TLocalHeader& Local = Zip.Headers.Local;
  Local.Bytes.fill(0);
  if (P < 0 || ReadAt(Stream, P, Local.data(), static_cast<std::int32_t>(TLocalHeader::kSize)) !=
                   static_cast<std::int32_t>(TLocalHeader::kSize))
    return false;
  bool Enciphered = false;
  if (GetZipHeaderType(Local.Signature(), THeaderType::htLocal, Enciphered) != THeaderType::htLocal)
    return false;
  if (Enciphered) DecodeZipHeader(Local, Run.Decode.Cipher, FArc.HeaderKeyState());
  // Sizes deferred to a zip64 record are 64-bit in the data descriptor too.
  const bool Zip64 = Local.PackedSize() == 0xFFFFFFFFu || Local.UnpackedSize() == 0xFFFFFFFFu;
  Record.Offset = P;
  Record.Raw =
      ReadHeaderName(Stream, Local.NameLength(), Enciphered ? &Run.Decode.Cipher : nullptr);
  Record.High = ReadExtraField(Stream, Local.ExtraLength(), Local);
  Zip.HighWords = Record.High;
  Record.Header = Local;
  Record.PackedSize = Join48(Local.PackedSize(), Record.High.PackedSize);
  Record.UnpackedSize = Join48(Local.UnpackedSize(), Record.High.UnpackedSize);
  const std::int64_t DataStart =
      P + static_cast<std::int64_t>(TLocalHeader::kSize) + Local.NameLength() + Local.ExtraLength();
  Record.Descriptor.reset();
  Record.DataEnd = DataStart + static_cast<std::int64_t>(Record.PackedSize);
  Record.Next = Record.DataEnd;
  if ((Local.Flags() & kDataDescriptorFlag) != 0 && Record.PackedSize == 0) {
    // The sizes and the CRC follow the data: the descriptor tells where the data ends.
    Record.Descriptor = FindDataDescriptor(Stream, DataStart, Zip64);
    if (Record.Descriptor) {
      Record.PackedSize = Record.Descriptor->PackedSize;
      Record.UnpackedSize = Record.Descriptor->UnpackedSize;
      Record.DataEnd = DataStart + static_cast<std::int64_t>(Record.PackedSize);
      Record.Next = Record.Descriptor->End;
    } else {
      Record.UnpackedSize = 0;
      Record.DataEnd = Stream.GetSize();
      Record.Next = -1;
    }
  }
  return true;
}

std::vector<TZipWalker::TLocalRecord> TZipWalker::ListLocalHeaders(TStream32& Stream,
                                                                   std::int64_t Limit) {
  std::vector<TLocalRecord> Records;
  // The first local header in the file, in front of the central directory.
  std::vector<std::uint8_t> Block(65536);
  std::int64_t P = -1;
  for (std::int64_t At = 0; At < Limit && P < 0;
       At += static_cast<std::int64_t>(Block.size()) - 3) {
    const std::int32_t Got =
        ReadAt(Stream, At, Block.data(), static_cast<std::int32_t>(Block.size()));
    for (std::int32_t J = 0; J + 4 <= Got; ++J) {
      if (Block[static_cast<std::size_t>(J)] == 'P' &&
          IsLocalHeaderSignature(GetLE32(Block.data() + J))) {
        P = At + J;
        break;
      }
    }
    if (Got < static_cast<std::int32_t>(Block.size())) break;
  }
  TLocalRecord Record;
  while (P >= 0 && P < Limit && ReadLocalRecord(Stream, P, Record)) {
    Records.push_back(Record);
    P = Record.Next;
  }
  return Records;
}

bool TZipWalker::RefuseOverlaps() {
  std::vector<TEntrySpan> Spans;
  Spans.reserve(FListed.size());
  for (const TListed& Listed : FListed) Spans.push_back(Listed.Span);
  if (!SpansOverlap(std::move(Spans))) return false;
  // Several entries over the same bytes: a damaged archive, or one made to have those bytes
  // decoded and written again and again.
  FArc.ReportError(FArc.GetArchiveFile(), kOverlappedEntries, "0", ecBadFileHeader);
  return true;
}

std::int32_t TZipWalker::ReadLocalHeaders(std::unique_ptr<TStream32>& Stream) {
  const TTimerPause Paused(FArc.Timer());
  TZipFormatState& Zip = FArc.ZipState();
  TRunState& Run = FArc.Run();
  if (FArc.OnCorruptZipHeader) {
    bool Cancel = true;
    FArc.OnCorruptZipHeader(&FArc, Zip.HeaderState, Cancel);
    // The application chose not to read the damaged archive: nothing to report.
    FDeclined = Cancel;
    if (Cancel) return 0;
  }

  std::int64_t P = FArc.FirstHeaderOffset();
  std::array<std::uint8_t, 4> Marker{};
  if (ReadAt(*Stream, P, Marker.data(), 4) == 4 && GetLE32(Marker.data()) == kSplitMarkerSignature)
    P += 4;
  TLocalRecord Record;
  while (ReadLocalRecord(*Stream, P, Record)) {
    if (FArc.GetCancel()) break;
    ++FHeadersRead;
    Run.EntryName = TranslateEntryName(Record.Raw, Record.Header.Flags(), FArc.TranslateOemChar);
    if (!Run.EntryName.empty() &&
        MatchFileSpec(Run.EntryName, FArc.FileSpec, &Run.ExcludeList, FArc.RecurseDirs)) {
      TZipDirEntry& Entry = Run.ScratchEntry;
      Entry.DiskNumber = 1;
      Entry.HeaderOffset = static_cast<std::uint64_t>(P);
      // Without a central header there are no attributes; a name that ends in a separator is
      // still a directory.
      Entry.ExternalAttr = TPathRules::IsSeparator(Run.EntryName.back()) ? kDirectoryAttr : 0;
      FDirectory.Add(Entry, nullptr, 0);
      CountEntry(Record.Header.DosDateTime(), Record.PackedSize, Record.UnpackedSize,
                 Record.Header.Flags());
      TListed Listed;
      Listed.Span = {1, Entry.HeaderOffset, static_cast<std::uint64_t>(Record.DataEnd)};
      Listed.Descriptor = Record.Descriptor;
      Listed.SizeKnown = Record.Next >= 0;
      FListed.push_back(Listed);
    }
    // Where an entry without its descriptor ends cannot be told: the walk ends with it.
    if (Record.Next < 0) break;
    P = Record.Next;
  }
  return FDirectory.Count();
}

void TZipWalker::VisitEntry(std::unique_ptr<TStream32>& Stream, const TZipDirEntry& Entry,
                            bool ComposeOutputName, bool ListedFromCentral,
                            const TAheadEntry& Ahead) {
  TRunState& Run = FArc.Run();
  if (ComposeOutputName) {
    FArc.SetOutputName(Run.EntryName);
  } else {
    Run.OutputName = Run.EntryName;
  }
  ExtractEntry(FArc, FVolumes, Stream, Entry.ExternalAttr, ListedFromCentral, Ahead);
}

TZipWalker::TEntryStep TZipWalker::BeginEntry(std::unique_ptr<TStream32>& Stream, std::int32_t I,
                                              bool ListedFromCentral) {
  if (FArc.GetCancel()) return TEntryStep::esStop;
  TZipDirEntry& Entry = FDirectory.GetEntry(I);
  FArc.Run().CurrentEntry = &Entry;
  const TArcType Type = FArc.ArcType();
  const std::int32_t Last = FArc.ZipState().Headers.Ending.ThisDisk();
  if (IsSplitOrSpanned(Type) && ListedFromCentral && Entry.DiskNumber - 1 > Last) {
    // No such part: the entry is damaged, the others may not be. It counts as done.
    FArc.ReportError(FArc.GetArchiveFile(), kPastLastPart, std::to_string(Entry.DiskNumber),
                     ecBadFileHeader);
    if (const std::vector<std::uint8_t>* Data = FDirectory.GetData(I);
        Data != nullptr && Data->size() >= TCentralHeader::kSize) {
      TCentralHeader Central;
      std::copy_n(Data->begin(), TCentralHeader::kSize, Central.Bytes.begin());
      FArc.Run().BytesRemaining -= Central.UnpackedSize();
    }
    return TEntryStep::esSkip;
  }
  // The first entry brings its disk up. A later one of the central list does when it starts on
  // another disk than the one in the drive, as after an entry whose data ended with its disk (the
  // local list knows no disk numbers).
  if (Type == TArcType::atZipDS &&
      (I == 0 || (ListedFromCentral && Entry.DiskNumber + 1 != FVolumes.WantedDisk()))) {
    FVolumes.SetWantedDisk(Entry.DiskNumber);
    if (!FVolumes.BringUpDisk(FArc, Stream)) return TEntryStep::esStop;
  } else if (Type == TArcType::atZipMV && ListedFromCentral &&
             Entry.DiskNumber != FArc.VolumeNumber()) {
    if (Stream && FArc.VolumeNameFor(Entry.DiskNumber - 1, Last) == FArc.Run().CurrentVolumeName) {
      // The part is the one open already.
      FArc.SetVolumeNumber(Entry.DiskNumber);
    } else if (!FVolumes.OpenNextVolume(FArc, Stream, Entry.DiskNumber - 1, Last)) {
      return TEntryStep::esStop;
    }
  }
  return Stream != nullptr ? TEntryStep::esExtract : TEntryStep::esStop;
}

TEntryListing TZipWalker::ListingOf(std::int32_t I, bool ListedFromCentral) {
  TEntryListing Listing;
  Listing.Entry = FDirectory.GetEntry(I);
  Listing.ListedFromCentral = ListedFromCentral;
  if (ListedFromCentral) {
    if (const std::vector<std::uint8_t>* Data = FDirectory.GetData(I); Data != nullptr)
      Listing.Central = *Data;
  } else {
    const TListed& Listed = FListed[static_cast<std::size_t>(I)];
    Listing.Descriptor = Listed.Descriptor;
    Listing.SizeKnown = Listed.SizeKnown;
  }
  return Listing;
}

std::unique_ptr<TEntryWorkerPool> TZipWalker::StartWorkers() {
  std::int32_t Workers = FArc.Threads;
  if (Workers <= 0) Workers = static_cast<std::int32_t>(std::thread::hardware_concurrency());
  Workers = std::min(Workers, FDirectory.Count());
  // The volume events and the drive decide where the data of a split or spanned set goes on, and
  // OnFileExists may change the name and the decision before anything is written: one thread.
  // So too when the workers could not read the archive themselves, or no entry can be accepted.
  if (Workers <= 1 || FArchiveSize < 0 || IsSplitOrSpanned(FArc.ArcType()) ||
      FArc.ConfirmOverwrites || FArc.OverwriteMode != TOverwriteMode::omOverwrite ||
      FArc.Run().OutputMode != 0)
    return nullptr;
  std::string Folder = TEntryWorkerPool::MakeFolder(FArc);
  if (Folder.empty()) return nullptr;
  return std::make_unique<TEntryWorkerPool>(FArc, Workers, FArchiveSize, std::move(Folder));
}

void TZipWalker::FillWindow(TEntryWorkerPool& Pool, std::int32_t Current, std::int32_t& Next,
                            bool ListedFromCentral) {
  const TRunState& Run = FArc.Run();
  Next = std::max(Next, Current);
  while (Next < FDirectory.Count() && Next < Current + Pool.Window()) {
    const std::int32_t I = Next++;
    // Folders decode nothing.
    if ((FDirectory.GetEntry(I).ExternalAttr & kDirectoryAttr) != 0) continue;
    TEntryListing Listing = ListingOf(I, ListedFromCentral);
    // The passwords known now, in the order the password flow tries them; an encrypted entry
    // that none of them opens is left to the caller's thread, which may ask for another.
    if (!Run.Password.empty()) Listing.Passwords.push_back(Run.Password);
    Listing.Passwords.insert(Listing.Passwords.end(), FArc.Passwords.begin(), FArc.Passwords.end());
    Pool.Submit(I, std::move(Listing));
  }
}

void TZipWalker::ExtractCentralEntries(std::unique_ptr<TStream32>& Stream) {
  ExtractEntries(Stream, true);
}

void TZipWalker::ExtractLocalEntries(std::unique_ptr<TStream32>& Stream) {
  ExtractEntries(Stream, false);
}

void TZipWalker::ExtractEntries(std::unique_ptr<TStream32>& Stream, bool ListedFromCentral) {
  TRunState& Run = FArc.Run();
  Run.BytesRemaining = Run.TotalUnpackedSize;
  const std::unique_ptr<TEntryWorkerPool> Pool = StartWorkers();
  std::int32_t Next = 0;
  for (std::int32_t I = 0; I < FDirectory.Count(); ++I) {
    if (Pool) FillWindow(*Pool, I, Next, ListedFromCentral);
    const auto Done = OnScopeExit([&Pool, I] {
      if (Pool) Pool->Release(I);
    });
    const TEntryStep Step = BeginEntry(Stream, I, ListedFromCentral);
    if (Step == TEntryStep::esStop) break;
    if (Step == TEntryStep::esSkip) continue;
    const TZipDirEntry& Entry = *Run.CurrentEntry;
    Run.EntryName = ReadEntryHeader(FArc, *Stream, ListingOf(I, ListedFromCentral));
    TAheadEntry Ahead;
    if (Pool) {
      // A long entry on a worker must not freeze the application's window, nor keep a cancel
      // waiting for its end.
      Ahead = [this, &Pool, I] {
        return Pool->Wait(I, [this] {
          if (FArc.Application() != nullptr) FArc.Application()->ProcessMessages();
          return !FArc.GetCancel();
        });
      };
    }
    VisitEntry(Stream, Entry, !ListedFromCentral || Run.OutputMode == 0, ListedFromCentral, Ahead);
  }
}

}  // namespace ruvevid
