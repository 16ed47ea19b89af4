#pragma once
// Conversion of stored entry names to the system's text encoding (UTF-8), standing in for the
// OEM-to-ANSI conversion of the Windows build.

#include <optional>
#include <string>
#include <string_view>

namespace ruvevid {

// Strict UTF-8 validation: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view Text);

// Converts Text from the named code page to UTF-8; nothing when any byte cannot be converted.
std::optional<std::string> ConvertToUtf8(std::string_view Text, const char* FromCodePage);

// A stored name as the system shows it: a name flagged as UTF-8 (general purpose bit 11) or one
// that is valid UTF-8 is kept; otherwise it is taken as CP949 (the Korean system's code page) and,
// failing that, as CP437, the original OEM code page of zip.
std::string OemNameToUtf8(std::string_view Raw, bool Utf8Flag);

}  // namespace ruvevid
