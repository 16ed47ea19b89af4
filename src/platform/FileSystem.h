#pragma once
// Small file queries and operations on paths.

#include <string>

namespace ruvevid {

// True when the path names a regular file (symbolic links are followed).
bool FileExists(const std::string& Path);
// True when something of that name exists, of any kind (symbolic links are followed).
bool PathExists(const std::string& Path);
// True when the path names a directory (symbolic links are followed).
bool DirectoryExists(const std::string& Path);
// Removes a file (a symbolic link itself, never its target); false when nothing was removed.
bool DeleteFile(const std::string& Path);
// True when the file system can hold the path as it is: no component longer than NAME_MAX bytes
// and the whole shorter than PATH_MAX. A longer name is never shortened.
bool NameFitsFileSystem(const std::string& Path);
// The target of a symbolic link as stored in the link, however long; empty when it cannot be read.
std::string ReadSymbolicLink(const std::string& Path);

}  // namespace ruvevid
