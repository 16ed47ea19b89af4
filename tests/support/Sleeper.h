#pragma once
// Windows only: a real process for tests that look processes up by image name, a copy of the
// tests' sleeper program (ruvevid-sleeper.exe, built beside the test programs) started under a
// chosen file name. The process is ended when the object goes.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace ruvevid::test {

// The folder of the running test program.
std::filesystem::path TestProgramFolder();

// A UTF-8 file name or path as a path.
std::filesystem::path Utf8Path(const std::string& Text);

class TSleeper {
 public:
  // Copies the sleeper to Folder/FileName (FileName in UTF-8) and starts it there, sleeping for
  // Seconds; throws when it cannot.
  TSleeper(const std::filesystem::path& Folder, const std::string& FileName, int Seconds = 60);
  ~TSleeper();
  TSleeper(const TSleeper&) = delete;
  TSleeper& operator=(const TSleeper&) = delete;

  std::uint32_t Id() const { return FId; }
  // The exit code once the process has ended within Timeout; nothing while it runs.
  std::optional<std::uint32_t> WaitForExit(std::chrono::milliseconds Timeout) const;

 private:
  void* FProcess = nullptr;
  std::uint32_t FId = 0;
};

}  // namespace ruvevid::test
