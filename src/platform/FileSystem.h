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

// Writes everything of the file system holding Path that is not yet on the disk to the disk, and
// waits for it; false when the file system reports a failure.
bool SyncFileSystem(const std::string& Path);
// True when the file system holding Path has no room left for an ordinary user.
bool FileSystemFull(const std::string& Path);
// Lets the owner of the regular file Path run it, and the group and others where they may read
// it (u+x; g+x and o+x where g+r and o+r).
bool AllowExecution(const std::string& Path);

}  // namespace ruvevid
