#include "app/ProcessTermination.h"

namespace ruvevid {

std::string UpperCaseAscii(const std::string& Text) {
  std::string upper = Text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string BareFileName(const std::string& Path) {
  const std::size_t separator = Path.find_last_of("\\:/");
  return separator == std::string::npos ? Path : Path.substr(separator + 1);
}

bool IsProcessRunning(IProcessTable& Processes, const std::string& ExeFileName) {
  const std::unique_ptr<IProcessSnapshot> snapshot = Processes.CreateSnapshot();
  if (!snapshot) return false;
  const std::string wanted = UpperCaseAscii(BareFileName(ExeFileName));
  TProcessEntry entry;
  for (bool fetched = snapshot->First(entry); fetched; fetched = snapshot->Next(entry)) {
    if (entry.th32ProcessID == 0) continue;
    if (UpperCaseAscii(entry.szExeFile) == wanted) return true;
  }
  return false;
}

int KillProcess(IProcessTable& Processes, const std::string& ExeFileName) {
  const std::unique_ptr<IProcessSnapshot> snapshot = Processes.CreateSnapshot();
  if (!snapshot) return 0;
  const std::string wanted = UpperCaseAscii(ExeFileName);
  const std::uint32_t self = Processes.CurrentProcessId();
  int result = 0;
  TProcessEntry entry;
  for (bool fetched = snapshot->First(entry); fetched; fetched = snapshot->Next(entry)) {
    const std::string image = UpperCaseAscii(entry.szExeFile);
    if (BareFileName(image) != wanted && image != wanted) continue;
    // Ending the walking process would stop the walk and leave the other matches running.
    if (entry.th32ProcessID == self) continue;
    result = Processes.Terminate(entry);
  }
  return result;
}

bool IsProcessRunning(const std::string& ExeFileName) {
  const std::unique_ptr<IProcessTable> processes = CreateSystemProcessTable();
  return IsProcessRunning(*processes, ExeFileName);
}

int KillProcess(const std::string& ExeFileName) {
  const std::unique_ptr<IProcessTable> processes = CreateSystemProcessTable();
  return KillProcess(*processes, ExeFileName);
}

}  // namespace ruvevid
