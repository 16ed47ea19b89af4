#pragma once
// The settings file writer: one key of an INI-syntax file in the program folder.

#include <string>

namespace ruvevid {

// Writes Key = Value in section Section of the settings file FileName in the program folder.
// True when the key was written.
bool WriteSetting(const std::string& FileName, const std::string& Section, const std::string& Key,
                  const std::string& Value);
// The same with the program folder given.
bool WriteSettingIn(const std::string& ProgramFolder, const std::string& FileName,
                    const std::string& Section, const std::string& Key, const std::string& Value);

// The settings file's path: the program folder + FileName ("daz.dat" when empty), with ".dat"
// appended unless the first '.' of the whole path stands fourth from its end.
std::string SettingsFilePath(const std::string& ProgramFolder, const std::string& FileName);

}  // namespace ruvevid
