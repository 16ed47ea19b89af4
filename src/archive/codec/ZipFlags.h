#pragma once
// The bits of a zip entry's general-purpose flags that the decoders and the readers test.

#include <cstdint>

namespace ruvevid {

// The entry's data is enciphered and starts with the 12-byte encryption header.
inline constexpr std::uint16_t kEncryptedFlag = 0x0001;
// The CRC and the sizes follow the data in a data descriptor; the local header's are zero.
inline constexpr std::uint16_t kDataDescriptorFlag = 0x0008;

}  // namespace ruvevid
