#include "archive/zip/InflateEntry.h"

#include <algorithm>
#include <memory>
#include <new>

#include "archive/base/ArcErrors.h"
#include "archive/base/DecompressStream.h"
#include "archive/base/ZipCommon.h"
#include "archive/codec/Crc.h"
#include "archive/codec/ZipFlags.h"
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
  Size.Encrypted = (Flags & kEncryptedFlag) != 0;
  // An entry whose sizes were deferred to a data descriptor has them from the walk (descriptor
  // found) or is decoded until its data ends, within the entry's output limit.
  if (Local && (Flags & kDataDescriptorFlag) != 0) {
    Size.Expected = Run.Decode.EntrySizeKnown
                        ? static_cast<std::int64_t>(Run.Decode.EntryInfo.UnpackedSize)
                        : std::max<std::int64_t>(Run.Decode.OutputLimit, 0);
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
  Run.Decode.OutputBytesExpected -= Count;
  Component.ReportProgress(Expected - Run.Decode.OutputBytesExpected, Expected,
                           Run.TotalUnpackedSize);
}

// What the entry still owes the archive's progress when its data ends or fails: the rest of its
// declared size (nothing for an entry whose size is not known).
std::int64_t Unproduced(const TZipCommon& Component) {
  return std::max<std::int64_t>(Component.Run().Decode.OutputBytesExpected, 0);
}

void WriteChunk(TZipCommon& Component, TStream32& Output, std::uint8_t* Buffer,
                std::int32_t Count) {
  if (Component.WriteHandler(Output, Buffer, Count, false, kCrcKind32, 1) == 0) {
    Component.RaiseError(Component.Run().OutputName, "", "0", ecWriteError);
  }
}

// What the next read asks of the decoder: the rest of the entry, at most a chunk.
std::int32_t NextChunk(std::int64_t Remaining) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(Remaining, 0, kInflateChunkSize));
}

// One entry's decoding: the decompression stream over the archive stream, the output chunk and
// how much of the entry is still to come.
class TEntryInflater {
 public:
  TEntryInflater(TZipCommon& Component, std::unique_ptr<TStream32>& ArchiveStream,
                 TStream32& Output, std::int8_t WindowBits, TInflateVariant Variant)
      : FComponent(Component),
        FArchiveStream(ArchiveStream),
        FOutput(Output),
        FSize(EntrySize(Component)),
        FStream(*ArchiveStream, WindowBits, Variant, &Component.Run().Decode.InflateMemory),
        FMemory(Component.Run().Decode.InflateMemory),
        // A block of the full chunk size from the run's cache whatever the entry's size, so that
        // every entry takes the same block again.
        FBlock(FMemory.Acquire(kInflateChunkSize, false), TBlockReturn{&FMemory}),
        FRemaining(FSize.Expected),
        FChunk(NextChunk(FRemaining)) {
    if (!FBlock) throw std::bad_alloc();
    FStream.Record().DecryptInput = FSize.Encrypted;
    FStream.Decipher = [&Component](std::uint8_t* Buffer, std::int32_t Count) {
      Component.DecodeBuffer(true, Buffer, Count);
    };
    FFailed = FStream.InitResult() != kInflateOk;
  }

  void Run(const TInflateNextVolume& NextVolume) {
    while (FRemaining > 0 && !FFailed) {
      if (FComponent.GetCancel()) break;
      if (FComponent.Application() != nullptr) FComponent.Application()->ProcessMessages();
      if (!Step(NextVolume)) break;
    }
    TakeInDataEnd();
  }

 private:
  std::uint8_t* Buffer() const { return static_cast<std::uint8_t*>(FBlock.get()); }
  // What the last read put into the chunk (at the end of the data fewer bytes than asked for).
  std::int32_t Produced() { return FChunk - static_cast<std::int32_t>(FStream.Record().AvailOut); }
  void Advance(std::int64_t Count) {
    FRemaining -= Count;
    FChunk = NextChunk(FRemaining);
  }
  // The rest of the entry will not come: it counts as done and its data as read.
  void GiveUpRest() {
    Account(FComponent, Unproduced(FComponent), FSize.Expected);
    FComponent.Run().Decode.PackedBytesLeft = 0;
  }

  // One chunk; false when the loop ends. A write failure and E_RAISE (the block writer gave up on
  // the entry: one report, and no more decoding for nothing) are passed on, as is everything that
  // is not the engine's own (it ends the run). The engine's other errors end the entry here: its
  // output stays short and the CRC check reports it.
  bool Step(const TInflateNextVolume& NextVolume) {
    try {
      const std::int32_t Got = FStream.Read(Buffer(), FChunk);
      if (Got > 0) return WriteDecoded();
      if (Got == kInflateBufError && IsSplitOrSpanned(FComponent.ArcType()) &&
          static_cast<std::int64_t>(FStream.Record().TotalOut) < FSize.Expected)
        return ContinueInNextPart(NextVolume);
      // A decoder failure: the rest of the entry is given up.
      GiveUpRest();
      FFailed = true;
      return false;
    } catch (const EWriteError&) {
      throw;
    } catch (const E_RAISE&) {
      throw;
    } catch (const EArchive&) {
      GiveUpRest();
      FFailed = true;
      return false;
    }
  }

  bool WriteDecoded() {
    const std::int32_t Count = Produced();
    if (Count > 0) WriteChunk(FComponent, FOutput, Buffer(), Count);
    Account(FComponent, Count, FSize.Expected);
    if (Count < FChunk) {
      // The data ended before the expected size: what is missing will not come.
      GiveUpRest();
      return false;
    }
    Advance(FChunk);
    return true;
  }

  // The compressed data goes on in the next part of the set.
  bool ContinueInNextPart(const TInflateNextVolume& NextVolume) {
    const std::int32_t Count = Produced();
    if (Count > 0) WriteChunk(FComponent, FOutput, Buffer(), Count);
    // A part that cannot be brought up ends the entry; the user's cancel or a missing event has
    // already cancelled the run, a refused part (damage) has not.
    if (!NextVolume || !NextVolume(FArchiveStream) || !FArchiveStream) return false;
    Advance(Count);
    FArchiveStream->Seek(0, TSeekOrigin::soBeginning);
    FStream.SetSource(*FArchiveStream, 0);
    Account(FComponent, Count, FSize.Expected);
    return true;
  }

  // Takes in what ends the data, so that the archive stream is given back right after it.
  void TakeInDataEnd() {
    if (FFailed || FRemaining > 0 || FSize.Expected <= 0) return;
    try {
      FStream.Finish();
    } catch (const EWriteError&) {
      throw;
    } catch (const EArchive&) {
      // The entry's data is all there; a damaged end costs nothing more.
    }
  }

  TZipCommon& FComponent;
  std::unique_ptr<TStream32>& FArchiveStream;
  TStream32& FOutput;
  const TEntrySize FSize;
  TDecompressStream FStream;
  TInflateBlockCache& FMemory;
  const std::unique_ptr<void, TBlockReturn> FBlock;
  std::int64_t FRemaining;
  std::int32_t FChunk;
  bool FFailed = false;
};

}  // namespace

void InflateEntry(TZipCommon& Component, std::unique_ptr<TStream32>& ArchiveStream,
                  TStream32& Output, std::int8_t WindowBits, TInflateVariant Variant,
                  const TInflateNextVolume& NextVolume) {
  TEntryInflater Inflater(Component, ArchiveStream, Output, WindowBits, Variant);
  Inflater.Run(NextVolume);
}

}  // namespace ruvevid
