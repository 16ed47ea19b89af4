#pragma once
// The inflate decoder for zip methods 8 (deflate) and 9 (deflate64), raw or wrapped (RFC 1950
// header and Adler-32 trailer). The caller points TInflateRecord at compressed input and output
// space and calls DecoderRun until it returns kInflateStreamEnd or a failure; every call consumes
// and produces as much as it can and may stop anywhere.

#include <cstddef>

#include "archive/codec/InflateRecord.h"
#include "archive/codec/InflateResult.h"

namespace ruvevid {

// Creates the decoder state. WindowBits < 0 selects raw data with -WindowBits window bits; > 0 the
// wrapped form. In deflate64 the window gets one bit more (-15 gives 64 KB). The variant holds for
// the decoder's whole life. RecordSize guards against a caller built with another record layout.
// Result: 0; -2 window bits out of range; -4 an allocation failed; -6 layout mismatch.
int DecoderInit(TInflateRecord& Record, TInflateVariant Variant, int WindowBits,
                std::size_t RecordSize = sizeof(TInflateRecord));

// Decodes as far as input and output space allow. Result: 0 progress made; 1 end of stream (every
// byte delivered); 2 a preset dictionary is needed; -2 bad call; -3 invalid data (sticky); -4 a
// table set does not fit; -5 no progress possible.
int DecoderRun(TInflateRecord& Record);

// Back to the start of a new stream: totals 0, first mode, empty window. 0, or -2 without a state.
int DecoderReset(TInflateRecord& Record);

// Releases the state, its table pool and window. 0, or -2 without a state.
int DecoderFree(TInflateRecord& Record);

}  // namespace ruvevid
