#include "archive/base/SignatureTable.h"

namespace ruvevid {

namespace {

constexpr bool Is(const TSignatureHead& H, std::uint8_t A, std::uint8_t B) {
  return H[0] == A && H[1] == B;
}

constexpr bool Is(const TSignatureHead& H, std::uint8_t A, std::uint8_t B, std::uint8_t C,
                  std::uint8_t D) {
  return H[0] == A && H[1] == B && H[2] == C && H[3] == D;
}

constexpr TSignatureClass Pick(bool InExecutable, TArcType Plain, TArcType Executable) {
  return {InExecutable ? Executable : Plain};
}

}  // namespace

TSignatureClass ClassifySignatureHead(bool InExecutable, const TSignatureHead& H) {
  using enum TArcType;
  const bool E = InExecutable;
  if (Is(H, 0x42, 0x48, 0x05, 0x07)) return Pick(E, atBh, atBhExe);
  if (Is(H, 'R', 'a', 'r', '!')) return Pick(E, atRar, atRarExe);
  if (Is(H, 'P', 'K', 'G', '5')) return {atUnknown};
  if (Is(H, 'M', 'S', 'C', 'F')) return Pick(E, atCab, atCabExe);
  if (Is(H, 0xB7, 0xDF, 'T', 'W')) return {E ? atArcExe : atArc, false, false, E};
  if (Is(H, 0x13, 0x5D, 0x65, 0x8C)) return Pick(E, atMsGZ, atUnsupported);
  if (H[2] == '-' && H[3] == 'l') return Pick(E, atLha, atLhaExe);
  if (Is(H, 0x1A, 0x02) || Is(H, 0x1A, 0x1E)) return Pick(E, atArc, atUnsupported);
  if (Is(H, 0x1A, 0x08) || Is(H, 0x1A, 0x09)) return Pick(E, atArc, atArcExe);
  if (Is(H, 0x1A, 0x0A) || Is(H, 0x1A, 0x0B)) return Pick(E, atPak, atPakExe);
  if (Is(H, 0x1F, 0x1E) || Is(H, 0x25, 0x21) || Is(H, 0x1F, 0x8B) || Is(H, 0x1F, 0x9D) ||
      Is(H, 0x1F, 0x9E) || Is(H, 0x1F, 0xA0))
    return Pick(E, atGZip, atUnsupported);
  if (Is(H, 'H', 'A')) return Pick(E, atHA, atUnsupported);
  if (H[0] == 'P' && (H[1] == 'K' || H[1] == 'L' || H[1] == 'M' || H[1] == 'N')) {
    if (H[2] == 0x01 && H[3] == 0x02) return {atNA, true, true, false};
    if (H[2] == 0x07 && H[3] == 0x08) return {atNA, true, false, false};
    if ((H[2] == 'G' && H[3] == '4') || (H[2] == 'C' && H[3] == 'I')) return {atNA};
    return Pick(E, atZip, atZipExe);
  }
  if (Is(H, 'Z', 'O')) return Pick(E, atZoo, atUnsupported);
  if (Is(H, 0xB7, 0x92) || Is(H, 0xB7, 0xDF)) return {atArcExe, false, false, true};
  if (Is(H, 0x60, 0xEA)) return Pick(E, atArj, atArjExe);
  return {atNA};
}

}  // namespace ruvevid
