#pragma once
// Classification of the 4-byte header signatures.

#include <cstdint>

#include "archive/base/ZipRecords.h"

namespace ruvevid {

// Kind is htLocal, htCentral or htEnding. Returns Kind when Signature is one of the accepted
// values for that kind (setting Enciphered for the 'L', 'N' and '\' markers), otherwise htNone.
THeaderType GetZipHeaderType(std::uint32_t Signature, THeaderType Kind, bool& Enciphered);

// True for a local header signature of any marker.
bool IsLocalHeaderSignature(std::uint32_t Signature);

// True for the two signatures of the 26-byte wide end record.
constexpr bool IsWideEndSignature(std::uint32_t Signature) {
  return Signature == kWideEndSignature || Signature == kWideEndSignatureEnciphered;
}

}  // namespace ruvevid
