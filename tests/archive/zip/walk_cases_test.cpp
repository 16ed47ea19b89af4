// Archives that other tools open and archives they refuse, run through ruvevid-unzip as a user
// would: each row makes its archive with a real tool (zip, Python's zipfile) in a scratch folder,
// runs the extractor on it and checks the exit status, the event lines and the files written.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "WalkSupport.h"
#include "support/ArchiveRecipes.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

struct TCase {
  const char* Label;  // also the name of its archive's recipe (support/ArchiveRecipes.h)
  int Status;
  std::vector<std::string> Lines;                 // substrings the output must contain
  std::map<std::string, std::string> Files = {};  // output file -> "=source", "/" or its bytes
  std::vector<std::string> Absent = {};           // output files that must not exist
  std::string Options = "";
};

class UnzipToolCases : public ::testing::TestWithParam<TCase> {};

TEST_P(UnzipToolCases, BehaveAsOtherToolsDoOrFailClearly) {
  const TCase& Case = GetParam();
  const fs::path Tool = test::FindBuiltProgram("ruvevid-unzip");
  if (Tool.empty()) GTEST_SKIP() << "ruvevid-unzip is not built in this build folder";
  if (!HaveProgram("zip") || !HaveProgram("python3")) GTEST_SKIP() << "zip or python3 missing";
  TempDir Work;
  ASSERT_TRUE(test::MakeRecipeArchive(Case.Label, Work.path())) << Case.Label;
  const std::string Line = "cd '" + Work.path().string() + "' && timeout 60 '" + Tool.string() +
                           "' '" + test::ArchiveRecipe(Case.Label).Archive + "' out " +
                           Case.Options + " 2>&1";
  const test::TCommandRun Run = test::RunCapturing(Line);
  const std::string& Output = Run.Output;
  EXPECT_EQ(Run.Status, Case.Status) << Output;
  for (const std::string& Expected : Case.Lines)
    EXPECT_NE(Output.find(Expected), std::string::npos) << Expected << "\n" << Output;
  for (const auto& [Name, Bytes] : Case.Files) {
    if (Bytes == "/") {
      EXPECT_TRUE(fs::is_directory(Work / "out" / Name)) << Name;
      continue;
    }
    const std::string Wanted = Bytes.rfind('=', 0) == 0 ? ReadBytes(Work / Bytes.substr(1)) : Bytes;
    EXPECT_TRUE(fs::exists(Work / "out" / Name) && ReadBytes(Work / "out" / Name) == Wanted)
        << Name;
  }
  for (const std::string& Name : Case.Absent) EXPECT_FALSE(fs::exists(Work / "out" / Name)) << Name;
  // No temporary file of a failed entry is left behind.
  if (fs::exists(Work / "out")) {
    for (const std::string& Name : ListTree(Work / "out")) EXPECT_NE(Name.back(), '~') << Name;
  }
}

const std::vector<TCase> kCases = {
    // 1. Streamed to a pipe with a password: the local CRC fields hold the DOS time.
    {"EncryptedToAPipe",
     0,
     {"end PASS"},
     {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}},
     {},
     "-p PASS"},
    {"EncryptedToAPipeReadFromItsLocalHeaders",
     0,
     {"end PASS"},
     {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}},
     {},
     "-p PASS"},
    // 2. Zip64 records behind a stub, the end record deferring to them with 0xFFFFFFFF.
    {"Zip64BehindAStub", 0, {"result 2"}, {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}}},
    // 3. An end-record signature inside the archive comment.
    {"EndSignatureInTheComment", 0, {"result 1"}, {{"f/a.txt", "=f/a.txt"}}},
    // 4. A split set opened from its first part and from a middle part.
    {"SplitSetFromItsFirstPart",
     0,
     {"result 2"},
     {{"f/s/b.bin", "=f/s/b.bin"}, {"f/a.txt", "=f/a.txt"}}},
    {"SplitSetFromAMiddlePart",
     0,
     {"result 2"},
     {{"f/c.bin", "=f/c.bin"}, {"f/a.txt", "=f/a.txt"}}},
    // 5. ':' is an ordinary character here; only "C:/" at the start is a drive.
    {"NamesWithColons",
     0,
     {"result 5"},
     {{"dir/file:1.txt", "dir/file:1.txt"},
      {"a:b.txt", "a:b.txt"},
      {"b.txt", "b.txt"},
      {"time 12:30.log", "time 12:30.log"},
      {"x/y.txt", "C:/x/y.txt"}}},
    // 6. Stored entries whose descriptors have no signature, behind 100 bytes the central
    // offsets do not count.
    {"DescriptorsWithoutSignatureAndOffsetsOff",
     0,
     {"result 2"},
     {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}}},
    // 7. Nothing can be read: an error and a non-zero exit.
    {"CentralDirectorySizePastTheFile", 1, {"error 25114", "\tno entries\t", "result 0"}},
    {"Zip64LocatorPointingAtItself", 1, {"error 25114"}},
    {"CentralDirectoryAtTheEndRecord", 1, {"error 25114"}},
    {"EmptyArchive", 1, {"error 25114"}},
    {"NotAZip", 1, {"not a zip archive"}},
    // 8. Refused at once, never waited on.
    {"Fifo", 1, {"error 25235", "not a regular file"}},
    {"Directory", 1, {"error 25235", "not a regular file"}},
    {"Device", 1, {"error 25235", "not a regular file"}},
    // 9. Three central records over one local header.
    {"OverlappingEntries", 1, {"overlapped components"}, {}, {"f/a.txt", "f/s/b.bin"}},
    // 10. Names the file system cannot hold fail, the others are extracted.
    {"NamesTooLong", 1, {"File name too long", "result 1"}, {{"ok.txt", "ok"}}},
    // 16. Stored folders are created.
    {"StoredFolders", 0, {"end PASS"}, {{"f/a.txt", "=f/a.txt"}, {"f/empty", "/"}}},
    // 17. A damaged split set whose entry runs past its last part.
    {"DamagedSplitSetNeverLoops",
     1,
     {"part past the last one of the set", "end FAIL"},
     {},
     {"f/s/b.bin"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, UnzipToolCases, ::testing::ValuesIn(kCases),
                         [](const auto& Info) { return std::string(Info.param.Label); });

}  // namespace
}  // namespace ruvevid::walk_test
