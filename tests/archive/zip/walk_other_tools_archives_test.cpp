// Archives made by Info-ZIP zip, 7-Zip and Python's zipfile from one payload folder are extracted
// with the updater's settings; every file must come out byte for byte, with one begin and one
// passing end per file and no error.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WalkSupport.h"
#include "archive/zip/MethodDispatch.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

const std::vector<std::string> kPayloadFiles = {"a.txt", "empty.txt", "sub/b.bin",
                                                "sub/deeper/c.txt"};

void MakePayload(const fs::path& Folder) {
  WriteBytes(Folder / "a.txt", "Ruvevid Label Maker\r\n");
  WriteBytes(Folder / "empty.txt", "");
  WriteBytes(Folder / "sub/b.bin", NoiseBytes(100000, 7));
  std::string Text;
  for (int i = 0; i < 5000; ++i) Text += "label " + std::to_string(i * 37 % 1009) + "\n";
  WriteBytes(Folder / "sub/deeper/c.txt", Text);
  fs::create_directories(Folder / "emptydir");
}

// Python's zipfile: every file and folder of the payload, method given; Streamed writes to an
// unseekable file so every entry gets a data descriptor.
std::string PythonMaker(const std::string& Method, bool Streamed) {
  return "import io, os, zipfile\n"
         "class Unseekable(io.RawIOBase):\n"
         "    def __init__(self, f): self.f = f\n"
         "    def writable(self): return True\n"
         "    def write(self, b): return self.f.write(b)\n"
         "out = open('../a.zip', 'wb')\n"
         "target = Unseekable(out) if " +
         std::string(Streamed ? "True" : "False") +
         " else out\n"
         "with zipfile.ZipFile(target, 'w', zipfile." +
         Method +
         ") as z:\n"
         "    for root, dirs, files in sorted(os.walk('.')):\n"
         "        for d in sorted(dirs):\n"
         "            z.write(os.path.join(root, d)[2:], os.path.join(root, d)[2:] + '/')\n"
         "        for f in sorted(files):\n"
         "            p = os.path.join(root, f)[2:]\n"
         "            if Unseekable is not type(target):\n"
         "                z.write(p, p)\n"
         "            else:\n"
         "                with z.open(p, 'w') as w, open(p, 'rb') as r: w.write(r.read())\n"
         "out.close()\n";
}

struct TMaker {
  const char* Label;
  const char* Program;  // the tool that must be installed
  std::string Command;  // run in the payload folder, makes ../a.zip
  bool Python = false;
  bool Deflated = false;
};

std::string PrintMaker(const ::testing::TestParamInfo<TMaker>& Info) {
  return Info.param.Label;
}

class WalkToolArchives : public ::testing::TestWithParam<TMaker> {
 protected:
  void SetUp() override {
    const TMaker& Maker = GetParam();
    if (!HaveProgram(Maker.Program)) GTEST_SKIP() << Maker.Program << " is not installed";
    if (Maker.Deflated && !IsSupportedMethod(kMethodDeflated))
      GTEST_SKIP() << "deflated entries are not decoded by this build";
    MakePayload(Work.path() / "payload");
    const bool Made = Maker.Python ? RunPython(Work.path() / "payload", Maker.Command)
                                   : RunShellIn(Work.path() / "payload", Maker.Command);
    ASSERT_TRUE(Made) << Maker.Command;
  }
  TempDir Work;
};

TEST_P(WalkToolArchives, EveryFileComesOutWithAPassingEnd) {
  TRecordedExtraction Run(Work.path() / "a.zip", Work.path() / "out");
  EXPECT_EQ(Run.Run(), static_cast<std::int32_t>(kPayloadFiles.size()));
  for (const std::string& Name : kPayloadFiles) {
    EXPECT_EQ(ReadBytes(Work.path() / "out" / Name), ReadBytes(Work.path() / "payload" / Name))
        << Name;
    EXPECT_EQ(Run.Lines("end PASS " + Name).size(), 1U) << Name;
  }
  EXPECT_EQ(Run.Lines("begin").size(), kPayloadFiles.size()) << "folders get no begin";
  EXPECT_TRUE(Run.Lines("end FAIL").empty());
  EXPECT_TRUE(Run.Lines("error").empty());
  EXPECT_EQ(Run.Log.front(), "activate");
  EXPECT_EQ(Run.Log.back(), "deactivate");
  EXPECT_FALSE(fs::exists(Work.path() / "out/emptydir")) << "CreateStoredDirs is off";
  EXPECT_EQ(Run.UnZip.Run().BytesRemaining, 0);
}

TEST_P(WalkToolArchives, StoredFoldersAreCreatedWithCreateStoredDirs) {
  TRecordedExtraction Run(Work.path() / "a.zip", Work.path() / "out");
  Run.UnZip.CreateStoredDirs = true;
  EXPECT_EQ(Run.Run(), static_cast<std::int32_t>(kPayloadFiles.size()))
      << "folders are not counted";
  EXPECT_TRUE(fs::is_directory(Work.path() / "out/emptydir"));
  EXPECT_EQ(Run.Lines("end PASS emptydir/").size(), 1U);
  EXPECT_EQ(ListTree(Work.path() / "out"), ListTree(Work.path() / "payload"));
}

const std::vector<TMaker> kMakers = {
    {"InfoZipStored", "zip", "zip -q -r -0 -X ../a.zip ."},
    {"InfoZipDeflated", "zip", "zip -q -r -X ../a.zip .", false, true},
    {"SevenZipStored", "7zz", "7zz a -tzip -mx=0 ../a.zip ."},
    {"SevenZipDeflated", "7zz", "7zz a -tzip -mx=5 ../a.zip .", false, true},
    {"PythonStored", "python3", PythonMaker("ZIP_STORED", false), true},
    {"PythonStoredWithDataDescriptors", "python3", PythonMaker("ZIP_STORED", true), true},
    {"PythonDeflatedWithDataDescriptors", "python3", PythonMaker("ZIP_DEFLATED", true), true, true},
};

INSTANTIATE_TEST_SUITE_P(Makers, WalkToolArchives, ::testing::ValuesIn(kMakers), PrintMaker);

}  // namespace
}  // namespace ruvevid::walk_test
