#pragma once
// Entry names as stored after a header, and their translation to the names the system uses.

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/base/PathRules.h"

namespace ruvevid {

class TStream32;
class TZipCipher;

// Reads a header's name of Length bytes, the whole name (a name cut short could land on another
// entry's file; a name the file system cannot hold is refused when its output is made), deciphers
// it when Decipher is given (an enciphered header's key stream goes on into its name) and cuts it
// at its first zero byte. The stream then stands after the whole name.
std::string ReadHeaderName(TStream32& Stream, std::uint16_t Length, TZipCipher* Decipher = nullptr);

// General purpose flag bit 11: the name is UTF-8.
inline constexpr std::uint16_t kUtf8NameFlag = 0x0800;

// The name the system uses for a stored name: converted to UTF-8 when TranslateOemChar is set
// (see OemNameToUtf8), then every separator ('/' and '\') made the rules' separator.
std::string TranslateEntryName(std::string_view Raw, std::uint16_t Flags, bool TranslateOemChar,
                               const TPathRules& Rules = TPathRules::Native());

}  // namespace ruvevid
