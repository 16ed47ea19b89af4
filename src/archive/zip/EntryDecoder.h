#pragma once
// The component a worker thread decodes entries with: a TUnZip of its own that reads the archive
// through its own handle and has its own run and decode state, so that nothing of the caller's
// component is touched off the caller's thread. Its error reports, progress points, message pumps
// and looks at the cancel flag are not fired but written to the entry's record, in order.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "archive/zip/EntryHeader.h"
#include "archive/zip/EntryRecord.h"
#include "archive/zip/UnZip.h"
#include "archive/zip/ZipVolumeHooks.h"
#include "platform/Application.h"

namespace ruvevid {

class TEntryDecoder final : public TUnZip {
 public:
  // Takes what decoding reads of the caller's component: the archive's name, type and records and
  // the name translation. Made on the caller's thread, used on one worker's.
  explicit TEntryDecoder(const TUnZip& Caller);
  ~TEntryDecoder() override;

  // Opens the decoder's own handle on the archive; false when it cannot (its entries are then
  // left to the caller's thread).
  bool OpenArchive(std::int64_t ExpectedSize);

  // Reads the entry's local header and decodes the entry into a new file in Folder, writing what
  // it did to Record. Stop: the caller no longer wants the output (looked at as the cancel flag).
  void Decode(const TEntryListing& Listing, const std::string& Folder,
              const std::atomic<bool>& Stop, TEntryRecord& Record);

  bool GetCancel() override;
  void ReportError(const std::string& FileName, const std::string& ExtendedMsg,
                   const std::string& VolumeID, int ECode) override;
  void RaiseError(const std::string& FileName, const std::string& ExtendedMsg,
                  const std::string& VolumeID, int ECode) override;

 private:
  // Writes each pump of the decoders to the record instead of pumping.
  class TPumpRecorder final : public IApplication {
   public:
    explicit TPumpRecorder(TEntryDecoder& Owner) : FOwner(Owner) {}
    void ProcessMessages() override;
    void Terminate() override {}
    bool Terminated() const override { return false; }
    void Pause(std::uint32_t /*Milliseconds*/) override {}

   private:
    TEntryDecoder& FOwner;
  };

  void Add(TEntryRecord::TStepKind Kind);
  bool Stopped() const { return FStop != nullptr && FStop->load(std::memory_order_relaxed); }
  // Reads an encrypted entry's encryption header and sets up its deciphering with the first of
  // Known that the header accepts (named in Record); false when none does.
  bool Unlock(const std::vector<std::string>& Known, TEntryRecord& Record);
  void DecodeInto(const std::string& Folder, TEntryRecord& Record);

  TPumpRecorder FPumps{*this};
  TZipVolumeHooks FNoVolumes;
  std::unique_ptr<TStream32> FInput;
  TEntryRecord* FRecord = nullptr;
  const std::atomic<bool>* FStop = nullptr;
};

}  // namespace ruvevid
