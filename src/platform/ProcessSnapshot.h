#pragma once
// The process snapshot service: a list of the running processes, taken at once and walked from
// the first entry to the last, and the termination of one of them. The POSIX implementation walks
// /proc, the Windows one a ToolHelp snapshot; tests supply their own table (for example one that
// gives full paths as image names).

#include <cstdint>
#include <memory>
#include <string>

namespace ruvevid {

// One process of a snapshot.
struct TProcessEntry {
  // The process id; 0 stands for the system's idle process where a system lists one.
  std::uint32_t th32ProcessID = 0;
  // The image name: a bare file name or a full path, depending on the system.
  std::string szExeFile;
};

// A snapshot of the running processes, walked with First and then Next.
class IProcessSnapshot {
 public:
  virtual ~IProcessSnapshot() = default;
  // Fills Entry with the first process; false when the snapshot is empty.
  virtual bool First(TProcessEntry& Entry) = 0;
  // Fills Entry with the process after the last one fetched; false when there is none.
  virtual bool Next(TProcessEntry& Entry) = 0;
};

// The processes of the system.
class IProcessTable {
 public:
  virtual ~IProcessTable() = default;
  // A snapshot of all processes; null when it cannot be taken.
  virtual std::unique_ptr<IProcessSnapshot> CreateSnapshot() = 0;
  // Ends the process of Entry at once. Returns non-zero on success, 0 when the process could not
  // be ended (not permitted, already gone, or no longer running the image of Entry).
  virtual int Terminate(const TProcessEntry& Entry) = 0;
  // The id of the calling process.
  virtual std::uint32_t CurrentProcessId() const = 0;
};

// The processes of this machine: image names are bare file names of the process images.
std::unique_ptr<IProcessTable> CreateSystemProcessTable();

}  // namespace ruvevid
