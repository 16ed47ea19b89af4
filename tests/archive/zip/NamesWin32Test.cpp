// Entry names on a Windows file system: Korean names arrive as themselves, names Windows cannot
// hold are refused for their entry alone, and two names that differ only in case end as one file,
// the later entry's, with or without a staging folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "archive/base/support/ZipBuilder.h"
#include "archive/zip/UnZip.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;

// "한글.txt" in UTF-8, flagged as such (general purpose bit 11).
const std::string kKorean = "\xED\x95\x9C\xEA\xB8\x80.txt";
constexpr std::uint16_t kUtf8Flag = 0x0800;

zipfmt_test::TSpecEntry Entry(const std::string& Name, const std::string& Data,
                              std::uint16_t Flags = 0) {
  zipfmt_test::TSpecEntry Result;
  Result.Name = Name;
  Result.Data = Data;
  Result.Flags = Flags;
  return Result;
}

struct TRun {
  std::vector<std::string> Passed;
  std::vector<std::string> Failed;
  int Errors = 0;
  std::int32_t Result = 0;
};

TRun Extract(const std::vector<zipfmt_test::TSpecEntry>& Entries, const fs::path& Folder,
             const fs::path& Staging = {}) {
  test::TempDir Dir;
  zipfmt_test::TZipSpec Spec;
  Spec.Entries = Entries;
  const fs::path Archive = Dir / "names.zip";
  test::WriteBytes(Archive, zipfmt_test::BuildZip(Spec));
  TRun Run;
  TUnZip UnZip;
  UnZip.OnEnd = [&](TZipCommon*, const std::string& Name, bool Pass) {
    (Pass ? Run.Passed : Run.Failed).push_back(Name);
  };
  UnZip.OnError = [&](TZipCommon*, const std::string&, const std::string&, const std::string&,
                      int) { ++Run.Errors; };
  UnZip.SetArchiveFile(Archive.string());
  UnZip.CreateStoredDirs = true;
  UnZip.ConfirmOverwrites = false;
  UnZip.OverwriteMode = TOverwriteMode::omOverwrite;
  UnZip.FileSpec = {"*.*"};
  UnZip.SetExtractDir(Folder.string());
  if (!Staging.empty()) UnZip.StagingDir = Staging.string();
  Run.Result = UnZip.Activate();
  return Run;
}

TEST(NamesWin32, KoreanNamesAndRefusedNames) {
  test::TempDir Out;
  const std::vector<zipfmt_test::TSpecEntry> Entries = {
      Entry(kKorean, "hangul", kUtf8Flag),
      Entry("CON", "device"),
      Entry("sub/nul.txt", "device with extension"),
      Entry("Com1.log", "device in another case"),
      Entry("dot.", "trailing dot"),
      Entry("space ", "trailing space"),
      Entry("ab:stream", "a stream of ab"),
      Entry("ok.txt", "plain")};
  const TRun Run = Extract(Entries, Out.path());
  // Each refused name fails alone; the others are written.
  EXPECT_EQ(Run.Passed.size(), 2u);
  EXPECT_FALSE(Run.Failed.empty() && Run.Errors == 0);
  EXPECT_EQ(test::ReadBytes(Out.path() / fs::path(u8"\uD55C\uAE00.txt")), "hangul");
  EXPECT_EQ(test::ReadBytes(Out / "ok.txt"), "plain");
  std::vector<std::string> Names;
  for (const auto& Entry : fs::recursive_directory_iterator(Out.path()))
    if (Entry.is_regular_file()) Names.push_back(Entry.path().filename().string());
  EXPECT_EQ(Names.size(), 2u);
}

class CaseCollision : public ::testing::TestWithParam<bool> {};

TEST_P(CaseCollision, TheLaterEntryWins) {
  const bool Staged = GetParam();
  test::TempDir Out;
  test::TempDir Stage;
  const std::vector<zipfmt_test::TSpecEntry> Entries = {
      Entry("Read.Me", "first"), Entry("DIR/a.txt", "one"), Entry("read.me", "second"),
      Entry("dir/A.TXT", "two")};
  const TRun Run = Extract(Entries, Out.path(), Staged ? Stage.path() : fs::path());
  EXPECT_EQ(Run.Errors, 0);
  EXPECT_EQ(Run.Passed.size(), 4u);
  EXPECT_TRUE(Run.Failed.empty());
  const fs::path Written = Staged ? Stage.path() : Out.path();
  const test::TFileSet Files = test::ReadFileSet(Written);
  std::set<std::string> Contents;
  for (const auto& File : Files) Contents.insert(File.second);
  EXPECT_EQ(Files.size(), 2u);
  EXPECT_EQ(Contents, (std::set<std::string>{"second", "two"}));
}

INSTANTIATE_TEST_SUITE_P(Output, CaseCollision, ::testing::Values(false, true),
                         [](const auto& Info) { return Info.param ? "Staged" : "InPlace"; });

}  // namespace
}  // namespace ruvevid
