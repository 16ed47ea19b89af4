#pragma once
// The error codes the extraction engine reports through OnError, their texts, and E_RAISE, the
// exception that aborts the entry being extracted (it never leaves Activate).

#include <stdexcept>
#include <string>
#include <string_view>

namespace ruvevid {

inline constexpr int ecBadFileHeader = 25114;
inline constexpr int ecBadBlock = 25116;
inline constexpr int ecWriteError = 25136;
inline constexpr int ecCloseError = 25138;
inline constexpr int ecCrcError = 25151;
inline constexpr int ecDiskFull = 25160;
inline constexpr int ecNotAccessible = 25170;
inline constexpr int ecWriteProtected = 25171;
inline constexpr int ecFileNotFound = 25192;
inline constexpr int ecOpenError = 25235;
inline constexpr int ecEventNotAssigned = 25270;
inline constexpr int ecAmbiguousTree = 25293;
inline constexpr int ecStackOverflow = 25299;
inline constexpr int ecUnsupportedMethod = 25326;
inline constexpr int ecUserCanceled = 25443;
inline constexpr int ecInvalidPassword = 26517;

// Extended messages that say why an archive or an entry was refused.
inline constexpr const char* kNotRegularFile = "not a regular file";
inline constexpr const char* kNameTooLong = "File name too long";
inline constexpr const char* kOutputOverrun = "more data than the archive declares";
inline constexpr const char* kNotZipArchive = "not a zip archive";
inline constexpr const char* kNoEntries = "no entries";
inline constexpr const char* kOverlappedEntries = "overlapped components";
inline constexpr const char* kPastLastPart = "part past the last one of the set";
inline constexpr const char* kSamePartAgain = "the set names the part already open";

// The message of a code; empty for a code the engine does not use.
std::string_view ErrorText(int ECode);

// Raised by RaiseError with the text of its code; caught for the entry (or at the end of the run).
class E_RAISE : public std::runtime_error {
 public:
  explicit E_RAISE(int ECode) : std::runtime_error(std::string(ErrorText(ECode))), FECode(ECode) {}
  int ECode() const { return FECode; }

 private:
  int FECode;
};

}  // namespace ruvevid
