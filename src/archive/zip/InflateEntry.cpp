#include "archive/zip/InflateEntry.h"

#include <algorithm>
#include <memory>
#include <new>

#include "archive/base/ArcErrors.h"
#include "archive/base/DecompressStream.h"
#include "archive/base/ZipCommon.h"
#include "archive/codec/Crc.h"
#include "platform/Application.h"

namespace ruvevid {

namespace {

struct TEntrySize {
  std::int64_t Expected = 0;
  bool Encrypted = false;
};

TEntrySize EntrySize(const TZipCommon& Component) {
  const TZipFormatState& Zip = Component.ZipState();
  const TRunState& Run = Component.Run();
  const bool Local = Zip.HeaderState == THeaderTypeState{THeaderType::htLocal};
  const std::uint32_t Low =
      Local ? Zip.Headers.Local.UnpackedSize() : Zip.Headers.Central.UnpackedSize();
  const std::uint16_t Flags = Local ? Zip.Headers.Local.Flags() : Zip.Headers.Central.Flags();
  TEntrySize Size;
  Size.Expected = static_cast<std::int64_t>(
      Low | (static_cast<std::uint64_t>(Zip.HighWords.UnpackedSize) << 32));
  Size.Encrypted = (Flags & 1) != 0;
  // An entry whose sizes were deferred to a data descriptor has them from the walk (descriptor
  // found) or is decoded until its data ends, within the entry's output limit.
  if (Local && (Flags & 0x0008u) != 0) {
    Size.Expected = Run.EntrySizeKnown ? static_cast<std::int64_t>(Run.EntryInfo.UnpackedSize)
                                       : std::max<std::int64_t>(Run.OutputLimit, 0);
  }
  return Size;
}

struct TBlockReturn {
  TInflateBlockCache* Memory;
  void operator()(void* Block) const { Memory->Release(Block); }
};

// The bookkeeping after Count decoded bytes went to the output (or were given up on).
void Account(TZipCommon& Component, std::int64_t Count, std::int64_t Expected) {
  TRunState& Run = Component.Run();
  Run.BytesRemaining -= Count;
  Run.OutputBytesExpected -= Count;
  Component.ReportProgress(Expected - Run.OutputBytesExpected, Expected, Run.TotalUnpackedSize);
}

// What the entry still owes the archive's progress when its data ends or fails: the rest of its
// declared size (nothing for an entry whose size is not known).
std::int64_t Unproduced(const TZipCommon& Component) {
  return std::max<std::int64_t>(Component.Run().OutputBytesExpected, 0);
}

void WriteChunk(TZipCommon& Component, TStream32& Output, std::uint8_t* Buffer,
                std::int32_t Count) {
  if (Component.WriteHandler(Output, Buffer, Count, false, CrcKind32, 1) == 0) {
    Component.RaiseError(Component.Run().OutputName, "", "0", ecWriteError);
  }
}

}  // namespace

void InflateEntry(TZipCommon& Component, std::unique_ptr<TStream32>& ArchiveStream,
                  TStream32& Output, std::int8_t WindowBits, TInflateVariant Variant,
                  const TInflateNextVolume& NextVolume) {
  const TEntrySize Size = EntrySize(Component);
  TDecompressStream Stream(*ArchiveStream, WindowBits, Variant, &Component.Run().InflateMemory);
  Stream.Record().DecryptInput = Size.Encrypted;
  Stream.Decipher = [&Component](std::uint8_t* Buffer, std::int32_t Count) {
    Component.DecodeBuffer(true, Buffer, Count);
  };
  std::int64_t Remaining = Size.Expected;
  std::int32_t Chunk =
      static_cast<std::int32_t>(std::min<std::int64_t>(Remaining, kInflateChunkSize));
  // The output chunk: a block of the full chunk size from the run's cache whatever the entry's
  // size, so that every entry takes the same block again.
  TInflateBlockCache& Memory = Component.Run().InflateMemory;
  const std::unique_ptr<void, TBlockReturn> Block(Memory.Acquire(kInflateChunkSize, false),
                                                  TBlockReturn{&Memory});
  if (!Block) throw std::bad_alloc();
  const auto Buffer = static_cast<std::uint8_t*>(Block.get());
  bool Failed = Stream.InitResult() != kInflateOk;

  while (Remaining > 0 && !Failed) {
    if (Component.GetCancel()) break;
    if (Component.Application() != nullptr) Component.Application()->ProcessMessages();
    try {
      const std::int32_t Got = Stream.Read(Buffer, Chunk);
      if (Got > 0) {
        // At the end of the data fewer bytes than asked for may have come.
        const std::int32_t Produced = Chunk - static_cast<std::int32_t>(Stream.Record().AvailOut);
        if (Produced > 0) WriteChunk(Component, Output, Buffer, Produced);
        Account(Component, Produced, Size.Expected);
        if (Produced < Chunk) {
          // The data ended before the expected size: what is missing will not come.
          Account(Component, Unproduced(Component), Size.Expected);
          Component.Run().PackedBytesLeft = 0;
          break;
        }
        Remaining -= Chunk;
        Chunk = static_cast<std::int32_t>(std::min<std::int64_t>(Remaining, kInflateChunkSize));
        continue;
      }
      const bool Spanned =
          Component.ArcType() == TArcType::atZipDS || Component.ArcType() == TArcType::atZipMV;
      if (Got == kInflateBufError && Spanned &&
          static_cast<std::int64_t>(Stream.Record().TotalOut) < Size.Expected) {
        // The compressed data goes on in the next part of the set.
        const std::int32_t Produced = Chunk - static_cast<std::int32_t>(Stream.Record().AvailOut);
        if (Produced > 0) WriteChunk(Component, Output, Buffer, Produced);
        // A part that cannot be brought up ends the entry; the user's cancel or a missing event
        // has already cancelled the run, a refused part (damage) has not.
        if (!NextVolume || !NextVolume(ArchiveStream) || !ArchiveStream) break;
        Remaining -= Produced;
        Chunk = static_cast<std::int32_t>(std::min<std::int64_t>(Remaining, kInflateChunkSize));
        ArchiveStream->Seek(0, TSeekOrigin::soBeginning);
        Stream.SetSource(*ArchiveStream, 0);
        Account(Component, Produced, Size.Expected);
        continue;
      }
      // A decoder failure: the rest of the entry is given up.
      Account(Component, Unproduced(Component), Size.Expected);
      Component.Run().PackedBytesLeft = 0;
      Failed = true;
    } catch (const EWriteError&) {
      throw;
    } catch (const E_RAISE&) {
      // The block writer gave up on the entry (a full disk, a chunk not written, more output than
      // declared): one report, and no more decoding for nothing.
      throw;
    } catch (...) {
      // Anything else: on with the next chunk.
      Remaining -= Chunk;
      Chunk = static_cast<std::int32_t>(std::min<std::int64_t>(Remaining, kInflateChunkSize));
    }
  }
  // Take in what ends the data, so that the archive stream is given back right after it.
  if (!Failed && Remaining <= 0 && Size.Expected > 0) {
    try {
      Stream.Finish();
    } catch (const EWriteError&) {
      throw;
    } catch (...) {
    }
  }
}

}  // namespace ruvevid
