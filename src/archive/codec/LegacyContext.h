#pragma once
// What the pieces of one legacy decoding share: the component seam, the cancel flag as last seen
// and whether a raised error has ended the entry.

#include <utility>

#include "archive/codec/LegacyIo.h"

namespace ruvevid {

class TLegacyContext {
 public:
  explicit TLegacyContext(TLegacyIo Io) : FIo(std::move(Io)) { PollCancel(); }

  const TLegacyIo& Io() const { return FIo; }

  // The cancel flag can only change while the component runs application handlers, that is inside
  // the progress report of a flushed block and inside an error report. It is read again after each
  // of those and before every input refill, so the decoders see it at the next compressed byte
  // without asking the component for every byte.
  void PollCancel() {
    if (!FCancelled && FIo.GetCancel) FCancelled = FIo.GetCancel();
  }
  bool Cancelled() const { return FCancelled; }

  // Reports through the component's RaiseError. Normally that raises and never returns; when it
  // returns (the run is cancelled, or a binding that does not raise) the entry is over: Stopped()
  // tells every decoder loop to end without using the bad data.
  void RaiseError(int Code) {
    if (FIo.RaiseError) FIo.RaiseError(Code);
    FStopped = true;
    PollCancel();
  }

  void ReportError(int Code) {
    if (FIo.ReportError) FIo.ReportError(Code);
    PollCancel();
  }

  bool Stopped() const { return FStopped; }

 private:
  TLegacyIo FIo;
  bool FCancelled = false;
  bool FStopped = false;
};

}  // namespace ruvevid
