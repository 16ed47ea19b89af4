#pragma once
// The install journal: the list of what an install's commit changes in the program folder, kept
// in a file there so that an install cut short by a crash or a kill can be finished or undone at
// the next start. Names are relative to the program folder, with '/' between components.
//
// The file is a list of lines: a header, one line per folder the commit creates (parents first)
// and per file it puts in place, then "end". Marks are appended later: "committing" once the
// staged files and the list are on the disk and the moves may begin, "rolling-back" once a move
// has failed and the moves are being undone.

#include <string>
#include <vector>

namespace ruvevid {

// The install's own names in the program folder. No entry of an update may use them.
inline constexpr const char* kStagingFolderName = ".ruvevid-staging";
inline constexpr const char* kBackupFolderName = ".ruvevid-backup";
inline constexpr const char* kJournalFileName = ".ruvevid-journal";

// True when the first component of RelativeName is one of the install's own names (letter case
// aside, as a Windows file system would see it).
bool IsInstallOwnName(const std::string& RelativeName);

enum class TJournalState {
  jsIncomplete,  // the list was cut short while being written: nothing has been moved
  jsListed,      // the list is complete, the moves have not begun
  jsCommitting,  // the moves may have begun: finish them
  jsRollingBack  // a move failed: undo them
};

struct TJournalMove {
  std::string Name;
  bool Replaces = false;  // a file (or link, or folder) stood at Name and goes to the backup
};

struct TInstallJournal {
  std::vector<std::string> Folders;
  std::vector<TJournalMove> Moves;
  TJournalState State = TJournalState::jsListed;

  // The list's text, without marks.
  std::string ListText() const;
  // Reads a journal's text; a text without the header reads as an incomplete, empty journal.
  static TInstallJournal Parse(const std::string& Text);
};

// The mark line that puts a journal in State (committing or rolling back).
std::string JournalMark(TJournalState State);

}  // namespace ruvevid
