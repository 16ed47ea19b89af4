#pragma once
// Text at the Windows system boundary: the program keeps UTF-8 inside and hands the system UTF-16.

#include <string>

namespace ruvevid {

// Invalid UTF-8 turns into U+FFFD rather than failing: the text is for display or a system call
// that reports its own error.
std::wstring Utf8ToWide(const std::string& Text);
std::string WideToUtf8(const std::wstring& Text);
// An absolute path with the \\?\ prefix (\\?\UNC\ for a share), so that it may exceed MAX_PATH;
// a relative path comes back unchanged.
std::wstring LongPath(const std::string& Path);

}  // namespace ruvevid
