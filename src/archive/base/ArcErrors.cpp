#include "archive/base/ArcErrors.h"

#include <array>
#include <utility>

namespace ruvevid {

std::string_view ErrorText(int ECode) {
  static constexpr std::array<std::pair<int, std::string_view>, 17> Texts = {{
      {ecUnexpectedError, "Unexpected error"},
      {ecBadFileHeader, "Bad file header"},
      {ecBadBlock, "Bad block"},
      {ecWriteError, "Error writing to file"},
      {ecCloseError, "Error closing file"},
      {ecCrcError, "File fails CRC check"},
      {ecDiskFull, "Disk full"},
      {ecNotAccessible, "is not accessible"},
      {ecWriteProtected, "disk is write protected"},
      {ecFileNotFound, "File not found"},
      {ecOpenError, "Error opening file"},
      {ecEventNotAssigned, "Required event not assigned"},
      {ecAmbiguousTree, "Ambiguous Shannon-Fano decode tree encountered"},
      {ecStackOverflow, "Stack overflow"},
      {ecUnsupportedMethod, "Unsupported compression method"},
      {ecUserCanceled, "User canceled"},
      {ecInvalidPassword, "Invalid password"},
  }};
  for (const auto& [Code, Text] : Texts) {
    if (Code == ECode) return Text;
  }
  return {};
}

}  // namespace ruvevid
