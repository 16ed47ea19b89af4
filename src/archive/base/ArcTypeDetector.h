#pragma once
// Archive type detection: from a few blocks of an open archive, its type and where its first
// header lies. For zip archives it runs the end-record search, whose results stay in the zip
// state for the directory walks.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/base/ArcTypes.h"
#include "archive/base/PathRules.h"
#include "archive/base/SignatureTable.h"
#include "archive/base/ZipRecords.h"
#include "archive/codec/ZipCipher.h"
#include "platform/ConvertError.h"

namespace ruvevid {

class IDriveQuery;
class TStream32;

// String resource Id (1 to 7) of an executable; empty when there is none. The native build has no
// reader of executable resources, so its probe finds nothing.
using TStringResourceReader = std::function<std::string(int Id)>;

class TArcTypeDetector {
 public:
  // Zip receives FirstHeaderOffset, HeaderState, CommentStart, OffsetAdjust and the header
  // buffers. Drives may be null (split sets then cannot be classified: atNA).
  TArcTypeDetector(TStream32& Stream, std::string ArchiveFile, TZipFormatState& Zip,
                   IDriveQuery* Drives, const TZipKeys& HeaderKeys = kZipHeaderKeyState);

  // Reads executables' string resources; unset by default.
  TStringResourceReader StringResources;

  // DetectArcType: never raises; also sets ArchiveSize and ArchiveDate. A file that could not be
  // read (a stream that raised, or no byte of a file that has some) is atUnknown, and LastError
  // says what was met.
  TArcType Detect();
  // What kept the last Detect from reading the file; empty when it could read it.
  const std::string& LastError() const { return FLastError; }

  std::int64_t ArchiveSize() const { return FArchiveSize; }
  std::uint32_t ArchiveDate() const { return FArchiveDate; }

  // The steps, exposed for tests.
  TArcType ClassifySignature(bool InExecutable, const TSignatureHead& Head);
  TArcType ProbeSfxStub();
  std::uint32_t ScanForSignature(TArcType& Found, std::uint32_t Start);
  TArcType ClassifySplitZip();
  TArcType ProbeUue();
  TArcType ProbeTar();
  std::int64_t LocateZipDirectory();

  // How many bytes of the file start Detect reads and ScanForSignature's block size and count.
  static constexpr std::int32_t kHeadBytes = 32767;
  static constexpr std::int32_t kScanBlock = 32768;
  static constexpr int kScanBlocks = 11;
  // The bytes past a position that ScanForSignature's tests may look at.
  static constexpr std::int32_t kScanLookAhead = 16;

 private:
  // One block of ScanForSignature: its bytes, where it starts in the file, how many were read and
  // at how many positions a signature may start.
  struct TScanBlock {
    const std::uint8_t* Bytes = nullptr;
    std::int64_t Start = 0;
    std::int32_t Got = 0;
    std::int32_t Positions = 0;
  };
  enum class TScanStep { ssNone, ssFound, ssSkipBlock };
  TScanStep ProbeScanPosition(const TScanBlock& Block, std::int32_t I, std::uint32_t Start,
                              TArcType& Found, std::uint32_t& Result);
  // Detect's work; raises what the stream raises.
  TArcType DetectReadable();
  void DetectExecutable(TArcType& Result);
  void DetectPlain(TArcType& Result);
  bool ProbeResourceOffsets(TArcType& Result);
  bool HasAceMarkAt7() const;
  std::uint32_t ReadArchiveDate();
  void FinishSfxStub(std::int64_t Offset);

  TStream32& FStream;
  std::string FArchiveFile;
  TZipFormatState& FZip;
  IDriveQuery* FDrives;
  TZipKeys FHeaderKeys;
  TZipCipher FCipher;
  std::int64_t FArchiveSize = 0;
  std::uint32_t FArchiveDate = 0;
  std::vector<std::uint8_t> FHead;  // the first bytes of the file, as read
  std::string FLastError;
};

// Lower-cased extension of a name, with its dot ("" when none).
std::string LowerExtension(const std::string& Name);

// Volume numbering of a detected archive (used by multi-volume handling). Number and Letter are
// left as they are for types that have none. A digit followed by a non-digit in the extension
// (such as "r0a") raises EConvertError.
void ComputeVolumeNaming(TArcType Type, const std::string& ArchiveFile, std::int32_t& Number,
                         char& Letter);

}  // namespace ruvevid
