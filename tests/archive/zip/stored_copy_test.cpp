// The stored copy made by the system against the plain one, on real files: for each case the
// entry is copied twice, once with the system's copy turned off, and everything the component
// shows must match (result, events with their figures, countdown, CRC, output bytes, where the
// archive stream stands afterwards), while the system did copy the bytes where it can. Cases
// cover the archive stream's buffers, a limit, a cancel, a full device, an archive cut short or
// cut under the copy, an output that stops taking the system's copy midway, and the entries and
// streams the system never copies.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "archive/base/OutputFiles.h"
#include "archive/codec/Crc.h"
#include "archive/zip/BufferedArchiveStream.h"
#include "platform/FileRangeCopy.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using test::TEventLog;
using test::TMemoryStream32;
using test::TProbeUnZip;

constexpr std::int64_t kEntryStart = 1000;  // the entry's data follows a header of this size
const std::string kTrailer = "PK\x01\x02 the central directory follows the entry";

enum class TInputKind : std::uint8_t { ikBuffered, ikFile, ikMemory };
enum class TOutputKind : std::uint8_t { okFile, okAppend, okMemory, okFullDevice };

struct TCopyCase {
  const char* Name;
  std::int64_t EntrySize;
  std::int64_t Left;        // CopyStored's result
  std::int64_t OutputSize;  // what the output holds afterwards (-1: not checked)
  bool Raises = false;
  bool SystemCopies = true;        // where the system copies between files of the scratch folder
  std::int64_t ArchiveHolds = -1;  // entry bytes the archive holds, when fewer than EntrySize
  std::int64_t Limit = -1;         // the entry's output limit
  int CancelAt = 0;                // the progress event (1 = first) that sets the cancel flag
  int AppendAt = 0;                // the progress event after which the output appends
  int CutAt = 0;                   // the progress event after which the archive is cut ...
  std::int64_t CutTo = 0;          // ... to this many entry bytes
  TInputKind Input = TInputKind::ikBuffered;
  TOutputKind Output = TOutputKind::okFile;
  bool Encrypted = false;
  TArcType Type = TArcType::atZip;
  bool OwnHandlers = false;
};

void PrintTo(const TCopyCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

struct TCopyOutcome {
  std::int64_t Left = -1;
  bool Raised = false;
  std::vector<std::string> Lines;
  std::int64_t BytesRemaining = 0;
  std::uint32_t Crc = 0;
  std::int64_t OutputWritten = 0;
  std::int64_t SystemCopied = 0;
  std::int64_t InputPosition = -1;
  std::string NextBytes;  // what the archive stream reads after the copy
  std::string OutputBytes;
};

// Whether the system copies between two files of a scratch folder here.
bool SystemCopiesHere() {
  test::TempDir Dir;
  test::WriteBytes(Dir / "a", "x");
  int Error = 0;
  TFileHandle In = OpenFile((Dir / "a").string(), TOpenFor::ofRead, Error);
  TFileHandle Out = OpenFile((Dir / "b").string(), TOpenFor::ofCreateToWrite, Error);
  return CopyFileRange(In.Native(), 0, Out.Native(), 1).Status == TRangeCopyStatus::rcDone;
}

std::string EntryBytes(std::int64_t Size) {
  return test::NoiseBytes(static_cast<std::size_t>(Size), 21);
}

std::unique_ptr<TStream32> OpenInput(const TCopyCase& Case, const fs::path& Archive) {
  std::unique_ptr<TStream32> Input;
  if (Case.Input == TInputKind::ikMemory) {
    Input = std::make_unique<TMemoryStream32>(test::ReadByteVector(Archive));
  } else if (Case.Input == TInputKind::ikFile) {
    Input = std::make_unique<TFileStream32>(Archive.string(), fmOpenRead);
  } else {
    Input = std::make_unique<TBufferedArchiveStream>(
        std::make_unique<TFileStream32>(Archive.string(), fmOpenRead));
  }
  // The local header is read first, as the entry driver does: the archive stream's buffer then
  // holds the start of the entry's data.
  Input->Seek(kEntryStart - 30, TSeekOrigin::soBeginning);
  std::vector<std::uint8_t> Header(30);
  Input->Read(Header.data(), 30);
  return Input;
}

std::unique_ptr<TStream32> OpenOutput(const TCopyCase& Case, const fs::path& Path) {
  int Error = 0;
  switch (Case.Output) {
    case TOutputKind::okMemory:
      return std::make_unique<TMemoryStream32>();
    case TOutputKind::okFullDevice:
      return std::make_unique<TOutputFileStream>(OpenFile("/dev/full", TOpenFor::ofWrite, Error));
    case TOutputKind::okAppend:
      return std::make_unique<TOutputFileStream>(
          OpenFile(Path.string(), TOpenFor::ofAppend, Error));
    case TOutputKind::okFile:
      break;
  }
  return std::make_unique<TOutputFileStream>(
      OpenFile(Path.string(), TOpenFor::ofCreateToWrite, Error));
}

// Copies the case's entry with the given system-copy minimum, in a folder of its own.
TCopyOutcome CopyEntry(const TCopyCase& Case, std::int64_t Minimum) {
  test::TempDir Dir;
  const fs::path Archive = Dir / "arc.zip";
  const std::int64_t Holds = Case.ArchiveHolds >= 0 ? Case.ArchiveHolds : Case.EntrySize;
  test::WriteBytes(Archive, test::NoiseBytes(kEntryStart, 20) + EntryBytes(Holds) +
                                (Holds == Case.EntrySize ? kTrailer : ""));
  std::unique_ptr<TStream32> Input = OpenInput(Case, Archive);
  std::unique_ptr<TStream32> Output = OpenOutput(Case, Dir / "out.bin");

  TCopyOutcome Outcome;
  TProbeUnZip Arc;
  TEventLog Log;
  Log.Attach(Arc);
  int Progress = 0;
  Arc.OnProgress = [&](TZipCommon*, std::uint8_t ByFile, std::uint8_t ByArchive) {
    ++Progress;
    Log.Lines.push_back("Progress " + std::to_string(ByFile) + " " + std::to_string(ByArchive) +
                        " remaining " + std::to_string(Arc.Run().BytesRemaining) + " crc " +
                        std::to_string(Arc.Run().Decode.Crc.Crc32));
    if (Progress == Case.CancelAt) Arc.SetCancel(true);
    if (Progress == Case.AppendAt) {
      const TNativeHandle Out = static_cast<TOutputFileStream&>(*Output).Handle();
      ::fcntl(Out, F_SETFL, ::fcntl(Out, F_GETFL) | O_APPEND);
    }
    if (Progress == Case.CutAt) fs::resize_file(Archive, kEntryStart + Case.CutTo);
  };
  Arc.ForceArchiveFile("arc.zip");
  Arc.ForceArcType(Case.Type);
  TRunState& Run = Arc.Run();
  Run.OutputName = "out.bin";
  Run.SystemCopyMinimum = Minimum;
  Run.TotalUnpackedSize = 2 * Case.EntrySize + 1;
  Run.BytesRemaining = Run.TotalUnpackedSize;
  Run.Decode.OutputLimit = Case.Limit;
  Run.Decode.OutputWritten = 0;
  Run.Decode.Crc.Crc32 = kCrc32Start;
  Run.Decode.Cipher.CipherInit("key");
  if (Case.OwnHandlers) {
    Arc.ReadHandler = [&Arc](TStream32& Stream, void* Buffer, std::int32_t Count, bool Decrypt,
                             std::uint8_t CrcKind) {
      return Arc.ReadBlock(Stream, Buffer, Count, Decrypt, CrcKind);
    };
    Arc.WriteHandler = [&Arc](TStream32& Stream, void* Buffer, std::int32_t Count, bool Decrypt,
                              std::uint8_t CrcKind, std::uint8_t UpdateCrc) {
      return Arc.WriteBlock(Stream, Buffer, Count, Decrypt, CrcKind, UpdateCrc);
    };
  }
  TZipEntryInfo Info;
  Info.UnpackedSize = static_cast<std::uint64_t>(Case.EntrySize);
  Info.Flags = Case.Encrypted ? 1 : 0;
  try {
    Outcome.Left = Arc.CopyStored(*Input, *Output, Info, kCrcKind32);
  } catch (const E_RAISE&) {
    Outcome.Raised = true;
  }
  Outcome.Lines = Log.Lines;
  Outcome.BytesRemaining = Run.BytesRemaining;
  Outcome.Crc = Run.Decode.Crc.Crc32;
  Outcome.OutputWritten = Run.Decode.OutputWritten;
  Outcome.SystemCopied = Run.SystemCopiedBytes;
  Outcome.InputPosition = Input->Position();
  std::string Next(16, '\0');
  Next.resize(static_cast<std::size_t>(std::max(Input->Read(Next.data(), 16), 0)));
  Outcome.NextBytes = Next;
  if (Case.Output == TOutputKind::okMemory) {
    const auto& Data = static_cast<TMemoryStream32&>(*Output).Data();
    Outcome.OutputBytes.assign(Data.begin(), Data.end());
  } else if (Case.Output != TOutputKind::okFullDevice) {
    Outcome.OutputBytes = test::ReadBytes(Dir / "out.bin");
  }
  return Outcome;
}

class StoredCopy : public ::testing::TestWithParam<TCopyCase> {};

TEST_P(StoredCopy, TheSystemsCopyShowsWhatThePlainCopyShows) {
  const TCopyCase& Case = GetParam();
  const TCopyOutcome Plain = CopyEntry(Case, kNoSystemCopy);
  const TCopyOutcome System = CopyEntry(Case, kSystemCopyMinimum);

  EXPECT_EQ(Plain.SystemCopied, 0);
  if (Case.SystemCopies && SystemCopiesHere()) {
    EXPECT_GT(System.SystemCopied, 0) << "the system did not copy";
  } else {
    EXPECT_EQ(System.SystemCopied, 0);
  }
  EXPECT_EQ(System.Left, Plain.Left);
  EXPECT_EQ(System.Raised, Plain.Raised);
  EXPECT_EQ(System.Lines, Plain.Lines);
  EXPECT_EQ(System.BytesRemaining, Plain.BytesRemaining);
  EXPECT_EQ(System.Crc, Plain.Crc);
  EXPECT_EQ(System.OutputWritten, Plain.OutputWritten);
  EXPECT_EQ(System.InputPosition, Plain.InputPosition);
  EXPECT_EQ(System.NextBytes, Plain.NextBytes);
  EXPECT_TRUE(System.OutputBytes == Plain.OutputBytes) << "the outputs differ";

  // And the plain copy did what it always does.
  EXPECT_EQ(Plain.Raised, Case.Raises);
  if (!Case.Raises) {
    EXPECT_EQ(Plain.Left, Case.Left);
  }
  if (Case.OutputSize >= 0) {
    EXPECT_TRUE(Plain.OutputBytes == EntryBytes(Case.EntrySize).substr(0, Case.OutputSize))
        << "output of " << Plain.OutputBytes.size() << " bytes";
    if (!Case.Encrypted && !Case.Raises && Case.Left == 0) {
      const std::string Entry = EntryBytes(Case.EntrySize);
      EXPECT_EQ(Plain.Crc, UpdateCrc32(kCrc32Start, Entry.data(), Entry.size()));
    }
  }
  if (Case.Input != TInputKind::ikMemory && Plain.Left == 0 && !Plain.Raised) {
    EXPECT_EQ(Plain.NextBytes, kTrailer.substr(0, 16)) << "the archive reads on after the entry";
  }
}

TCopyCase Case(const char* Name, std::int64_t EntrySize, std::int64_t Left,
               std::int64_t OutputSize) {
  TCopyCase Made;
  Made.Name = Name;
  Made.EntrySize = EntrySize;
  Made.Left = Left;
  Made.OutputSize = OutputSize;
  return Made;
}

std::vector<TCopyCase> CopyCases() {
  std::vector<TCopyCase> Cases;
  Cases.push_back(Case("WholeEntry", 200000, 0, 200000));
  Cases.push_back(Case("ThreeBlocksAndOneByte", 3 * 32768 + 1, 0, 3 * 32768 + 1));
  Cases.push_back(Case("WindowsOfTheView", 3'000'000, 0, 3'000'000));
  TCopyCase File = Case("ThroughAPlainFileStream", 150000, 0, 150000);
  File.Input = TInputKind::ikFile;
  Cases.push_back(File);
  TCopyCase Short = Case("ArchiveEndsInsideTheEntry", 150000, 80000, 70000);
  Short.ArchiveHolds = 70000;
  Cases.push_back(Short);
  TCopyCase Limit = Case("OutputLimitInsideTheEntry", 200000, 0, 65536);
  Limit.Limit = 70000;
  Limit.Raises = true;
  Cases.push_back(Limit);
  TCopyCase Cancel = Case("CancelledAfterTheSecondBlock", 200000, 200000 - 65536, 65536);
  Cancel.CancelAt = 2;
  Cases.push_back(Cancel);
  TCopyCase Append = Case("OutputStopsTakingTheSystemsCopyMidway", 200000, 0, 200000);
  Append.AppendAt = 2;
  Cases.push_back(Append);
  TCopyCase Cut = Case("ArchiveCutUnderTheCopy", 200000, 100000, 100000);
  Cut.CutAt = 2;
  Cut.CutTo = 100000;
  Cut.Input = TInputKind::ikFile;  // a buffer filled before the cut would hold bytes since cut
  Cases.push_back(Cut);
  TCopyCase Full = Case("OutputOnAFullDevice", 100000, 0, -1);
  Full.Output = TOutputKind::okFullDevice;
  Full.Raises = true;
  Full.SystemCopies = false;
  Cases.push_back(Full);

  // Never copied by the system.
  TCopyCase Small = Case("SmallEntry", 40000, 0, 40000);
  Small.SystemCopies = false;
  Cases.push_back(Small);
  TCopyCase Empty = Case("EmptyEntry", 0, 0, 0);
  Empty.SystemCopies = false;
  Cases.push_back(Empty);
  TCopyCase Encrypted = Case("EncryptedEntry", 100000, 0, -1);
  Encrypted.Encrypted = true;
  Encrypted.SystemCopies = false;
  Cases.push_back(Encrypted);
  for (const TArcType Type : {TArcType::atZipMV, TArcType::atZipDS}) {
    TCopyCase Set = Case(Type == TArcType::atZipMV ? "SplitSet" : "SpannedSet", 100000, 0, 100000);
    Set.Type = Type;
    Set.SystemCopies = false;
    Cases.push_back(Set);
  }
  TCopyCase Handlers = Case("OtherHandlersInstalled", 100000, 0, 100000);
  Handlers.OwnHandlers = true;
  Handlers.SystemCopies = false;
  Cases.push_back(Handlers);
  TCopyCase MemoryIn = Case("InputNotAFile", 100000, 0, 100000);
  MemoryIn.Input = TInputKind::ikMemory;
  MemoryIn.SystemCopies = false;
  Cases.push_back(MemoryIn);
  TCopyCase MemoryOut = Case("OutputNotAFile", 100000, 0, 100000);
  MemoryOut.Output = TOutputKind::okMemory;
  MemoryOut.SystemCopies = false;
  Cases.push_back(MemoryOut);
  TCopyCase AppendOut = Case("OutputOpenedToAppend", 100000, 0, 100000);
  AppendOut.Output = TOutputKind::okAppend;
  AppendOut.SystemCopies = false;
  Cases.push_back(AppendOut);
  return Cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, StoredCopy, ::testing::ValuesIn(CopyCases()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
