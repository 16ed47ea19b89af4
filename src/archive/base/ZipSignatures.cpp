#include "archive/base/ZipSignatures.h"

namespace ruvevid {

THeaderType GetZipHeaderType(std::uint32_t Signature, THeaderType Kind, bool& Enciphered) {
  Enciphered = false;
  switch (Kind) {
    case THeaderType::htLocal:
      switch (Signature) {
        case kLocalSignatureK:
        case kLocalSignatureM:
          return THeaderType::htLocal;
        case kLocalSignatureL:
        case kLocalSignatureN:
          Enciphered = true;
          return THeaderType::htLocal;
        default:
          return THeaderType::htNone;
      }
    case THeaderType::htCentral:
      switch (Signature) {
        case kCentralSignatureK:
        case kCentralSignatureM:
          return THeaderType::htCentral;
        case kCentralSignatureL:
        case kCentralSignatureN:
          Enciphered = true;
          return THeaderType::htCentral;
        default:
          return THeaderType::htNone;
      }
    case THeaderType::htEnding:
      switch (Signature) {
        case kEndSignatureK:
        case kWideEndSignature:
          return THeaderType::htEnding;
        case kEndSignatureL:
        case kWideEndSignatureEnciphered:
          Enciphered = true;
          return THeaderType::htEnding;
        default:
          return THeaderType::htNone;
      }
    default:
      return THeaderType::htNone;
  }
}

bool IsLocalHeaderSignature(std::uint32_t Signature) {
  bool Enciphered = false;
  return GetZipHeaderType(Signature, THeaderType::htLocal, Enciphered) == THeaderType::htLocal;
}

}  // namespace ruvevid
