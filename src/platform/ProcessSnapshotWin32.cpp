// The process table of Windows, from a ToolHelp snapshot.

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include "platform/ProcessSnapshot.h"
#include "platform/WideText.h"

namespace ruvevid {

namespace {

class THandleCloser {
 public:
  explicit THandleCloser(HANDLE Handle) : FHandle(Handle) {}
  ~THandleCloser() {
    if (FHandle != nullptr && FHandle != INVALID_HANDLE_VALUE) ::CloseHandle(FHandle);
  }
  THandleCloser(const THandleCloser&) = delete;
  THandleCloser& operator=(const THandleCloser&) = delete;
  HANDLE Get() const { return FHandle; }

 private:
  HANDLE FHandle;
};

TProcessEntry ToEntry(const PROCESSENTRY32W& Raw) {
  return TProcessEntry{static_cast<std::uint32_t>(Raw.th32ProcessID), WideToUtf8(Raw.szExeFile)};
}

// File names on Windows are the same whatever the letter case.
bool SameFileName(std::wstring_view A, std::wstring_view B) {
  return ::CompareStringOrdinal(A.data(), static_cast<int>(A.size()), B.data(),
                                static_cast<int>(B.size()), TRUE) == CSTR_EQUAL;
}

// The bare file name of the image the process runs; empty when it cannot be read.
std::wstring ImageFileName(HANDLE Process) {
  std::wstring Path(32768, L'\0');
  auto Size = static_cast<DWORD>(Path.size());
  if (!::QueryFullProcessImageNameW(Process, 0, Path.data(), &Size)) return {};
  Path.resize(Size);
  const std::size_t Separator = Path.find_last_of(L"\\/:");
  return Separator == std::wstring::npos ? Path : Path.substr(Separator + 1);
}

class TToolHelpSnapshot final : public IProcessSnapshot {
 public:
  explicit TToolHelpSnapshot(HANDLE Snapshot) : FSnapshot(Snapshot) {}

  bool First(TProcessEntry& Entry) override {
    PROCESSENTRY32W Raw{};
    Raw.dwSize = sizeof Raw;
    if (!::Process32FirstW(FSnapshot.Get(), &Raw)) return false;
    Entry = ToEntry(Raw);
    return true;
  }

  bool Next(TProcessEntry& Entry) override {
    PROCESSENTRY32W Raw{};
    Raw.dwSize = sizeof Raw;
    if (!::Process32NextW(FSnapshot.Get(), &Raw)) return false;
    Entry = ToEntry(Raw);
    return true;
  }

 private:
  THandleCloser FSnapshot;
};

class TToolHelpProcessTable final : public IProcessTable {
 public:
  std::unique_ptr<IProcessSnapshot> CreateSnapshot() override {
    const HANDLE Snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (Snapshot == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<TToolHelpSnapshot>(Snapshot);
  }

  int Terminate(const TProcessEntry& Entry) override {
    if (Entry.th32ProcessID == 0) return 0;
    // The handle holds on to this very process: should it end and its id go to another process
    // meanwhile, the termination below fails instead of reaching the newcomer.
    const THandleCloser Process(::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                                              FALSE, static_cast<DWORD>(Entry.th32ProcessID)));
    if (Process.Get() == nullptr) return 0;
    DWORD ExitCode = 0;
    if (!::GetExitCodeProcess(Process.Get(), &ExitCode) || ExitCode != STILL_ACTIVE) return 0;
    // The id may have been reused between the snapshot and the opening.
    if (!SameFileName(ImageFileName(Process.Get()), Utf8ToWide(Entry.szExeFile))) return 0;
    return ::TerminateProcess(Process.Get(), 1) ? 1 : 0;
  }

  std::uint32_t CurrentProcessId() const override {
    return static_cast<std::uint32_t>(::GetCurrentProcessId());
  }
};

}  // namespace

std::unique_ptr<IProcessTable> CreateSystemProcessTable() {
  return std::make_unique<TToolHelpProcessTable>();
}

}  // namespace ruvevid
