#pragma once
// Helpers for the directory-walk and entry-driver tests: archives made by the real zip tools in a
// scratch folder, byte patches of archives, and an extraction run with the updater's settings
// whose events are recorded as lines of text.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/zip/UnZip.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/ZipListing.h"

namespace ruvevid::walk_test {

namespace fs = std::filesystem;

using test::HaveProgram;
using test::NoiseBytes;
using test::ReadBytes;
using test::RunPython;
using test::RunShellIn;
using test::WriteBytes;

// Runs Command in Folder, which makes Archive with encrypted entries, again until none of the
// Wrong passwords passes the check byte of any encrypted entry: zip salts every encryption header
// afresh, and a wrong password passes its one-byte check once in 256. False when the command
// fails or twenty archives were not enough.
bool MakeEncryptedArchive(const fs::path& Folder, const std::string& Command,
                          const fs::path& Archive, const std::vector<std::string>& Wrong);

// Every file and folder below Folder, relative, '/'-separated, sorted; folders end in '/'.
std::vector<std::string> ListTree(const fs::path& Folder);

// Whether the system copies between two files of Folder (see platform/FileRangeCopy.h).
bool SystemCopiesIn(const fs::path& Folder);

// Offset of the first occurrence of Text in the file; npos when absent.
std::size_t FindInFile(const fs::path& Path, const std::string& Text);
// Offset of the N-th (0-based) occurrence of Text in the file.
std::size_t NthInFile(const fs::path& Path, const std::string& Text, int N);

inline const std::string kLocalSignature("PK\x03\x04", 4);
inline const std::string kCentralSignature("PK\x01\x02", 4);
// Overwrites bytes of a file at Offset.
void PatchFile(const fs::path& Path, std::size_t Offset, const std::string& Bytes);
std::string LE16(std::uint16_t Value);

// A TUnZip set up as the updater sets it (FileSpec "*.*", no questions, omOverwrite, ExtractDir)
// with every event recorded: "activate", "begin COUNT NAME", "end PASS|FAIL NAME",
// "error ECODE FILENAME|EXTENDEDMSG|VOLUMEID", "elapsed", "deactivate". Names below ExtractDir are
// written relative to it.
class TRecordedExtraction {
 public:
  TRecordedExtraction(const fs::path& Archive, const fs::path& Folder,
                      IApplication* Application = nullptr);

  // Activate; its result.
  std::int32_t Run();
  // The recorded lines that start with Prefix.
  std::vector<std::string> Lines(const std::string& Prefix) const;

  TUnZip UnZip;
  std::vector<std::string> Log;
  // Called at the end of the recording OnBegin, OnEnd and OnProgress handlers.
  std::function<void(const std::string& Name, bool& Extract)> AfterBegin;
  std::function<void(std::uint8_t ByFile)> AfterProgress;
  int Progresses = 0;

 private:
  std::string Relative(const std::string& Name) const;
  std::string FFolder;
};

}  // namespace ruvevid::walk_test
