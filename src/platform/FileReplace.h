#pragma once
// Reading a whole file and replacing it in one step.

#include <string>

namespace ruvevid {

enum class TFileReadResult {
  frRead,      // Contents holds the file
  frMissing,   // there is no file (nor link) of that name
  frNotAFile,  // a symbolic link, a directory or another non-regular file stands there
  frFailed     // the file could not be read
};

// Reads the regular file Path without following a symbolic link in its last component.
TFileReadResult ReadWholeFile(const std::string& Path, std::string& Contents);

// Gives Path the contents Contents in one step: writes a temporary file in the same folder,
// flushes it to the disk and renames it over Path. An existing file's permission bits and owner
// are kept. A symbolic link or other non-regular file at Path is refused, never written through.
// On failure Path is untouched and the temporary file is removed.
bool ReplaceFile(const std::string& Path, const std::string& Contents);

}  // namespace ruvevid
