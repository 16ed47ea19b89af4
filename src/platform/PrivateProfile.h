#pragma once
// The private-profile writer: sets one key of an INI-syntax file.

#include <string>

namespace ruvevid {

// Sets Key to Value in section Section of the file FileName. Creates the file, the section or the
// key when missing and replaces the value of an existing key; every other byte of the file stays as
// it was. Section and key names are matched without regard to ASCII letter case. The new contents
// are written to a temporary file in the same folder that is then renamed over the old file, so
// the file is either the old one or the new one, never half written.
// Returns false, leaving the old file untouched and no temporary file behind, when anything
// fails; also when FileName is a symbolic link or not a regular file, or when a name or the value
// contains a line break or NUL, the section a ']' or the key a '='.
// On Windows the system's own private-profile writer (WritePrivateProfileString) edits the file in
// place, with its own rules for the other lines and without the temporary file; the refusals are
// the same, a reparse point counting as a link. A relative FileName is taken from the current
// folder there too, never from the Windows folder.
bool WritePrivateProfileKey(const std::string& Section, const std::string& Key,
                            const std::string& Value, const std::string& FileName);

}  // namespace ruvevid
