#include "app/SettingsWriter.h"

#include "platform/PrivateProfile.h"
#include "platform/ProgramFolder.h"

namespace ruvevid {

std::string SettingsFilePath(const std::string& ProgramFolder, const std::string& FileName) {
  std::string Path = ProgramFolder + (FileName.empty() ? std::string("daz.dat") : FileName);
  // Counting from 1, a first dot at the length minus 3 is a three-letter extension; no dot at all
  // gets the extension too.
  const std::size_t Dot = Path.find('.');
  if (Dot == std::string::npos || Dot + 1 != Path.size() - 3) Path += ".dat";
  return Path;
}

bool WriteSettingIn(const std::string& ProgramFolder, const std::string& FileName,
                    const std::string& Section, const std::string& Key, const std::string& Value) {
  return WritePrivateProfileKey(Section, Key, Value, SettingsFilePath(ProgramFolder, FileName));
}

bool WriteSetting(const std::string& FileName, const std::string& Section, const std::string& Key,
                  const std::string& Value) {
  return WriteSettingIn(ProgramFolder(), FileName, Section, Key, Value);
}

}  // namespace ruvevid
