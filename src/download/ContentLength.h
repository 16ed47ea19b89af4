#pragma once
// Reading a Content-Length header's text as the download component's 32-bit FileSize.

#include <cstdint>
#include <string_view>

namespace ruvevid {

// Leading and trailing blanks and control characters (every byte up to the space) are removed;
// the rest must be an optional sign followed by decimal digits within the 32-bit signed range.
// Anything else reads as 0.
std::int32_t ParseContentLength(std::string_view Text);

}  // namespace ruvevid
