// The stored copy made by the system against the plain one, on real files: each case's entry is
// copied twice, once with the system's copy turned off, and everything the component shows must
// match (result, events with their figures, countdown, CRC, output, where the archive stream
// stands afterwards) while the system did copy where it may: through the archive stream's
// buffers, against a limit, cancelled, onto a full device, from an archive cut short or cut under
// the copy, to an output that stops taking the system's copy midway; and the entries and streams
// it never copies.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "WalkSupport.h"
#include "archive/base/OutputFiles.h"
#include "archive/codec/Crc.h"
#include "archive/zip/BufferedArchiveStream.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kEntryStart = 1000;  // the entry's data follows a header of this size
const std::string kTrailer = "PK\x01\x02 the central directory follows the entry";

// What a case changes; Param gives its figure.
enum class TVary : std::uint8_t {
  vNothing,
  vArchiveHolds,   // the archive holds only Param bytes of the entry
  vLimit,          // the entry's output limit is Param
  vCancelAt,       // progress event number Param sets the cancel flag
  vAppendAt,       // after progress event Param the output appends (the system refuses it)
  vCutAt2,         // after the second progress event the archive is cut to Param entry bytes
  vFileInput,      // a file stream instead of the buffered archive stream
  vMemoryInput,    // the archive held in memory
  vMemoryOutput,   // the output held in memory
  vAppendOutput,   // an output file opened to append
  vFullDevice,     // the output is /dev/full
  vEncrypted,      // the entry is encrypted
  vSplit,          // a split set
  vOtherHandlers,  // read and write handlers other than the component's own
};

struct TCopyCase {
  const char* Name;
  std::int64_t EntrySize;
  std::int64_t Left;        // CopyStored's result
  std::int64_t OutputSize;  // what the output holds afterwards (-1: not checked)
  bool Raises;
  bool SystemCopies;  // where the system copies between files of the scratch folder
  TVary Vary = TVary::vNothing;
  std::int64_t Param = 0;
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

std::string EntryBytes(std::int64_t Size) {
  return test::NoiseBytes(static_cast<std::size_t>(Size), 21);
}

// Copies the case's entry with the given system-copy minimum, in a folder of its own.
TCopyOutcome CopyEntry(const TCopyCase& Case, std::int64_t Minimum) {
  using enum TVary;
  test::TempDir Dir;
  const fs::path Archive = Dir / "arc.zip";
  const std::int64_t Holds = Case.Vary == vArchiveHolds ? Case.Param : Case.EntrySize;
  test::WriteBytes(Archive, test::NoiseBytes(kEntryStart, 20) + EntryBytes(Holds) +
                                (Holds == Case.EntrySize ? kTrailer : ""));
  std::unique_ptr<TStream32> Input;
  if (Case.Vary == vMemoryInput) {
    Input = std::make_unique<test::TMemoryStream32>(test::ReadByteVector(Archive));
  } else if (Case.Vary == vFileInput || Case.Vary == vCutAt2) {
    // A buffer filled before a cut would still hold bytes since cut.
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
  std::unique_ptr<TStream32> Output;
  int Error = 0;
  const std::string OutPath = (Dir / "out.bin").string();
  if (Case.Vary == vMemoryOutput) {
    Output = std::make_unique<test::TMemoryStream32>();
  } else {
    Output = std::make_unique<TOutputFileStream>(
        Case.Vary == vFullDevice     ? OpenFile("/dev/full", TOpenFor::ofWrite, Error)
        : Case.Vary == vAppendOutput ? OpenFile(OutPath, TOpenFor::ofAppend, Error)
                                     : OpenFile(OutPath, TOpenFor::ofCreateToWrite, Error));
  }

  test::TProbeUnZip Arc;
  test::TEventLog Log;
  Log.Attach(Arc);
  int Progress = 0;
  Arc.OnProgress = [&](TZipCommon*, std::uint8_t ByFile, std::uint8_t ByArchive) {
    ++Progress;
    Log.Lines.push_back("Progress " + std::to_string(ByFile) + " " + std::to_string(ByArchive) +
                        " remaining " + std::to_string(Arc.Run().BytesRemaining) + " crc " +
                        std::to_string(Arc.Run().Decode.Crc.Crc32));
    if (Case.Vary == vCancelAt && Progress == Case.Param) Arc.SetCancel(true);
    if (Case.Vary == vAppendAt && Progress == Case.Param) {
      const TNativeHandle Out = static_cast<TOutputFileStream&>(*Output).Handle();
      ::fcntl(Out, F_SETFL, ::fcntl(Out, F_GETFL) | O_APPEND);
    }
    if (Case.Vary == vCutAt2 && Progress == 2) fs::resize_file(Archive, kEntryStart + Case.Param);
  };
  Arc.ForceArchiveFile("arc.zip");
  Arc.ForceArcType(Case.Vary == vSplit ? TArcType::atZipMV : TArcType::atZip);
  TRunState& Run = Arc.Run();
  Run.OutputName = "out.bin";
  Run.SystemCopyMinimum = Minimum;
  Run.TotalUnpackedSize = 2 * Case.EntrySize + 1;
  Run.BytesRemaining = Run.TotalUnpackedSize;
  Run.Decode.OutputLimit = Case.Vary == vLimit ? Case.Param : -1;
  Run.Decode.OutputWritten = 0;
  Run.Decode.Crc.Crc32 = kCrc32Start;
  Run.Decode.Cipher.CipherInit("key");
  if (Case.Vary == vOtherHandlers) {
    Arc.ReadHandler = [&Arc](TStream32& Stream, void* Buffer, std::int32_t Count, bool Decrypt,
                             std::uint8_t CrcKind) {
      return Arc.ReadBlock(Stream, Buffer, Count, Decrypt, CrcKind);
    };
  }
  TZipEntryInfo Info;
  Info.UnpackedSize = static_cast<std::uint64_t>(Case.EntrySize);
  Info.Flags = Case.Vary == vEncrypted ? 1 : 0;
  TCopyOutcome Outcome;
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
  Outcome.NextBytes.resize(16);
  Outcome.NextBytes.resize(
      static_cast<std::size_t>(std::max(Input->Read(Outcome.NextBytes.data(), 16), 0)));
  if (Case.Vary == vMemoryOutput) {
    const auto& Data = static_cast<test::TMemoryStream32&>(*Output).Data();
    Outcome.OutputBytes.assign(Data.begin(), Data.end());
  } else if (Case.Vary != vFullDevice) {
    Outcome.OutputBytes = test::ReadBytes(OutPath);
  }
  return Outcome;
}

class StoredCopy : public ::testing::TestWithParam<TCopyCase> {};

TEST_P(StoredCopy, TheSystemsCopyShowsWhatThePlainCopyShows) {
  const TCopyCase& Case = GetParam();
  const TCopyOutcome Plain = CopyEntry(Case, kNoSystemCopy);
  const TCopyOutcome System = CopyEntry(Case, kSystemCopyMinimum);
  EXPECT_EQ(Plain.SystemCopied, 0);
  const test::TempDir Probe;
  EXPECT_EQ(System.SystemCopied > 0, Case.SystemCopies && walk_test::SystemCopiesIn(Probe.path()));
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
  const std::string Entry = EntryBytes(Case.EntrySize);
  if (Case.OutputSize >= 0) {
    EXPECT_TRUE(Plain.OutputBytes == Entry.substr(0, static_cast<std::size_t>(Case.OutputSize)));
  }
  if (Case.Vary != TVary::vEncrypted && !Case.Raises && Case.Left == 0) {
    EXPECT_EQ(Plain.Crc, UpdateCrc32(kCrc32Start, Entry.data(), Entry.size()));
    if (Case.Vary != TVary::vMemoryInput) {
      EXPECT_EQ(Plain.NextBytes, kTrailer.substr(0, 16)) << "the archive reads on after the entry";
    }
  }
}

using enum TVary;
INSTANTIATE_TEST_SUITE_P(
    Cases, StoredCopy,
    ::testing::Values(
        TCopyCase{"WholeEntry", 200000, 0, 200000, false, true},
        TCopyCase{"ThreeBlocksAndOneByte", 98305, 0, 98305, false, true},
        TCopyCase{"WindowsOfTheView", 3'000'000, 0, 3'000'000, false, true},
        TCopyCase{"ThroughAFileStream", 150000, 0, 150000, false, true, vFileInput},
        TCopyCase{"ArchiveEndsInsideTheEntry", 150000, 80000, 70000, false, true, vArchiveHolds,
                  70000},
        TCopyCase{"OutputLimitInsideTheEntry", 200000, 0, 65536, true, true, vLimit, 70000},
        TCopyCase{"CancelledAfterTheSecondBlock", 200000, 134464, 65536, false, true, vCancelAt, 2},
        TCopyCase{"OutputRefusesTheSystemMidway", 200000, 0, 200000, false, true, vAppendAt, 2},
        TCopyCase{"ArchiveCutUnderTheCopy", 200000, 100000, 100000, false, true, vCutAt2, 100000},
        TCopyCase{"OutputOnAFullDevice", 100000, 0, -1, true, false, vFullDevice},
        TCopyCase{"SmallEntry", 40000, 0, 40000, false, false},
        TCopyCase{"EmptyEntry", 0, 0, 0, false, false},
        TCopyCase{"EncryptedEntry", 100000, 0, -1, false, false, vEncrypted},
        TCopyCase{"SplitSet", 100000, 0, 100000, false, false, vSplit},
        TCopyCase{"OtherHandlers", 100000, 0, 100000, false, false, vOtherHandlers},
        TCopyCase{"InputNotAFile", 100000, 0, 100000, false, false, vMemoryInput},
        TCopyCase{"OutputNotAFile", 100000, 0, 100000, false, false, vMemoryOutput},
        TCopyCase{"OutputOpenedToAppend", 100000, 0, 100000, false, false, vAppendOutput}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
