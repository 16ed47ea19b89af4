#pragma once
// The texts of the error codes the extraction engine reports through OnError, and E_RAISE, the
// exception that aborts the entry being extracted (it never leaves Activate).

#include <stdexcept>
#include <string>
#include <string_view>

#include "archive/codec/ErrorCodes.h"

namespace ruvevid {

// Extended messages that say why an archive or an entry was refused.
inline constexpr const char* kNotRegularFile = "not a regular file";
inline constexpr const char* kNameTooLong = "File name too long";
inline constexpr const char* kOutputOverrun = "more data than the archive declares";
inline constexpr const char* kNotZipArchive = "not a zip archive";
inline constexpr const char* kNoEntries = "no entries";
inline constexpr const char* kOverlappedEntries = "overlapped components";
inline constexpr const char* kPastLastPart = "part past the last one of the set";
inline constexpr const char* kSamePartAgain = "the set names the part already open";
inline constexpr const char* kUnreadableArchive = "the file could not be read";

// The message of a code; empty for a code the engine does not use.
std::string_view ErrorText(int ECode);

// The root of the engine's own exceptions: the stream errors, EOSError and E_RAISE. Inside the
// engine only these are caught; anything else (std::bad_alloc, an event handler's exception) ends
// the run at Activate, which reports it with ecUnexpectedError.
class EArchive : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised by RaiseError with the text of its code; caught for the entry (or at the end of the run).
class E_RAISE : public EArchive {
 public:
  explicit E_RAISE(int ECode) : EArchive(std::string(ErrorText(ECode))), FECode(ECode) {}
  int ECode() const { return FECode; }

 private:
  int FECode;
};

}  // namespace ruvevid
