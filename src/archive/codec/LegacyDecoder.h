#pragma once
// The legacy zip decoders of one entry: method 1 (shrunk), methods 2 to 5 (reduced) and method 6
// (imploded), with the compressed-input reader, the output buffer and the dictionary they share.
//
// The method dispatch makes one TLegacyDecoder per entry (which resets all of this state), runs the
// method's preparation and, when it succeeds, its decoder; then, on every path including an
// exception, frees the tables and calls FlushOutput for what is still buffered:
//
//   TLegacyDecoder Legacy(Io, Entry);
//   try {
//     Legacy.RunMethod();            // PrepareShrunk + DecodeShrunk, ... by Entry.Method
//   } catch (const E_RAISE&) {       // raised through Io.RaiseError; the entry stays short
//   }
//   Legacy.FreeTables();
//   Legacy.FlushOutput();            // a failed write raises through Io.RaiseError
//
// Nothing is shared between entries or between decoders.

#include <cstdint>
#include <memory>

#include "archive/codec/LegacyContext.h"
#include "archive/codec/LegacyInput.h"
#include "archive/codec/LegacyIo.h"
#include "archive/codec/LegacyOutput.h"

namespace ruvevid {

class TShrinkTables;
class TReduceTables;
class TImplodeTables;

class TLegacyDecoder {
 public:
  TLegacyDecoder(TLegacyIo Io, const TLegacyEntry& Entry);
  ~TLegacyDecoder();
  TLegacyDecoder(const TLegacyDecoder&) = delete;
  TLegacyDecoder& operator=(const TLegacyDecoder&) = delete;

  // True when Method is one of the legacy methods (1 to 6).
  static bool HandlesMethod(std::uint32_t Method) { return Method >= 1 && Method <= 6; }

  // The preparation and decoder of the entry's method; false for a method that is not 1 to 6
  // (then nothing is read or written).
  bool RunMethod();

  // Preparations: allocate and initialise the method's tables; true when they are ready. An
  // allocation that fails raises std::bad_alloc, which ends the run where the component runs it
  // (the method dispatch frees the tables on every path).
  bool PrepareShrunk();
  bool PrepareReduced();
  bool PrepareImploded(std::uint16_t Flags);

  // Decoders: decode the whole entry. DecodeImploded is false when its trees could not be built.
  void DecodeShrunk();
  void DecodeReduced();
  bool DecodeImploded();

  // Frees the method's tables and the dictionary.
  void FreeTables();
  // Writes what is left in the output buffer.
  void FlushOutput() { FOutput.FlushOutput(); }

  std::int64_t OutputCount() const { return FOutput.OutputCount(); }
  std::int64_t CompressedBytesLeft() const { return FInput.CompressedBytesLeft(); }

 private:
  TLegacyEntry FEntry;
  TLegacyContext FContext;
  TLegacyInput FInput;
  TLegacyOutput FOutput;
  std::unique_ptr<TShrinkTables> FShrink;
  std::unique_ptr<TReduceTables> FReduce;
  std::unique_ptr<TImplodeTables> FImplode;
};

}  // namespace ruvevid
