#pragma once
// What a worker's decoding of one entry did, in order, for the caller's thread to replay: each
// progress point, each error report, each pump of the application's messages and each look at the
// cancel flag, then how the decoding ended. The decoded bytes themselves are in a file on disk.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileHandle.h"

namespace ruvevid {

// Stands for the entry's output name in what a worker reports: the final name is only known when
// the caller's thread has asked the application (OnRenameFile, OnBegin).
inline constexpr const char* kDecodedOutputName = "\x01ruvevid-decoded-output\x01";

struct TEntryRecord {
  enum class TStepKind : std::uint8_t { skProgress, skError, skPump, skCancelCheck };
  struct TStep {
    TStepKind Kind = TStepKind::skProgress;
    // skProgress: the entry's percentage and the bytes the entry had counted down by then.
    std::uint8_t ByFile = 0;
    std::int64_t Counted = 0;
    // skError: the index in Errors.
    std::size_t Error = 0;
  };
  struct TError {
    std::string FileName;
    std::string ExtendedMsg;
    std::string VolumeID;
    int ECode = 0;
  };
  // How the decoding ended: normally, with E_RAISE (its code), another engine exception (its
  // text), or anything else (its text; it ends the run).
  enum class TEnding : std::uint8_t { enReturned, enRaised, enArchiveError, enFailure };

  std::vector<TStep> Steps;
  std::vector<TError> Errors;
  // False: the worker did not decode the entry (an encrypted one none of the passwords it was
  // given opens, or no file could be made for it); the caller's thread decodes it in its turn.
  bool Decoded = false;
  // The password an encrypted entry was deciphered with: the caller takes the file only when its
  // own password flow ends on the same one.
  std::string Password;
  // The decoded file, still open so that the caller's thread dates it and sets its attributes
  // through the handle before closing it, as it does with a file it decoded itself.
  std::string Path;
  TFileHandle File;
  TEnding Ending = TEnding::enReturned;
  int RaisedCode = 0;
  std::string Failure;
  // The CRC accumulator when the decoding ended, and the bytes the entry counted down in all.
  std::uint32_t Crc32 = 0;
  std::int64_t Counted = 0;
  // The stored bytes the system copied for the entry (the run counts them).
  std::int64_t SystemCopiedBytes = 0;

  void Clear() {
    Steps.clear();
    Errors.clear();
    Decoded = false;
    Password.clear();
    Path.clear();
    File = TFileHandle();
    Ending = TEnding::enReturned;
    RaisedCode = 0;
    Failure.clear();
    Crc32 = 0;
    Counted = 0;
    SystemCopiedBytes = 0;
  }
};

}  // namespace ruvevid
