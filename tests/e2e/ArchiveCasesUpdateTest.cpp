// Archives at the edges of the extraction engine, downloaded and installed by the updater: those
// other tools open are installed exactly, every other one ends with a clear text and leaves the
// program folder as it was, and the archive's gauge never moves back.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "app/ExtractionHandoff.h"
#include "app/FailureTexts.h"
#include "app/FakeUpdaterView.h"
#include "app/Updater.h"
#include "support/ArchiveRecipes.h"
#include "support/FakeApplication.h"
#include "support/FileSet.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using test::TFileSet;

struct ArchiveCase {
  const char* Label;  // the archive's recipe
  std::string Text;
  // Installed files: name -> "=payload file" or the bytes; empty: nothing may change.
  std::map<std::string, std::string> Files = {};
};

void PrintTo(const ArchiveCase& Case, std::ostream* Out) {
  *Out << Case.Label;
}

class ArchiveCasesUpdateTest : public testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveCasesUpdateTest, InstallsWhatOtherToolsOpenAndRefusesTheRest) {
  const ArchiveCase& Case = GetParam();
  const test::TempDir Scratch;
  const test::TempDir Program;
  ASSERT_TRUE(test::MakeRecipeArchive(Case.Label, Scratch.path())) << Case.Label;
  const TFileSet Old = {{"readme.txt", "1.0"}, {"Ruvevid.exe", "old"}};
  test::WriteFileSet(Program.path(), Old);
  TFileSet Expected = Old;
  for (const auto& [Name, Bytes] : Case.Files) {
    Expected[Name] = Bytes.rfind('=', 0) == 0 ? test::ReadBytes(Scratch / Bytes.substr(1)) : Bytes;
  }

  test::ScriptedHttpServer Server;
  Server.On(
      "/Roduvov0.zip",
      test::FullResponse(200, test::ReadBytes(Scratch / test::ArchiveRecipe(Case.Label).Archive)));
  TUpdaterServices Services;
  Services.UrlText = Server.Url("/Roduvov0.zip");
  const std::string Folder = Program.path().string() + "/";
  Services.ProgramFolder = [Folder] { return Folder; };
  Services.WriteSetting = [](const std::string&, const std::string&, const std::string&,
                             const std::string&) { return true; };
  Services.LaunchProgram = [](const std::string&) { return true; };
  test::FakeUpdaterView View;
  test::FakeApplication App;
  int LowestNext = 0;
  bool Backwards = false;
  App.OnPump = [&](int) {
    Backwards = Backwards || View.Gauge2 < LowestNext;
    LowestNext = View.Gauge2;
  };
  TfrmUpdater Updater(View, App, Services);
  Updater.FormCreate();
  Updater.FormResize();

  EXPECT_EQ(View.LabDown, Case.Text);
  EXPECT_EQ(test::ReadFileSet(Program.path()), Expected);
  EXPECT_FALSE(Backwards) << "the archive's gauge moved back";
}

const std::string kInstalled = std::string("Roduvov0.zip") + kTextDownloaded;

INSTANTIATE_TEST_SUITE_P(
    Recipes, ArchiveCasesUpdateTest,
    testing::Values(
        // The updater gives no password: an encrypted entry cannot be checked.
        ArchiveCase{"EncryptedToAPipe", kTextDamaged},
        ArchiveCase{
            "Zip64BehindAStub", kInstalled, {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}}},
        ArchiveCase{"EndSignatureInTheComment", kInstalled, {{"f/a.txt", "=f/a.txt"}}},
        ArchiveCase{"NamesWithColons",
                    kInstalled,
                    {{"dir/file:1.txt", "dir/file:1.txt"},
                     {"a:b.txt", "a:b.txt"},
                     {"b.txt", "b.txt"},
                     {"time 12:30.log", "time 12:30.log"},
                     {"x/y.txt", "C:/x/y.txt"}}},
        ArchiveCase{"DescriptorsWithoutSignatureAndOffsetsOff",
                    kInstalled,
                    {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}}},
        ArchiveCase{
            "MixedMethods", kInstalled, {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}}},
        ArchiveCase{"CentralDirectorySizePastTheFile", kTextNotAnUpdate},
        ArchiveCase{"Zip64LocatorPointingAtItself", kTextNotAnUpdate},
        ArchiveCase{"CentralDirectoryAtTheEndRecord", kTextNotAnUpdate},
        ArchiveCase{"EmptyArchive", kTextNotAnUpdate},
        ArchiveCase{"OverlappingEntries", kTextDamaged}, ArchiveCase{"NamesTooLong", kTextDamaged},
        // A part of a split set is no update archive: it is refused before anything is read.
        ArchiveCase{"DamagedSplitSetNeverLoops", kTextNotAnUpdate}),
    [](const auto& Info) { return std::string(Info.param.Label); });

}  // namespace
}  // namespace ruvevid
