#pragma once
// Small file queries and operations on paths.

#include <string>

namespace ruvevid {

// True when the path names a regular file (symbolic links are followed).
bool FileExists(const std::string& Path);
// True when the path names a directory (symbolic links are followed).
bool DirectoryExists(const std::string& Path);
// Removes a file (a symbolic link itself, never its target); false when nothing was removed.
bool DeleteFile(const std::string& Path);
// The target of a symbolic link as stored in the link, however long; empty when it cannot be read.
std::string ReadSymbolicLink(const std::string& Path);

}  // namespace ruvevid
