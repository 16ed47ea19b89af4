#include "platform/FileReplace.h"
#include "platform/PrivateProfile.h"
#include "platform/ProfileText.h"

namespace ruvevid {

bool WritePrivateProfileKey(const std::string& Section, const std::string& Key,
                            const std::string& Value, const std::string& FileName) {
  if (FileName.empty() || !IsWritableProfileKey(Section, Key, Value)) return false;
  std::string Contents;
  const TFileReadResult Read = ReadWholeFile(FileName, Contents);
  if (Read != TFileReadResult::frRead && Read != TFileReadResult::frMissing) return false;
  return ReplaceFile(FileName, SetProfileKey(Contents, Section, Key, Value));
}

}  // namespace ruvevid
