#pragma once
// UTF-8 inside, UTF-16 at the Windows system boundary. Used only by the Win32 implementations.

#include <string>
#include <string_view>

namespace ruvevid {

// The UTF-16 form of a UTF-8 text; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view Text);
// The UTF-8 form of a UTF-16 text; unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view Text);
// The path as the wide file functions take it: '/' becomes '\', a relative path is made absolute,
// and an absolute path gets the "\\?\" prefix ("\\?\UNC\" for a share) so that it may be longer
// than MAX_PATH. "." and ".." components are resolved first, as the prefix turns that off.
std::wstring LongPath(std::string_view Path);

}  // namespace ruvevid
