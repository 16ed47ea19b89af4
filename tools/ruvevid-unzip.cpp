// ruvevid-unzip ARCHIVE DIR [-p PASSWORD] [-j THREADS]
//
// Extracts ARCHIVE into DIR with the updater's settings (every entry, stored folders recreated,
// existing files replaced without a question) and prints one line per event of the extraction
// component, for scripts:
//
//   activate
//   begin COUNT NAME
//   error ECODE FILENAME<TAB>EXTENDEDMSG<TAB>VOLUMEID
//   end PASS|FAIL NAME
//   volume NUMBER PART
//   disk last|first|NUMBER
//   deactivate
//   result N
//
// -j sets the threads that decode entries (default: the build's, 1: every entry on the main thread
// in its turn; 0: one per core). The lines are the same whatever the count. Each entry is still
// written to a temporary file that replaces its target only when the entry passed.
//
// NAME is the output path. A split set is read from its last part (the .zip file); every other
// part is taken under the name the extraction proposes (a "volume" line) when that file exists,
// and the run is cancelled when it does not. For a set spanned over removable disks nobody can
// change the disk: a "disk" line names the wanted one, the drive is checked once more and the run
// is cancelled when that disk is still not there.
//
// Exit status 0 when the archive was read and every entry passed (no FAIL and no error), 1
// otherwise (a file that is no zip archive and an archive without entries are errors of the
// extraction), 2 for a wrong command line.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/zip/UnZip.h"

namespace {

using namespace ruvevid;

constexpr std::size_t kOutputBuffer = 1 << 16;

struct TOptions {
  std::string Archive;
  std::string Folder;
  std::vector<std::string> Passwords;
  std::optional<std::int32_t> Threads;
};

bool ParseArguments(int Argc, char** Argv, TOptions& Options) {
  std::vector<std::string> Plain;
  for (int I = 1; I < Argc; ++I) {
    const std::string Arg = Argv[I];
    if (Arg == "-p") {
      if (I + 1 >= Argc) return false;
      Options.Passwords.emplace_back(Argv[++I]);
    } else if (Arg == "-j") {
      if (I + 1 >= Argc) return false;
      const std::string Count = Argv[++I];
      if (Count.empty() || Count.size() > 4 ||
          Count.find_first_not_of("0123456789") != std::string::npos)
        return false;
      Options.Threads = std::stoi(Count);
    } else {
      Plain.push_back(Arg);
    }
  }
  if (Plain.size() != 2) return false;
  Options.Archive = Plain[0];
  // The component takes a relative folder from the root; the command line means the current one.
  std::error_code Error;
  Options.Folder = std::filesystem::absolute(Plain[1], Error).string();
  return !Error;
}

void PrintLine(const std::string& Line) {
  std::fwrite(Line.data(), 1, Line.size(), stdout);
  std::fputc('\n', stdout);
}

// Answers the disk events of a spanned set: the first request for a disk lets the drive be checked
// once more, a second request for the same disk cancels.
class TDiskAnswers {
 public:
  void Answer(const std::string& Wanted, bool& Cancel) {
    PrintLine("disk " + Wanted);
    Cancel = Wanted == FLastWanted;
    FLastWanted = Wanted;
  }

 private:
  std::string FLastWanted;
};

}  // namespace

int main(int argc, char** argv) {
  TOptions Options;
  if (!ParseArguments(argc, argv, Options)) {
    std::fputs("usage: ruvevid-unzip ARCHIVE DIR [-p PASSWORD] [-j THREADS]\n", stderr);
    return 2;
  }
  static char Buffer[kOutputBuffer];
  std::setvbuf(stdout, Buffer, _IOFBF, sizeof Buffer);

  bool Activated = false;
  bool AllPassed = true;
  TUnZip UnZip;
  UnZip.OnActivate = [&](TZipCommon*) {
    Activated = true;
    PrintLine("activate");
  };
  UnZip.OnDeactivate = [](TZipCommon*) { PrintLine("deactivate"); };
  UnZip.OnBegin = [](TZipCommon*, const std::string& FileName, std::int32_t Count, bool&) {
    PrintLine("begin " + std::to_string(Count) + " " + FileName);
  };
  UnZip.OnEnd = [&](TZipCommon*, const std::string& FileName, bool Pass) {
    if (!Pass) AllPassed = false;
    PrintLine(std::string(Pass ? "end PASS " : "end FAIL ") + FileName);
  };
  UnZip.OnError = [&](TZipCommon*, const std::string& FileName, const std::string& ExtendedMsg,
                      const std::string& VolumeID, int ECode) {
    AllPassed = false;
    PrintLine("error " + std::to_string(ECode) + " " + FileName + "\t" + ExtendedMsg + "\t" +
              VolumeID);
  };

  UnZip.OnNextVolume = [](TZipCommon*, std::string& VolumeName, const std::string& VolumeID,
                          bool Exists, bool& Cancel) {
    PrintLine("volume " + VolumeID + " " + VolumeName);
    if (!Exists) Cancel = true;
  };
  TDiskAnswers Disks;
  UnZip.OnGetZipLastDisk = [&](TZipCommon*, bool& Cancel) { Disks.Answer("last", Cancel); };
  UnZip.OnGetZipFirstDisk = [&](TZipCommon*, bool& Cancel) { Disks.Answer("first", Cancel); };
  UnZip.OnGetZipNextDisk = [&](TZipCommon*, const std::string& Disk, bool& Cancel) {
    Disks.Answer(Disk, Cancel);
  };

  UnZip.SetArchiveFile(Options.Archive);
  UnZip.CreateStoredDirs = true;
  UnZip.ConfirmOverwrites = false;
  UnZip.OverwriteMode = TOverwriteMode::omOverwrite;
  UnZip.FileSpec = {"*.*"};
  UnZip.SetExtractDir(Options.Folder);
  UnZip.Passwords = Options.Passwords;
  if (Options.Threads) UnZip.Threads = *Options.Threads;

  const std::int32_t Result = UnZip.Activate();
  PrintLine("result " + std::to_string(Result));
  std::fflush(stdout);
  return Activated && AllPassed ? 0 : 1;
}
