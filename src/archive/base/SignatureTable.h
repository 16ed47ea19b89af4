#pragma once
// The first four bytes of an archive and the types they stand for.

#include <array>
#include <cstdint>

#include "archive/base/ArcTypes.h"

namespace ruvevid {

using TSignatureHead = std::array<std::uint8_t, 4>;

// What the table says about a head. SplitZip: the type is decided by ClassifySplitZip (and, with
// LocateAfterSplit, the end-record search runs after it without its result being kept).
// SetsArcOffset: FirstHeaderOffset becomes kArcExeStubOffset.
struct TSignatureClass {
  TArcType Type = TArcType::atNA;
  bool SplitZip = false;
  bool LocateAfterSplit = false;
  bool SetsArcOffset = false;
  friend constexpr bool operator==(const TSignatureClass&, const TSignatureClass&) = default;
};

inline constexpr std::int64_t kArcExeStubOffset = 7716;

// The table, in its order; InExecutable selects the right-hand column.
TSignatureClass ClassifySignatureHead(bool InExecutable, const TSignatureHead& Head);

}  // namespace ruvevid
