// The password flow for an encrypted entry.

#include <array>
#include <cstring>

#include "archive/base/Stream32.h"
#include "archive/base/UnBase.h"

namespace ruvevid {

bool TUnBase::CheckPassword(TStream32& Input) {
  const TTimerPause Paused(FTimer);
  // The deciphered header at 0..11, the stored one at 12..23.
  std::array<std::uint8_t, kZipPasswordWorkAreaSize + 1> Work{};
  ReadBlock(Input, Work.data(), kZipEncryptionHeaderSize, false, kCrcKindNone);
  std::memcpy(Work.data() + kZipEncryptionHeaderSize, Work.data(), kZipEncryptionHeaderSize);

  bool Ok = TestPassword(Work.data());
  for (std::size_t I = 0; !Ok && I < Passwords.size(); ++I) {
    FRun.Password = Passwords[I];
    Ok = TestPassword(Work.data());
  }
  if (Ok) return true;

  if (!OnGetPassword) {
    ReportError(FRun.OutputName, "OnGetPassword", "0", ecEventNotAssigned);
    return false;
  }
  bool TryAgain = true;
  for (std::int32_t Attempt = 0; Attempt < PasswordAttempts; ++Attempt) {
    if (GetCancel()) break;
    OnGetPassword(this, FRun.OutputName, FRun.Password, TryAgain);
    if (!TryAgain) {
      ReportError(FRun.OutputName, "", "0", ecInvalidPassword);
      break;
    }
    if (TestPassword(Work.data())) {
      Passwords.insert(Passwords.begin(), FRun.Password);
      return true;
    }
    FRun.Password.clear();
    ReportError(FRun.OutputName, "", "0", ecInvalidPassword);
  }
  return false;
}

}  // namespace ruvevid
