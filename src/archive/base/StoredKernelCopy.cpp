// The stored copy made by the system: the archive's bytes go to the output file without passing
// through the program, and the CRC is taken over a view of them in the archive file. Every block
// is otherwise what the plain copy makes of it: the same read size, count, limit check, verdict,
// progress point and cancel check, in the same order.

#include <algorithm>
#include <optional>
#include <vector>

#include "archive/base/OutputFiles.h"
#include "archive/base/ScopeExit.h"
#include "archive/base/Stream32.h"
#include "archive/base/ZipCommon.h"
#include "platform/FileRangeCopy.h"

namespace ruvevid {

bool TZipCommon::CopyStoredInKernel(TStream32& Input, TStream32& Output, std::int64_t Size,
                                    std::uint8_t CrcKind, std::int64_t& Left) {
  // An output file, or a worker's decoded file (a stream on a handle the worker's record owns).
  // Another file the system cannot copy to at its position (a pipe, a file opened to append) is
  // turned down by the probe below.
  auto* File = dynamic_cast<THandleStream32*>(&Output);
  if (File == nullptr || File->Handle() == kNoHandle) return false;
  const TNativeHandle Out = File->Handle();
  std::int64_t Start = 0;
  const TNativeHandle In = Input.SourceFile(Start);
  if (In == kNoHandle) return false;
  const std::optional<std::int64_t> ArchiveSize = RegularFileSize(In);
  if (!ArchiveSize) return false;
  // Whether the system copies between these two files at all (not across file systems, say).
  if (CopyFileRange(In, Start, Out, 0).Status != TRangeCopyStatus::rcDone) return false;

  const std::int64_t StreamStart = Input.Position();
  std::int64_t Consumed = 0;
  // However the copy ends, a raised error too, the archive stream reads on after the bytes taken.
  const auto Reposition = OnScopeExit([&Input, &StreamStart, &Consumed] {
    Input.Seek(StreamStart + Consumed, TSeekOrigin::soBeginning);
  });
  TFileView View(In);
  std::vector<std::uint8_t> Buffer;  // a block the system did not copy whole
  while (Left > 0) {
    const auto N = static_cast<std::int32_t>(std::min<std::int64_t>(Left, kStoredBlockSize));
    const std::int64_t At = Start + Consumed;
    // What the plain copy's read would give: the bytes the archive holds there.
    auto Got = static_cast<std::int32_t>(std::clamp<std::int64_t>(*ArchiveSize - At, 0, N));
    if (Got <= 0) return true;
    Left -= Got;
    FRun.BytesRemaining -= Got;
    Consumed += Got;
    bool Whole = false;
    bool SystemGoesOn = true;
    if (OutputAllowed(Got)) {
      const TRangeCopyResult Copy = CopyFileRange(In, At, Out, static_cast<std::size_t>(Got));
      FRun.SystemCopiedBytes += static_cast<std::int64_t>(Copy.Copied);
      auto Written = static_cast<std::int32_t>(Copy.Copied);
      int Error = 0;
      const std::uint8_t* Bytes = Copy.Status == TRangeCopyStatus::rcDone
                                      ? View.Bytes(At, static_cast<std::size_t>(Got))
                                      : nullptr;
      if (Bytes == nullptr) {
        // The block is read as the plain copy reads it, and what the system did not write goes
        // out through the output stream, whose error tells a full disk from other failures. The
        // plain copy takes the rest of the entry.
        SystemGoesOn = false;
        Buffer.assign(static_cast<std::size_t>(N), 0);
        Input.Seek(StreamStart + Consumed - Got, TSeekOrigin::soBeginning);
        const std::int32_t Read = ReadBlock(Input, Buffer.data(), Got, false, kCrcKindNone);
        // The archive ended since its size was taken: the block is what was there.
        const std::int32_t Have = std::max(Read, Written);
        Left += Got - Have;
        FRun.BytesRemaining += Got - Have;
        Consumed -= Got - Have;
        Got = Have;
        if (Got <= 0) return true;
        if (Written < Got) {
          Written += std::max(Output.Write(Buffer.data() + Written, Got - Written), 0);
          Error = Output.LastWriteError();
        }
        Bytes = Buffer.data();
      }
      Whole = CheckWrite(Bytes, Got, Written, Error, CrcKind, 1) == Got;
    }
    if (Left < Size) ReportProgress(Size - Left, Size, FRun.TotalUnpackedSize);
    if (GetCancel() || !Whole) return true;
    if (!SystemGoesOn) return false;
  }
  return true;
}

}  // namespace ruvevid
