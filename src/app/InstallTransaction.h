#pragma once
// The all-or-nothing install of an update into the program folder. The extraction writes the new
// files into a staging folder inside the program folder; the commit then lists them in the
// journal, makes files and journal durable, marks the journal as committing and moves each
// replaced file to the backup folder and each new one into its place. A move that fails undoes
// the moves made so far. Recovery, at every start, finishes a commit that was cut short once it
// had been marked, and undoes or drops any other, so that the program folder always holds the
// complete old or the complete new set of files.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/InstallJournal.h"

namespace ruvevid {

// Called at each step of staging, commit and recovery with the step's name; tests stop the
// process there to prove that every step can be cut short.
using TInstallCheckpoint = std::function<void(const char* Point)>;

enum class TCommitResult {
  crCommitted,   // every staged file is in its place (leftovers go at a later start if need be)
  crNotStarted,  // the journal could not be made durable: the program folder is as it was
  crRolledBack,  // a move failed and every file moved so far is back where it was
  crBroken       // a move failed and so did the undo: journal, backup and staging stay for the
                 // next start to finish the undo
};

enum class TRecoveryResult {
  rrNothingToDo,  // no journal, no staging, no backup
  rrRecovered,    // an install cut short was finished or undone, and its folders removed
  rrFailed        // the program folder could not be put right (or a finish had to be undone)
};

class TInstallTransaction {
 public:
  explicit TInstallTransaction(std::string ProgramFolder, TInstallCheckpoint Checkpoint = {});

  // The folder the extraction writes into, with a trailing separator.
  std::string StagingDir() const;
  // Makes a fresh, empty staging folder; false when it cannot be made.
  bool BeginStaging();
  // Puts every staged file in its place, as described above.
  TCommitResult Commit();
  // Drops the staging folder and what it holds.
  void Discard();

  // Finishes or undoes an install that a crash or kill cut short. Run it at every start, before
  // anything else, while holding the program folder's lock.
  TRecoveryResult Recover();

  // The time the two syncs of the last commit took (files and list; the committing mark).
  std::chrono::microseconds ListSyncTime() const { return FListSyncTime; }
  std::chrono::microseconds MarkSyncTime() const { return FMarkSyncTime; }

 private:
  // The journal of what is staged now.
  std::optional<TInstallJournal> ListStagedFiles() const;
  bool WriteJournal(const TInstallJournal& Journal);
  bool Mark(TJournalState State);
  bool MoveForward(const TInstallJournal& Journal);
  bool MoveBack(const TInstallJournal& Journal);
  // Removes backup, staging and journal, in this order.
  bool CleanUp();
  // Undoes a commit whose move failed (Journal as listed); true when everything is back.
  bool RollBack(const TInstallJournal& Journal);
  void Step(const char* Point) const;

  std::string FFolder;
  TInstallCheckpoint FCheckpoint;
  std::chrono::microseconds FListSyncTime{};
  std::chrono::microseconds FMarkSyncTime{};
};

}  // namespace ruvevid
