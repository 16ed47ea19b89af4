#pragma once
// Worker threads that decode the entries of a run ahead of the caller's thread, each into a file of
// its own in a decoding folder beside the output. The caller hands out entries in archive order
// and takes their records back in the same order; at most kAheadPerWorker entries per worker are
// handed out and not yet taken back, so that neither records nor decoded files pile up when the
// application is slow. Workers never call an event and never touch the caller's component.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/zip/EntryHeader.h"
#include "archive/zip/EntryRecord.h"

namespace ruvevid {

class TEntryDecoder;
class TUnZip;

// How many entries per worker are handed out ahead of the one the caller is on. Most entries of an
// application take less time to decode than the caller takes to commit a few of them, so workers
// need entries to go on with while the caller catches up.
inline constexpr std::int32_t kAheadPerWorker = 8;
// How often a caller that waits for an entry gets control back.
inline constexpr std::int32_t kWaitSliceMs = 20;

class TEntryWorkerPool {
 public:
  // Starts Workers threads, each with its own decoder of Caller's archive (ArchiveSize bytes, as
  // the caller opened it), decoding into Folder, which the pool removes when it goes.
  TEntryWorkerPool(const TUnZip& Caller, std::int32_t Workers, std::int64_t ArchiveSize,
                   std::string Folder);
  // Stops every worker, waits for them and removes the decoding folder with what is left in it.
  ~TEntryWorkerPool();
  TEntryWorkerPool(const TEntryWorkerPool&) = delete;
  TEntryWorkerPool& operator=(const TEntryWorkerPool&) = delete;

  // The folder for the decoded files of a run extracting with Arc's settings: a new hidden folder
  // in the nearest existing folder on the way to the output, so that a decoded file takes its
  // place by a rename. Empty when none could be made (the run then decodes on one thread).
  static std::string MakeFolder(const TUnZip& Arc);

  // Entries handed out and not yet released.
  std::int32_t InFlight() const;
  std::int32_t Window() const {
    return static_cast<std::int32_t>(FDecoders.size()) * kAheadPerWorker;
  }

  // Hands entry Index, described by Listing, to the next idle worker.
  void Submit(std::int32_t Index, TEntryListing Listing);
  // Waits until entry Index is decoded and returns its record; null when it was not handed out.
  // The record stays the caller's until Release. While it waits, Waiting is called every
  // kWaitSliceMs (the caller pumps its application's messages there, so that a window stays
  // alive through a long entry); when it returns false the entry's decoding is stopped.
  TEntryRecord* Wait(std::int32_t Index, const std::function<bool()>& Waiting = {});
  // The caller is done with entry Index: its decoding is stopped if it still runs, its file is
  // closed and removed unless the caller took it (and cleared the record's Path).
  void Release(std::int32_t Index);

 private:
  enum class TSlotState : std::uint8_t { ssQueued, ssRunning, ssDone };
  struct TSlot {
    TEntryListing Listing;
    TEntryRecord Record;
    std::atomic<bool> Stop{false};
    TSlotState State = TSlotState::ssQueued;
  };

  void Work(TEntryDecoder& Decoder, const std::string& Folder);
  void DiscardFile(TSlot& Slot);

  const std::string FFolder;
  std::vector<std::unique_ptr<TEntryDecoder>> FDecoders;
  mutable std::mutex FLock;
  std::condition_variable FWake;
  std::condition_variable FDone;
  std::map<std::int32_t, std::unique_ptr<TSlot>> FSlots;
  std::deque<TSlot*> FQueue;
  bool FShutdown = false;
  std::vector<std::thread> FThreads;
};

}  // namespace ruvevid
