#pragma once
// Staged replacement of a file: the new contents are written to a temporary file in the target's
// folder and renamed over the target only once they are known to be complete and right, so the
// target always holds either its old or its new bytes. Nothing is synced to the disk here.

#include <string>

#include "platform/FileHandle.h"

namespace ruvevid {

// Creates a new, empty temporary file beside Target and returns it open for writing, with its name
// in StagingPath; a handle holding no file, with errno set, when it cannot. The file the output
// replaces, Replaced (Target when empty), refuses the output: a directory standing there (EISDIR)
// and an existing regular file without any write permission bit (EACCES), whoever runs the program.
// An existing regular file's permission bits carry over to the temporary file.
TFileHandle CreateStagingFile(const std::string& Target, std::string& StagingPath,
                              const std::string& Replaced = {});

// Renames the closed temporary file over Target (a symbolic link at Target is replaced, never
// followed). False with errno set when the rename fails; the temporary file then stays.
bool CommitStagingFile(const std::string& StagingPath, const std::string& Target);

// Takes the file Decoded, written elsewhere and still open as File, as the temporary file for
// Target instead of making a new one: Target (or Replaced) refuses it and passes its permission
// bits on to it as with CreateStagingFile, and StagingPath becomes Decoded, so that
// CommitStagingFile renames it over Target. False with errno set, and nothing changed, when that
// cannot be done: EISDIR or EACCES as CreateStagingFile refuses, EXDEV when Decoded is not on
// the file system of Target's folder (a rename cannot bring it there; make a new file instead).
bool TakeStagingFile(TNativeHandle File, const std::string& Decoded, const std::string& Target,
                     std::string& StagingPath, const std::string& Replaced = {});

// Removes a temporary file that is not wanted; false when nothing was removed.
bool DiscardStagingFile(const std::string& StagingPath);

}  // namespace ruvevid
