#pragma once
// The status line's text for a download that failed.

#include <string>

#include "download/DownloadItem.h"

namespace ruvevid {

// Outcome with its HTTP status and system error (of a file that could not be written in
// Folder) as the user is told it.
std::string DownloadFailureText(TDownloadOutcome Outcome, int HttpStatus, int ErrorCode,
                                const std::string& Folder);

// Where a write in Folder failed: no room left, or no right to write.
std::string WriteFailureText(const std::string& Folder);

}  // namespace ruvevid
