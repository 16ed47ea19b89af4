#pragma once
// What the drive-query object and the disk-spanning object share: the component's error callbacks
// and the two prompts a drive check may ask (drive not ready, disk write-protected). The extraction
// component never sets the prompts, so its drive checks report instead of asking.

#include <functional>
#include <string>

namespace ruvevid {

class TDiskCommon;

// A prompt: Cancel comes in True; the handler clears it to have the check repeated.
using TDiskPrompt = std::function<void(TDiskCommon* Sender, bool& Cancel)>;
// The component's ReportError and RaiseError.
using TDiskErrorCallback =
    std::function<void(const std::string& FileName, const std::string& ExtendedMsg,
                       const std::string& VolumeID, int ECode)>;

class TDiskCommon {
 public:
  TDiskCommon() = default;
  virtual ~TDiskCommon() = default;
  TDiskCommon(const TDiskCommon&) = delete;
  TDiskCommon& operator=(const TDiskCommon&) = delete;

  TDiskErrorCallback RaiseErrorCallback;
  TDiskErrorCallback ReportErrorCallback;
  TDiskPrompt OnWriteProtect;
  TDiskPrompt OnNotReady;

 protected:
  void Report(const std::string& FileName, const std::string& ExtendedMsg,
              const std::string& VolumeID, int ECode) const {
    if (ReportErrorCallback) ReportErrorCallback(FileName, ExtendedMsg, VolumeID, ECode);
  }
};

}  // namespace ruvevid
