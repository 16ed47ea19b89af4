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

// Puts the closed file Decoded, written elsewhere on the same file system, in the place of the
// temporary file StagingPath that CreateStagingFile made and that Staged holds open: Decoded takes
// its permission bits and stands for it. Returns Decoded open for writing; a handle holding no
// file, with nothing renamed, when that fails. On POSIX systems Decoded takes StagingPath's name;
// Windows cannot rename over a file that is open, so there StagingPath is removed (once Staged is
// closed) and becomes Decoded.
TFileHandle AdoptStagingFile(TNativeHandle Staged, const std::string& Decoded,
                             std::string& StagingPath);

// Removes a temporary file that is not wanted; false when nothing was removed.
bool DiscardStagingFile(const std::string& StagingPath);

}  // namespace ruvevid
