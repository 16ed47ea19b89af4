#pragma once
// Text at the Windows system boundary: the program keeps UTF-8 everywhere and converts to the
// system's UTF-16 only in the calls that need it.

#include <string>
#include <string_view>

namespace ruvevid {

// UTF-8 to UTF-16; a byte that is not part of valid UTF-8 becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view Text);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string WideToUtf8(std::wstring_view Text);
// Path in UTF-16 for the file calls, with the "\\?\" prefix ("\\?\UNC\" for a share) when it is
// absolute, so that paths beyond MAX_PATH work; '/' becomes '\'. A relative path is only
// converted.
std::wstring LongPath(std::string_view Path);

}  // namespace ruvevid
