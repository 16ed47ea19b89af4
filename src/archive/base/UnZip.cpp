#include "archive/base/UnZip.h"

#include "archive/zip/ZipWalks.h"

namespace ruvevid {

TUnZip::TUnZip(IApplication* Application) : TUnBase(Application) {}

TUnZip::~TUnZip() = default;

bool TUnZip::TestPassword(std::uint8_t* Header) {
  const TLocalHeader& Local = FZip.Headers.Local;
  return FRun.Cipher.CheckEncryptionHeader(Header, Local.Flags(), Local.Crc32(),
                                           static_cast<std::uint32_t>(Local.DosDateTime()),
                                           FRun.Password);
}

void TUnZip::ProcessArchive(std::unique_ptr<TStream32>& Input) {
  ExtractZip(*this, Input);
}

}  // namespace ruvevid
