#pragma once
// Adler-32 checksum of the wrapped (RFC 1950) deflate form.

#include <cstddef>
#include <cstdint>

namespace ruvevid {

inline constexpr std::uint32_t kAdler32Start = 1;

// Folds Size bytes into a running Adler-32 value (start with kAdler32Start).
std::uint32_t Adler32Update(std::uint32_t Adler, const std::uint8_t* Data, std::size_t Size);

}  // namespace ruvevid
