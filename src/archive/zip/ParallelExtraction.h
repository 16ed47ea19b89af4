#pragma once
// Parallel extraction: how the zip walks decode entries on worker threads while the application
// still sees one extraction on its own thread.
//
// THE RULE. Every event (OnBegin, OnRenameFile, OnFileExists, OnProgress, OnEnd, OnError,
// OnGetPassword, OnNextVolume and the disk events) fires on the caller's thread, in archive order,
// with the figures a run on one thread gives (OnElapsedTime aside). Workers never call an event,
// never pump the application's messages and never touch the caller's component.
//
// WHO DOES WHAT (ZipWalks.cpp ExtractEntries).
//   The walk starts a TEntryWorkerPool (EntryWorkerPool.h) when TUnZip::Threads (0: one per core)
//   asks for more than one thread and the run allows it (below). Before each entry it hands the
//   entries that follow, up to kAheadPerWorker per worker ahead of the one it is on, to the pool
//   (folders are not handed out: they decode nothing), each as a TEntryListing (EntryHeader.h):
//   its directory record, its central header, its data descriptor.
//   A worker owns a TEntryDecoder (EntryDecoder.h): a TUnZip of its own, with its own read handle
//   on the archive and its own run and decode state. It reads the entry's local header with the
//   same ReadEntryHeader as the walk and decodes the entry with the same DecodeEntry into a new
//   file in its own folder of the run's decoding folder (a hidden folder in the nearest existing
//   folder on the way to the output, so that the file can become the output by a rename; files
//   made in one folder at once wait for each other, hence a folder per worker). Its error
//   reports, progress points, message pumps and looks at the cancel flag go, in order, to the
//   entry's TEntryRecord (EntryRecord.h), with the CRC it computed, how the decoding ended and the
//   file, still open. Output names in its reports are a placeholder: the final name is not known
//   yet. An encrypted entry is deciphered with the first of the passwords known when it was
//   handed out (the run's current one, then its list) that its check byte accepts, and handed back
//   undecoded when none does: the password flow has events, so only the caller's thread asks.
//   The caller's thread goes through each entry exactly as on one thread: BeginEntry, the local
//   header, OnRenameFile and OnBegin, the overwrite rules, the password flow and the staged output
//   (EntryDriver.cpp). Where it would make the staged file, it waits for the worker's record
//   (pumping the application's messages every kWaitSliceMs meanwhile, and stopping the entry when
//   the run is cancelled there) and takes the worker's file as the staged file instead
//   (TStagedEntryOutput::Open with the record, TakeStagingFile): the same refusals, the same
//   permissions, and the same single rename over the target at the end, so an entry costs the file
//   system what it costs on one thread. It then replays the record (EntryReplay.h): progress points
//   count the run's BytesRemaining down and report the run's percentages, errors name the final
//   output, and at each recorded look at the cancel flag the replay stops when the run has been
//   cancelled meanwhile. Dating, attributes (through the handle), the close, the CRC verdict,
//   commit or discard and OnEnd follow as on one thread. An entry the worker could not decode, an
//   encrypted one whose password flow ended on another password than the worker's, or one whose
//   file cannot be renamed to its target (another file system), is decoded on the spot. An entry
//   that is declined, refused or cancelled is released: its decoding is stopped and its file closed
//   and removed. The pool's end stops the workers and removes the decoding folder, on every path.
//
// ONE THREAD (the sequential path, unchanged): Threads 1, a single listed entry, split and spanned
// sets (the volume events and the drive decide where data continues), ConfirmOverwrites
// (OnFileExists may change the name and the decision), OverwriteMode other than omOverwrite
// (nothing can be accepted), an archive stream the run did not open from ArchiveFile, and a run
// whose decoding folder could not be made.
//
// MEMORY stays bounded: decoded data goes to files, never to memory. A worker holds one read
// buffer, one inflate state with its window, one output chunk or stored block, and a legacy
// decoder's tables; a record holds a few small steps per block. At most kAheadPerWorker entries per
// worker are handed out and not yet released; their files stay open until then.
