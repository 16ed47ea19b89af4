#include "archive/zip/EntryWorkerPool.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>

#include "archive/base/OutputFiles.h"
#include "archive/zip/EntryDecoder.h"
#include "archive/zip/UnZip.h"
#include "platform/FileSystem.h"
#include "platform/StagedFile.h"

namespace ruvevid {

namespace {

constexpr int kFolderAttempts = 16;

// Where the output goes: the staging folder or ExtractDir (as SetOutputName would take it when it
// is not set), without the trailing separator; empty for a relative folder.
std::string OutputRoot(const TUnZip& Arc) {
  std::string Root = !Arc.StagingDir.empty() ? Arc.StagingDir : Arc.ExtractDir();
  if (Root.empty()) Root = kOutputPathRules.DirWithSeparator(Arc.GetArchiveFile());
  if (Root.empty()) Root = CurrentFolder();
  if (Root.empty() || Root.front() != kOutputPathRules.Separator()) return {};
  while (Root.size() > 1 && Root.back() == kOutputPathRules.Separator()) Root.pop_back();
  return Root;
}

}  // namespace

std::string TEntryWorkerPool::MakeFolder(const TUnZip& Arc) {
  std::filesystem::path Near(OutputRoot(Arc));
  if (Near.empty()) return {};
  while (!DirectoryExists(Near.string())) {
    if (!Near.has_relative_path()) return {};
    Near = Near.parent_path();
  }
  const auto Clock =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::mt19937_64 Random(Clock);
  for (int Attempt = 0; Attempt < kFolderAttempts; ++Attempt) {
    const std::string Folder =
        (Near / (".ruvevid-decoding-" + std::to_string(Random() % 1000000000000ULL))).string();
    if (CreateFolder(Folder)) return Folder;
  }
  return {};
}

TEntryWorkerPool::TEntryWorkerPool(const TUnZip& Caller, std::int32_t Workers,
                                   std::int64_t ArchiveSize, std::string Folder)
    : FFolder(std::move(Folder)) {
  for (std::int32_t I = 0; I < Workers; ++I) {
    auto Decoder = std::make_unique<TEntryDecoder>(Caller);
    // A worker that cannot read the archive hands its entries back undecoded.
    Decoder->OpenArchive(ArchiveSize);
    FDecoders.push_back(std::move(Decoder));
  }
  // Each worker makes its files in a folder of its own: files made in one folder at the same time
  // wait for each other in the file system.
  for (std::size_t I = 0; I < FDecoders.size(); ++I) {
    std::string Own = FFolder + kOutputPathRules.Separator() + std::to_string(I);
    if (!CreateFolder(Own)) Own = FFolder;
    FThreads.emplace_back([this, &D = *FDecoders[I], Own = std::move(Own)] { Work(D, Own); });
  }
}

TEntryWorkerPool::~TEntryWorkerPool() {
  {
    const std::lock_guard Guard(FLock);
    FShutdown = true;
    FQueue.clear();
    for (auto& [Index, Slot] : FSlots) Slot->Stop = true;
  }
  FWake.notify_all();
  for (std::thread& Thread : FThreads) Thread.join();
  for (auto& [Index, Slot] : FSlots) DiscardFile(*Slot);
  RemoveTree(FFolder);
}

std::int32_t TEntryWorkerPool::InFlight() const {
  const std::lock_guard Guard(FLock);
  return static_cast<std::int32_t>(FSlots.size());
}

void TEntryWorkerPool::Submit(std::int32_t Index, TEntryListing Listing) {
  {
    const std::lock_guard Guard(FLock);
    auto Slot = std::make_unique<TSlot>();
    Slot->Listing = std::move(Listing);
    FQueue.push_back(Slot.get());
    FSlots[Index] = std::move(Slot);
  }
  FWake.notify_one();
}

TEntryRecord* TEntryWorkerPool::Wait(std::int32_t Index, const std::function<bool()>& Waiting) {
  std::unique_lock Guard(FLock);
  const auto Found = FSlots.find(Index);
  if (Found == FSlots.end()) return nullptr;
  TSlot& Slot = *Found->second;
  const auto Decoded = [&Slot] { return Slot.State == TSlotState::ssDone; };
  while (!FDone.wait_for(Guard, std::chrono::milliseconds(kWaitSliceMs), Decoded)) {
    if (!Waiting) continue;
    Guard.unlock();
    const bool GoOn = Waiting();
    Guard.lock();
    if (!GoOn) Slot.Stop = true;
  }
  return &Slot.Record;
}

void TEntryWorkerPool::Release(std::int32_t Index) {
  std::unique_ptr<TSlot> Slot;
  {
    std::unique_lock Guard(FLock);
    const auto Found = FSlots.find(Index);
    if (Found == FSlots.end()) return;
    TSlot& Held = *Found->second;
    Held.Stop = true;
    if (Held.State == TSlotState::ssQueued) {
      FQueue.erase(std::find(FQueue.begin(), FQueue.end(), &Held));
    } else {
      FDone.wait(Guard, [&Held] { return Held.State == TSlotState::ssDone; });
    }
    Slot = std::move(Found->second);
    FSlots.erase(Found);
  }
  DiscardFile(*Slot);
}

void TEntryWorkerPool::DiscardFile(TSlot& Slot) {
  Slot.Record.File.Close();
  if (Slot.Record.Path.empty()) return;
  DiscardStagingFile(Slot.Record.Path);
  Slot.Record.Path.clear();
}

void TEntryWorkerPool::Work(TEntryDecoder& Decoder, const std::string& Folder) {
  std::unique_lock Guard(FLock);
  while (true) {
    FWake.wait(Guard, [this] { return FShutdown || !FQueue.empty(); });
    if (FShutdown) return;
    TSlot& Slot = *FQueue.front();
    FQueue.pop_front();
    Slot.State = TSlotState::ssRunning;
    Guard.unlock();
    Decoder.Decode(Slot.Listing, Folder, Slot.Stop, Slot.Record);
    Guard.lock();
    Slot.State = TSlotState::ssDone;
    FDone.notify_all();
  }
}

}  // namespace ruvevid
