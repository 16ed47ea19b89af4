#include "app/SettingsWriter.h"

#include "platform/PrivateProfile.h"
#include "platform/ProgramFolder.h"

namespace ruvevid {

std::string SettingsFilePath(const std::string& ProgramFolder, const std::string& FileName) {
  std::string path = ProgramFolder + (FileName.empty() ? std::string("daz.dat") : FileName);
  // Counting from 1, a first dot at the length minus 3 is a three-letter extension; no dot at all
  // gets the extension too.
  const std::size_t dot = path.find('.');
  if (dot == std::string::npos || dot + 1 != path.size() - 3) path += ".dat";
  return path;
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
