#include "platform/PrivateProfile.h"

#include "platform/FileReplace.h"
#include "platform/ProfileText.h"

namespace ruvevid {

bool WritePrivateProfileKey(const std::string& Section, const std::string& Key,
                            const std::string& Value, const std::string& FileName) {
  if (FileName.empty() || !IsWritableProfileKey(Section, Key, Value)) return false;
  std::string contents;
  const TFileReadResult read = ReadWholeFile(FileName, contents);
  if (read != TFileReadResult::frRead && read != TFileReadResult::frMissing) return false;
  return ReplaceFile(FileName, SetProfileKey(contents, Section, Key, Value));
}

}  // namespace ruvevid
