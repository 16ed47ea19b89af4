#pragma once
// The zip extraction component: TUnBase with the zip password test. The zip directory walks plug in
// as its ProcessArchive.

#include <cstdint>

#include "archive/base/UnBase.h"

namespace ruvevid {

class TUnZip : public TUnBase {
 public:
  explicit TUnZip(IApplication* Application = nullptr);
  ~TUnZip() override;

  // Runs CheckEncryptionHeader of the run's cipher on Header with Run().Password and the flags,
  // CRC-32 and DOS time of the entry's local header (ZipState().Headers.Local).
  bool TestPassword(std::uint8_t* Header) override;

 protected:
  // The zip reader: ExtractZip.
  void ProcessArchive(std::unique_ptr<TStream32>& Input) override;
};

}  // namespace ruvevid
