#pragma once
// The extraction of one zip entry: asks whether to extract it, checks the password of an encrypted
// entry, creates the output file or directory, decodes the entry by its method, closes the output
// and delivers the CRC verdict with OnEnd. A failure never stops the walk.
//
// A file entry is written to a temporary file beside its target, which takes the target's place
// only when the entry's CRC check passes; on any failure the temporary file is removed and an
// existing target keeps its bytes (an entry without a previous file leaves none).

#include <cstdint>
#include <functional>
#include <memory>

namespace ruvevid {

class TStream32;
class TUnZip;
class TZipVolumeHooks;
struct TEntryRecord;

// Waits for a worker's decoding of the entry and gives its record (null: none); empty when the
// entry is decoded on the caller's thread.
using TAheadEntry = std::function<TEntryRecord*()>;

// The walk has read the entry's local header (ZipState().Headers.Local), left Input at the first
// byte after its name and extra field, filled Run().Decode.EntryInfo, EntryName and OutputName and
// made the entry's directory record current. ListedFromCentral: the entry came from the central
// directory (ZipState().Headers.Central holds its central header). Returns the CRC verdict, or
// false when the entry was declined. An exception from ConfirmEntry or CheckPassword (an
// application's handler) passes; every other one ends only the entry. With Ahead, a file entry
// that is accepted and whose output could be opened takes the worker's decoded file and replays
// the worker's record in place of decoding (it is decoded here when the worker could not).
bool ExtractEntry(TUnZip& Arc, TZipVolumeHooks& Volumes, std::unique_ptr<TStream32>& Input,
                  std::uint32_t Attr, bool ListedFromCentral, const TAheadEntry& Ahead = {});

}  // namespace ruvevid
