#pragma once
// The extraction cycle: Activate opens the archive and runs one extraction of it (ResetRun,
// OnActivate, ProcessArchive, OnElapsedTime, OnDeactivate), with the guarantee that nothing raised
// during the run leaves Activate: what the engine did not report itself (std::bad_alloc, an event
// handler's exception) is reported through OnError with ecUnexpectedError before the end steps.
// Also the CRC verdict and the password flow of an entry.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/base/ZipCommon.h"

namespace ruvevid {

class TStream32;

class TUnBase : public TZipCommon {
 public:
  explicit TUnBase(IApplication* Application = nullptr);
  ~TUnBase() override;

  void SetArchiveFile(const std::string& Value) override { TZipCommon::SetArchiveFile(Value); }

  // Runs one extraction of ArchiveFile; returns ExtractedCount, or 0 when the archive could not be
  // opened.
  std::int32_t Activate();

  // The verdict at the end of an entry: passes when StoredCrc equals the accumulator CrcKind names
  // or its complement (never while cancelled); fires OnEnd, or reports 25151 on failure when OnEnd
  // is not set.
  virtual bool CheckCrc(std::uint8_t CrcKind, std::uint32_t StoredCrc);
  // Tests Run().Password against the 24-byte work area whose second half holds the stored
  // encryption header. False in TUnBase.
  virtual bool TestPassword(std::uint8_t* Header);
  // The password flow for an encrypted entry; Input stands at the entry's 12-byte encryption
  // header, which it consumes. Tries the current password, then every line of Passwords, then asks
  // OnGetPassword up to PasswordAttempts times; a password entered there goes to the front of
  // Passwords. Leaves the cipher keyed for the entry's data when it returns True.
  bool CheckPassword(TStream32& Input);

 protected:
  // The archive-type specific work of a run; Input is the open archive (null for the types for
  // which no stream is opened). A volume change may replace it. Does nothing in TUnBase.
  virtual void ProcessArchive(std::unique_ptr<TStream32>& Input);
  // Checks the drive and volume holding a split or spanned archive before it is opened; false
  // ends Activate with 0. True in TUnBase.
  virtual bool CheckArchiveDrive();

 private:
  // Opens the archive as Activate's rules say; false when Activate must return 0.
  bool OpenArchive(std::unique_ptr<TStream32>& Input);
  std::int32_t RunExtraction(std::unique_ptr<TStream32>& Input);
  // Runs one step of a run; false when it raised. Whatever it raised has been reported.
  bool RunStep(const std::function<void()>& Step);
  // Reports an exception that is not the engine's own with ecUnexpectedError and its text.
  void ReportRunFailure(const std::string& What);
};

}  // namespace ruvevid
