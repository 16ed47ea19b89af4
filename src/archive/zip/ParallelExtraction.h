#pragma once
// Parallel extraction: how the zip walks are to decode entries on worker threads while the
// application still sees one extraction on its own thread. Nothing here runs yet; the walks decode
// one entry after another on the caller's thread. This note fixes the design the worker pool is to
// be built on, so that every step towards it keeps the present behaviour.
//
// THE RULE. Every event (OnBegin, OnRenameFile, OnFileExists, OnProgress, OnEnd, OnError,
// OnGetPassword, OnNextVolume and the disk events) fires on the caller's thread, in archive order,
// with the figures a sequential run gives (OnElapsedTime aside: only the time differs). Workers
// never call an event, never pump the application's messages and never touch the run state.
//
// ONE ENTRY TODAY (the path a worker takes over).
//   ExtractCentralEntries / ExtractLocalEntries (ZipWalks.cpp)
//     BeginEntry: CurrentEntry, volume bring-up (split and spanned sets only)
//     ReadLocalEntryHeader: Headers.Local, HighWords, entry name; fills Run.Decode.EntryInfo
//     VisitEntry: SetOutputName -> ExtractEntry (EntryDriver.cpp)
//       ConfirmEntry: OnRenameFile, OnBegin, overwrite rules / OnFileExists, ExtractedCount
//       CheckPassword (encrypted entries): password events, keys Run.Decode.Cipher
//       TStagedEntryOutput::Open: name and target checks, temporary file beside the target
//       DecodeEntry (MethodDispatch.cpp): CRC start, EntryInfo, budgets, output limit; stored copy,
//         legacy decoder or InflateEntry; every block goes through ReadBlock / WriteBlock
//         (BlockIo.cpp: cipher, output limit, CRC) and every block ends in ReportProgress, which
//         counts BytesRemaining down and fires OnProgress
//       Close (date, attributes), CRC compare, Commit or Discard, FinishEntryProgress, CheckCrc
//         (OnEnd or error 25151)
//
// WHAT A WORKER DOES with an entry it is given (index, local header offset, TZipEntryInfo, the CRC
// to check, whether its size is known):
//   1. Reads from its own read handle on the archive (opened once per worker, buffered like the
//      caller's), seeks to the local header, re-reads it and stands at the data.
//   2. Decodes by method into its own staged temporary file, made in a run folder on the same file
//      system as the output (below StagingDir or ExtractDir), so that committing is a rename. The
//      target's name is not known yet: OnRenameFile and OnFileExists may still change it.
//   3. Uses only its own TEntryDecodeState: CRC accumulators, cipher keys, inflate buffers, the
//      packed and output budgets and the output limit (the limit of an entry of unknown size is
//      taken from its own handle's size and position, which gives the sequential figure).
//   4. Records, in order, what the sequential run would have done to the run state and the events:
//      each progress point (bytes processed, Done, Size) and each error report (code, message,
//      volume, and whether it names the entry's output, which is only known at replay), and each
//      point where the decoder looked at the cancel flag. It ends with the CRC it computed, whether
//      the data was complete and whether the staged file was written and closed.
//   Workers read the cancel flag (made atomic) to stop early; they never set it.
//
// WHAT THE CALLER'S THREAD DOES, entry by entry in archive order:
//   1. Fills the window: hands the next entries to idle workers (see MEMORY).
//   2. ConfirmEntry as today (OnRenameFile, OnBegin, the overwrite rules). Declined or cancelled:
//      the worker's output is discarded (the worker is told to stop if it is still decoding) and
//      SkipEntryProgress runs as today.
//   3. Accepted: waits for the worker's record; runs the checks of TStagedEntryOutput::Open on the
//      final name (refusal, name length, directory or read-only file at the target); a refusal
//      reports 25235 and skips as today.
//   4. Replays the record: for each progress point, BytesRemaining -= bytes and ReportProgress with
//      the recorded Done and Size (ProgressByArchive is computed here, from the run's countdown, so
//      it is the sequential figure); for each error, ReportError with the final OutputName where
//      the record says so; at each cancel point, stops the replay when the cancel flag is set (an
//      OnProgress handler may have cancelled), as the decoder would have stopped there.
//   5. Dates the staged file and applies its attributes (DateAttribute, RestoreFileAttr), carries
//      over the permissions of a file standing at the target, compares the CRC, commits (rename)
//      or discards, FinishEntryProgress, uncounts an entry not kept, CheckCrc -> OnEnd.
//   Encrypted entries are never given to a worker: the caller runs them inline in their turn
//   (password events, cipher keyed by CheckPassword), while workers go on with later entries.
//   Directory entries are made by the caller in their turn; they decode nothing.
//
// PER-RUN STATE THAT THE DECODING TOUCHES (what must become per worker, or stay with the caller).
//   TRunState, per entry and per worker (grouped in TEntryDecodeState): EntryInfo, PackedBytesLeft,
//     OutputBytesExpected, EntrySizeKnown, OutputLimit, OutputWritten, Crc, Cipher, InflateMemory.
//   TRunState, the caller's only, replayed from the record: BytesRemaining, ProgressByFile,
//     ProgressByArchive, ExtractedCount, OutputName and EntryName (error texts name the final
//     output), EntryEncrypted, Password, PasswordFailed, CurrentEntry (written only by the volume
//     code of split and spanned sets), CurrentVolumeName, KnownFolders, LinkFreeFolders, DosTimes.
//   TRunState, read only while workers run: TotalUnpackedSize, NewestEntryDate, OutputMode.
//   TZipCommon / TArcBase: ReadHandler, WriteHandler and ProgressHandler are bound to the component
//     and write its run state: a worker gets its own handlers bound to its TEntryDecodeState and
//     its record. ZipState().Headers.Local / Central and HighWords are read by InflateEntry's
//     EntrySize and written by the walks: the worker gets the entry's copy. The cancel flag (read
//     by workers, so atomic), Application() (ProcessMessages only on the caller's thread, during
//     the replay), Timer() (paused by ReportError and ConfirmEntry: the caller's), ArcType and
//     ArchiveFile (read only), HeaderKeyState (const).
//
// FALLBACK TO ONE THREAD (the present path, unchanged): split and spanned sets (the volume events
// and the drive decide where data continues), ConfirmOverwrites (OnFileExists may change the name
// and the overwrite decision before the data is written), -j 1, one selected entry, and a run in
// which no entry can be accepted (OverwriteMode other than omOverwrite without ConfirmOverwrites).
// Password prompts do not force it: encrypted entries run inline, see above.
//
// MEMORY stays bounded (anonymous memory under 64 MB with every worker running): decoded data goes
// to staged files on disk, never to memory; a worker holds one read buffer, one inflate state with
// its window (64 KB for deflate64), one output chunk (kInflateChunkSize) or stored block, and a
// legacy decoder's tables; a record holds fixed-size progress points, one per block. The caller
// hands out at most N + 1 entries ahead of the one it is replaying (N workers busy, one finished
// and waiting), so neither records nor staged files pile up when the application is slow.
//
// ruvevid-unzip -j N sets the worker count (default: one per core); it keeps per-entry staged
// files, so a failed entry never replaces a file.
//
// STEPS, each one behaviour-preserving and tested on its own:
//   1. The per-entry decode members are grouped in TEntryDecodeState (Run().Decode).
//   2. Block I/O (ReadBlock, WriteBlock, DecodeBuffer, CopyStored) and the decoders take the
//      TEntryDecodeState they work on instead of reaching into the run state.
//   3. The decoders report through an entry sink (progress point, error, cancel point): the direct
//      sink does what ReportProgress and ReportError do today; a recording sink keeps the record.
//   4. Decoding takes the entry's copy of its local header and sizes instead of ZipState().
//   5. TStagedEntryOutput splits into the staged file a decoder writes and the target checks and
//      commit the caller does.
//   6. The worker pool, the window and the replay in the walks; ruvevid-unzip -j N. The check: for
//      every test archive, the event trace of a run with N workers equals that of -j 1.
