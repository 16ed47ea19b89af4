#pragma once
// Helpers for the tests of the extraction component frame: a component whose ProcessArchive is a
// test function and an event recorder.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/base/Stream32.h"
#include "archive/base/support/MemoryStream32.h"
#include "archive/zip/UnZip.h"

namespace ruvevid::test {

// A TUnZip whose archive work is a test function, with the detection results settable.
class TProbeUnZip : public TUnZip {
 public:
  using TUnZip::TUnZip;
  using TProcess = std::function<void(TProbeUnZip& Self, std::unique_ptr<TStream32>& Input)>;

  void ForceArcType(TArcType Type) { FArcType = Type; }
  void ForceArchiveFile(const std::string& Name) { FArchiveFile = Name; }
  TZipFormatState& Zip() { return FZip; }

  TProcess Process;
  bool DriveOk = true;

  // The component's own walks of the archive, for a Process that wraps them.
  void Walk(std::unique_ptr<TStream32>& Input) { TUnZip::ProcessArchive(Input); }

 protected:
  void ProcessArchive(std::unique_ptr<TStream32>& Input) override {
    if (Process) Process(*this, Input);
  }
  bool CheckArchiveDrive() override { return DriveOk; }
};

// Every event of a component as one line of text, in the order fired.
class TEventLog {
 public:
  void Attach(TZipCommon& Arc) {
    Arc.OnActivate = [this](TZipCommon*) { Lines.push_back("Activate"); };
    Arc.OnDeactivate = [this](TZipCommon*) { Lines.push_back("Deactivate"); };
    Arc.OnBegin = [this](TZipCommon*, const std::string& Name, std::int32_t Count, bool&) {
      Lines.push_back("Begin " + Name + " " + std::to_string(Count));
    };
    Arc.OnEnd = [this](TZipCommon*, const std::string& Name, bool Pass) {
      Lines.push_back("End " + Name + (Pass ? " pass" : " fail"));
    };
    Arc.OnProgress = [this](TZipCommon*, std::uint8_t File, std::uint8_t Archive) {
      Lines.push_back("Progress " + std::to_string(File) + " " + std::to_string(Archive));
    };
    Arc.OnElapsedTime = [this](TZipCommon*, float) { Lines.push_back("ElapsedTime"); };
    Arc.OnError = [this](TZipCommon*, const std::string& FileName, const std::string& Extended,
                         const std::string& VolumeID, int ECode) {
      Lines.push_back("Error " + std::to_string(ECode) + " [" + FileName + "] [" + Extended +
                      "] [" + VolumeID + "]");
    };
  }
  std::vector<std::string> Lines;
};

}  // namespace ruvevid::test
