#pragma once
// Text at the Windows boundary: the program keeps UTF-8 inside and hands the system UTF-16.

#include <string>
#include <string_view>

namespace ruvevid {

// Invalid sequences become U+FFFD in both directions.
std::wstring Utf8ToWide(std::string_view Text);
std::string WideToUtf8(std::wstring_view Text);
// An absolute path with the \\?\ prefix that lifts the MAX_PATH limit (\\?\UNC\ for a share);
// a relative or already prefixed path is only converted.
std::wstring LongPath(std::string_view Path);

}  // namespace ruvevid
