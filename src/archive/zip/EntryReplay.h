#pragma once
// The caller's side of an entry a worker decoded: what the decoding recorded is fired on the
// caller's thread, in the recorded order, with the figures a decoding on this thread would have
// given, and the decoding then ends as it ended on the worker.

namespace ruvevid {

class TUnZip;
struct TEntryRecord;

// Replays Record for the current entry: progress points count the run's BytesRemaining down and
// go to the progress handler with the archive's percentage of this run, error reports name the
// entry's final OutputName, pumps pump the application's messages, and at each recorded look at
// the cancel flag the replay stops when the run has been cancelled meanwhile (the decoder would
// have stopped there). Leaves the entry's CRC accumulator as the decoding left it, then raises
// what the decoding raised.
void ReplayEntry(TUnZip& Arc, const TEntryRecord& Record);

}  // namespace ruvevid
