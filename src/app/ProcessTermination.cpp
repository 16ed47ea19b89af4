#include "app/ProcessTermination.h"

namespace ruvevid {

std::string UpperCaseAscii(const std::string& Text) {
  std::string Upper = Text;
  for (char& C : Upper) {
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  }
  return Upper;
}

std::string BareFileName(const std::string& Path) {
  const std::size_t Separator = Path.find_last_of("\\:/");
  return Separator == std::string::npos ? Path : Path.substr(Separator + 1);
}

bool IsProcessRunning(IProcessTable& Processes, const std::string& ExeFileName) {
  const std::unique_ptr<IProcessSnapshot> Snapshot = Processes.CreateSnapshot();
  if (!Snapshot) return false;
  const std::string Wanted = UpperCaseAscii(BareFileName(ExeFileName));
  TProcessEntry Entry;
  for (bool Fetched = Snapshot->First(Entry); Fetched; Fetched = Snapshot->Next(Entry)) {
    if (Entry.th32ProcessID == 0) continue;
    if (UpperCaseAscii(Entry.szExeFile) == Wanted) return true;
  }
  return false;
}

int KillProcess(IProcessTable& Processes, const std::string& ExeFileName) {
  const std::unique_ptr<IProcessSnapshot> Snapshot = Processes.CreateSnapshot();
  if (!Snapshot) return 0;
  const std::string Wanted = UpperCaseAscii(ExeFileName);
  const std::uint32_t Self = Processes.CurrentProcessId();
  int Result = 0;
  TProcessEntry Entry;
  for (bool Fetched = Snapshot->First(Entry); Fetched; Fetched = Snapshot->Next(Entry)) {
    const std::string Image = UpperCaseAscii(Entry.szExeFile);
    if (BareFileName(Image) != Wanted && Image != Wanted) continue;
    // Ending the walking process would stop the walk and leave the other matches running.
    if (Entry.th32ProcessID == Self) continue;
    Result = Processes.Terminate(Entry);
  }
  return Result;
}

bool IsProcessRunning(const std::string& ExeFileName) {
  const std::unique_ptr<IProcessTable> Processes = CreateSystemProcessTable();
  return IsProcessRunning(*Processes, ExeFileName);
}

int KillProcess(const std::string& ExeFileName) {
  const std::unique_ptr<IProcessTable> Processes = CreateSystemProcessTable();
  return KillProcess(*Processes, ExeFileName);
}

}  // namespace ruvevid
