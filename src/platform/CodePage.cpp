#include "platform/CodePage.h"

#include <cstdint>

namespace ruvevid {

bool IsValidUtf8(std::string_view Text) {
  std::size_t I = 0;
  while (I < Text.size()) {
    const auto Lead = static_cast<std::uint8_t>(Text[I]);
    if (Lead < 0x80) {
      ++I;
      continue;
    }
    std::size_t Length = 0;
    std::uint32_t Code = 0;
    std::uint32_t Minimum = 0;
    if ((Lead & 0xE0) == 0xC0) {
      Length = 2, Code = Lead & 0x1FU, Minimum = 0x80;
    } else if ((Lead & 0xF0) == 0xE0) {
      Length = 3, Code = Lead & 0x0FU, Minimum = 0x800;
    } else if ((Lead & 0xF8) == 0xF0) {
      Length = 4, Code = Lead & 0x07U, Minimum = 0x10000;
    } else {
      return false;
    }
    if (Text.size() - I < Length) return false;
    for (std::size_t K = 1; K < Length; ++K) {
      const auto Next = static_cast<std::uint8_t>(Text[I + K]);
      if ((Next & 0xC0) != 0x80) return false;
      Code = (Code << 6) | (Next & 0x3FU);
    }
    if (Code < Minimum || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF)) return false;
    I += Length;
  }
  return true;
}

std::string OemNameToUtf8(std::string_view Raw, bool Utf8Flag) {
  if (Utf8Flag || IsValidUtf8(Raw)) return std::string(Raw);
  if (auto Korean = ConvertToUtf8(Raw, "CP949")) return *Korean;
  if (auto Dos = ConvertToUtf8(Raw, "CP437")) return *Dos;
  return std::string(Raw);
}

}  // namespace ruvevid
