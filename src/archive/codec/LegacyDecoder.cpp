#include "archive/codec/LegacyDecoder.h"

#include <utility>

#include "archive/codec/Explode.h"
#include "archive/codec/Unreduce.h"
#include "archive/codec/Unshrink.h"
#include "archive/codec/ZipFlags.h"

namespace ruvevid {

TLegacyDecoder::TLegacyDecoder(TLegacyIo Io, const TLegacyEntry& Entry)
    : FEntry(Entry),
      FContext(std::move(Io)),
      FInput(FContext, (Entry.Flags & kEncryptedFlag) != 0, Entry.CompressedSize),
      FOutput(FContext) {}

TLegacyDecoder::~TLegacyDecoder() = default;

bool TLegacyDecoder::RunMethod() {
  switch (FEntry.Method) {
    case 1:
      if (PrepareShrunk()) DecodeShrunk();
      return true;
    case 2:
    case 3:
    case 4:
    case 5:
      if (PrepareReduced()) DecodeReduced();
      return true;
    case 6:
      if (PrepareImploded(FEntry.Flags)) DecodeImploded();
      return true;
    default:
      return false;
  }
}

bool TLegacyDecoder::PrepareShrunk() {
  FShrink = std::make_unique<TShrinkTables>();
  return true;
}

bool TLegacyDecoder::PrepareReduced() {
  FReduce = std::make_unique<TReduceTables>();
  FOutput.AllocateDictionary();
  return true;
}

bool TLegacyDecoder::PrepareImploded(std::uint16_t Flags) {
  FImplode = std::make_unique<TImplodeTables>(Flags);
  FOutput.AllocateDictionary();
  return true;
}

void TLegacyDecoder::DecodeShrunk() {
  if (FShrink) FShrink->Decode(FContext, FInput, FOutput, FEntry.UnpackedSize);
}

void TLegacyDecoder::DecodeReduced() {
  if (FReduce) {
    FReduce->Decode(FContext, FInput, FOutput, static_cast<int>(FEntry.Method),
                    FEntry.UnpackedSize);
  }
}

bool TLegacyDecoder::DecodeImploded() {
  return FImplode && FImplode->Decode(FContext, FInput, FOutput, FEntry.UnpackedSize);
}

void TLegacyDecoder::FreeTables() {
  FShrink.reset();
  FReduce.reset();
  FImplode.reset();
  FOutput.FreeDictionary();
}

}  // namespace ruvevid
