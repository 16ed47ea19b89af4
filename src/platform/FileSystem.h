#pragma once
// Small file queries and operations on paths.

#include <optional>
#include <string>
#include <vector>

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

// True when anything stands at Path, a dangling symbolic link included (links are not followed).
bool PathOccupied(const std::string& Path);
// True when Path itself is a folder (a symbolic link to one is not).
bool IsRealFolder(const std::string& Path);
// The process's current folder; empty when it cannot be found.
std::string CurrentFolder();
// Creates the folder Path, one level (its parent must exist); false when nothing was created.
bool CreateFolder(const std::string& Path);
// Creates the folder Path with every missing folder above it; true when the folder exists then.
bool CreateFolders(const std::string& Path);
// Renames From to To, replacing a file at To; false when nothing was renamed.
bool RenamePath(const std::string& From, const std::string& To);
// Removes a file, a symbolic link or an empty folder; true when nothing stands at Path then.
bool RemovePath(const std::string& Path);
// Removes Path with everything below it (symbolic links are removed, never followed); true when
// nothing stands at Path then.
bool RemoveTree(const std::string& Path);

// What lies below a folder, as names relative to it with '/' between the levels, each list
// sorted. Symbolic links are listed as files and never followed.
struct TFolderListing {
  std::vector<std::string> Files;
  std::vector<std::string> Folders;
};
// Lists everything below Root; nothing when Root or a folder below it cannot be read.
std::optional<TFolderListing> ListFolderTree(const std::string& Root);

// Replaces the whole contents of the file Path with Text (creating it), or appends Text to it;
// false when not all of it was written and closed.
bool WriteWholeFile(const std::string& Path, const std::string& Text);
bool AppendToFile(const std::string& Path, const std::string& Text);
// The whole contents of the file Path; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& Path);

// Writes everything of the file system holding Path that is not yet on the disk to the disk, and
// waits for it; false when the file system reports a failure.
bool SyncFileSystem(const std::string& Path);
// True when the file system holding Path has no room left for an ordinary user.
bool FileSystemFull(const std::string& Path);
// Lets the owner of the regular file Path run it, and the group and others where they may read
// it (u+x; g+x and o+x where g+r and o+r).
bool AllowExecution(const std::string& Path);

}  // namespace ruvevid
