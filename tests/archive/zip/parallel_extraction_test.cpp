// Entries decoded ahead on worker threads: for every archive, the output and the events the
// application sees (names, counts, percentages, errors, verdicts, in order) are those of a run on
// one thread; declined and cancelled entries leave nothing behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "WalkSupport.h"
#include "support/FakeApplication.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

// What a run left: its events (with every progress figure) and the output tree with the bytes of
// every file.
struct TRunResult {
  std::vector<std::string> Log;
  std::vector<std::string> Tree;
  // Each file's name and permission bits.
  std::vector<std::string> Modes;
  test::TFileSet Files;
  std::int32_t Result = 0;
  // A decoding folder stood beside the output when the first entry began.
  bool Workers = false;
};

struct TRunSetup {
  std::vector<std::string> Passwords;
  // Declines the entries it returns false for.
  std::function<bool(const std::string& Name)> Accept;
  // Cancels the run at this progress report (counted from 1); 0: never.
  int CancelAtProgress = 0;
  // What OnGetPassword answers, in turn; once they are used up it gives up.
  std::vector<std::string> Answers;
  // Puts what the output folder holds before the run.
  std::function<void(const fs::path& Out)> Prepare;
};

// Entries of Folder left by a run that are not output: decoding folders and staged files.
std::vector<std::string> Leftovers(const fs::path& Folder) {
  std::vector<std::string> Found;
  if (!fs::exists(Folder)) return Found;
  for (const auto& Item : fs::recursive_directory_iterator(Folder)) {
    const std::string Name = Item.path().filename().string();
    if (Name.rfind(".ruvevid-decoding-", 0) == 0 || (Name.front() == '.' && Name.back() == '~'))
      Found.push_back(Item.path().string());
  }
  return Found;
}

// Extracts Archive into Out with the updater's settings and Threads decoding threads.
TRunResult Extract(const fs::path& Archive, const fs::path& Out, std::int32_t Threads,
                   const TRunSetup& Setup = {}) {
  // The decoding folder goes in the nearest folder that exists on the way to the output.
  fs::create_directories(Out.parent_path());
  if (Setup.Prepare) Setup.Prepare(Out);
  TRecordedExtraction Run(Archive, Out);
  Run.UnZip.Threads = Threads;
  Run.UnZip.CreateStoredDirs = true;
  Run.UnZip.Passwords = Setup.Passwords;
  bool Workers = false;
  bool First = true;
  Run.AfterBegin = [&](const std::string& Name, bool& Extract) {
    if (First) Workers = !Leftovers(Out.parent_path()).empty();
    First = false;
    if (Setup.Accept) Extract = Setup.Accept(Name);
  };
  std::size_t Answered = 0;
  if (!Setup.Answers.empty()) {
    Run.UnZip.OnGetPassword = [&](TZipCommon*, const std::string& Name, std::string& Password,
                                  bool& TryAgain) {
      Run.Log.push_back("password for " + fs::path(Name).filename().string());
      TryAgain = Answered < Setup.Answers.size();
      if (TryAgain) Password = Setup.Answers[Answered++];
    };
  }
  int Progresses = 0;
  Run.UnZip.OnProgress = [&](TZipCommon*, std::uint8_t ByFile, std::uint8_t ByArchive) {
    Run.Log.push_back("progress " + std::to_string(ByFile) + " " + std::to_string(ByArchive));
    if (++Progresses == Setup.CancelAtProgress) Run.UnZip.SetCancel(true);
  };
  TRunResult Result;
  Result.Result = Run.Run();
  Result.Log = Run.Log;
  Result.Workers = Workers;
  if (fs::exists(Out)) {
    Result.Tree = ListTree(Out);
    Result.Files = test::ReadFileSet(Out);
    for (const auto& Item : fs::recursive_directory_iterator(Out)) {
      const auto Bits = static_cast<unsigned>(fs::symlink_status(Item.path()).permissions());
      Result.Modes.push_back(fs::relative(Item.path(), Out).generic_string() + " " +
                             std::to_string(Bits & 0777));
    }
    std::sort(Result.Modes.begin(), Result.Modes.end());
  }
  return Result;
}

// Runs Archive once on one thread and once with Threads, each into a fresh folder of Work, and
// expects the same events and the same files, with nothing left over.
void ExpectSameAsOneThread(const fs::path& Archive, const fs::path& Work, std::int32_t Threads,
                           const TRunSetup& Setup = {}) {
  const std::string Tag = std::to_string(Threads);
  const TRunResult One = Extract(Archive, Work / ("one-" + Tag) / "out", 1, Setup);
  const TRunResult Many = Extract(Archive, Work / ("many-" + Tag) / "out", Threads, Setup);
  EXPECT_EQ(Many.Log, One.Log);
  EXPECT_EQ(Many.Tree, One.Tree);
  EXPECT_EQ(Many.Modes, One.Modes);
  EXPECT_TRUE(Many.Files == One.Files);
  EXPECT_EQ(Many.Result, One.Result);
  EXPECT_EQ(Leftovers(Work / ("many-" + Tag)), std::vector<std::string>{});
}

// ---- Every fixture archive, on 1, 2 and 4 threads ----

std::vector<std::string> FixtureArchives() {
  std::vector<std::string> Names;
  const fs::path Folder = test::FixturesDir() / "zip";
  std::error_code Error;
  if (test::FixturesDir().empty() || !fs::is_directory(Folder, Error)) return Names;
  for (const auto& Item : fs::directory_iterator(Folder, Error)) {
    const std::string Name = Item.path().filename().string();
    std::string Lower = Name;
    std::transform(Lower.begin(), Lower.end(), Lower.begin(),
                   [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
    if (Item.is_regular_file() && Lower.size() > 4 && Lower.substr(Lower.size() - 4) == ".zip")
      Names.push_back(Name);
  }
  std::sort(Names.begin(), Names.end());
  return Names;
}

class ParallelFixtures : public ::testing::TestWithParam<std::tuple<std::string, std::int32_t>> {};

TEST_P(ParallelFixtures, GiveTheOutputAndEventsOfOneThread) {
  const auto& [File, Threads] = GetParam();
  TempDir Work;
  ExpectSameAsOneThread(test::FixturesDir() / "zip" / File, Work.path(), Threads);
}

std::string FixtureCaseName(
    const ::testing::TestParamInfo<std::tuple<std::string, std::int32_t>>& Info) {
  std::string Name = std::get<0>(Info.param) + "_j" + std::to_string(std::get<1>(Info.param));
  for (char& C : Name)
    if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
  return Name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ParallelFixtures,
                         ::testing::Combine(::testing::ValuesIn(FixtureArchives()),
                                            ::testing::Values(1, 2, 4)),
                         FixtureCaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ParallelFixtures);

// ---- Archives made here: many entries, declined entries, cancel, damage, passwords ----

// Many small entries with a few large ones between them, deflated and stored, in folders.
fs::path MakeManyEntries(const fs::path& Work) {
  std::string Text;
  for (int I = 0; I < 4000; ++I) Text += "row " + std::to_string(I * 7919 % 10007) + "\n";
  for (int I = 0; I < 240; ++I) {
    const std::string Name = "in/d" + std::to_string(I % 7) + "/f" + std::to_string(I);
    if (I % 40 == 0) {
      WriteBytes(Work / (Name + ".bin"), NoiseBytes(400000 + I, static_cast<std::uint32_t>(I)));
    } else if (I % 3 == 0) {
      WriteBytes(Work / (Name + ".bin"), NoiseBytes(static_cast<std::size_t>(I) * 37, 7));
    } else {
      WriteBytes(Work / (Name + ".txt"), Text.substr(0, static_cast<std::size_t>(I) * 151));
    }
  }
  WriteBytes(Work / "in/empty.txt", "");
  if (!RunShellIn(Work / "in", "zip -q -r -n .bin ../many.zip .")) return {};
  return Work / "many.zip";
}

class ParallelRuns : public ::testing::TestWithParam<std::int32_t> {
 protected:
  void SetUp() override {
    if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
  }
  TempDir Work;
};

TEST_P(ParallelRuns, ManyEntriesGiveTheOutputAndEventsOfOneThread) {
  const fs::path Archive = MakeManyEntries(Work.path());
  ASSERT_FALSE(Archive.empty());
  ExpectSameAsOneThread(Archive, Work.path(), GetParam());
  const TRunResult Run = Extract(Archive, Work / "check" / "out", GetParam());
  EXPECT_EQ(Run.Result, 241);
  EXPECT_EQ(Run.Workers, GetParam() > 1);
  EXPECT_EQ(Run.Files.at("d0/f0.bin"), NoiseBytes(400000, 0));
}

TEST_P(ParallelRuns, DeclinedEntriesLeaveNoOutput) {
  const fs::path Archive = MakeManyEntries(Work.path());
  ASSERT_FALSE(Archive.empty());
  TRunSetup Setup;
  Setup.Accept = [](const std::string& Name) { return Name.find('5') == std::string::npos; };
  ExpectSameAsOneThread(Archive, Work.path(), GetParam(), Setup);
  const TRunResult Run = Extract(Archive, Work / "check" / "out", GetParam(), Setup);
  EXPECT_EQ(Run.Files.count("d5/f5.txt"), 0u);
  EXPECT_EQ(Run.Files.count("d0/f0.bin"), 1u);
  for (const auto& [Name, Bytes] : Run.Files) {
    // Folders are made for the files below them whatever they are named.
    if (Bytes != "<folder>") {
      EXPECT_EQ(Name.find('5'), std::string::npos) << Name;
    }
  }
}

// Files that stand where entries go keep their permissions or refuse the entry, as on one thread:
// a worker's file takes a target's permissions when it becomes the output.
TEST_P(ParallelRuns, AnExistingTreeIsReplacedAsOnOneThread) {
  const fs::path Archive = MakeManyEntries(Work.path());
  ASSERT_FALSE(Archive.empty());
  TRunSetup Setup;
  Setup.Prepare = [](const fs::path& Out) {
    WriteBytes(Out / "d1/f1.txt", "old");
    fs::permissions(Out / "d1/f1.txt", fs::perms::owner_read | fs::perms::owner_write);
    WriteBytes(Out / "d2/f2.txt", "read-only");
    fs::permissions(Out / "d2/f2.txt", fs::perms::owner_read | fs::perms::group_read);
    fs::create_directories(Out / "d4/f4.txt");
  };
  ExpectSameAsOneThread(Archive, Work.path(), GetParam(), Setup);
  const TRunResult Run = Extract(Archive, Work / "check" / "out", GetParam(), Setup);
  EXPECT_EQ(Run.Files.at("d2/f2.txt"), "read-only");
  EXPECT_NE(Run.Files.at("d1/f1.txt"), "old");
  EXPECT_EQ(Run.Result, 239);
}

TEST_P(ParallelRuns, ACancelStopsCleanlyWithNoPartialFiles) {
  const fs::path Archive = MakeManyEntries(Work.path());
  ASSERT_FALSE(Archive.empty());
  TRunSetup Setup;
  // Within the large entry f40.bin, which several blocks make.
  Setup.CancelAtProgress = 90;
  ExpectSameAsOneThread(Archive, Work.path(), GetParam(), Setup);
  const TRunResult Run = Extract(Archive, Work / "check" / "out", GetParam(), Setup);
  const TRunResult Whole = Extract(Archive, Work / "whole" / "out", 1);
  ASSERT_GT(Run.Files.size(), 1u);
  EXPECT_LT(Run.Files.size(), Whole.Files.size());
  // Every file that is there is whole.
  for (const auto& [Name, Bytes] : Run.Files) {
    if (Bytes == "<folder>") continue;
    EXPECT_EQ(Bytes, Whole.Files.at(Name)) << Name;
  }
  EXPECT_TRUE(std::any_of(Run.Log.begin(), Run.Log.end(), [](const std::string& Line) {
    return Line.rfind("error 25443 ", 0) == 0;
  }));
  EXPECT_EQ(Leftovers(Work / "check"), std::vector<std::string>{});
}

TEST_P(ParallelRuns, BadCrcsAreReportedInArchiveOrder) {
  const fs::path Archive = MakeManyEntries(Work.path());
  ASSERT_FALSE(Archive.empty());
  // The stored CRC of the 3rd and the 100th entry in their local headers.
  for (const int N : {2, 99}) {
    const std::size_t At = NthInFile(Archive, kLocalSignature, N);
    ASSERT_NE(At, std::string::npos);
    PatchFile(Archive, At + 14, "\x12\x34\x56\x78");
  }
  ExpectSameAsOneThread(Archive, Work.path(), GetParam());
  const TRunResult Run = Extract(Archive, Work / "check" / "out", GetParam());
  std::vector<std::string> Failed;
  for (const std::string& Line : Run.Log)
    if (Line.rfind("end FAIL", 0) == 0) Failed.push_back(Line);
  ASSERT_EQ(Failed.size(), 2u);
  const auto First = std::find(Run.Log.begin(), Run.Log.end(), Failed[0]);
  const auto Second = std::find(Run.Log.begin(), Run.Log.end(), Failed[1]);
  EXPECT_GT(std::count_if(First, Second,
                          [](const std::string& Line) { return Line.rfind("end PASS", 0) == 0; }),
            90);
  EXPECT_EQ(Run.Result, 239);
}

TEST_P(ParallelRuns, EncryptedEntriesAmongPlainOnesGiveTheOutputOfOneThread) {
  std::string Text;
  for (int I = 0; I < 30000; ++I) Text += std::to_string(I) + "\n";
  for (int I = 0; I < 6; ++I) WriteBytes(Work / ("in/p" + std::to_string(I) + ".txt"), Text);
  WriteBytes(Work / "in/e1.txt", Text.substr(100));
  WriteBytes(Work / "in/e2.txt", Text.substr(200));
  ASSERT_TRUE(MakeEncryptedArchive(Work / "in",
                                   "zip -q -X ../a.zip p0.txt p1.txt && "
                                   "zip -q -X -P secret ../a.zip e1.txt && "
                                   "zip -q -X ../a.zip p2.txt p3.txt && "
                                   "zip -q -X -P secret ../a.zip e2.txt && "
                                   "zip -q -X ../a.zip p4.txt p5.txt",
                                   Work / "a.zip", {"wrong"}));
  TRunSetup Setup;
  Setup.Passwords = {"wrong", "secret"};
  ExpectSameAsOneThread(Work / "a.zip", Work.path(), GetParam(), Setup);
  const TRunResult Run = Extract(Work / "a.zip", Work / "check" / "out", GetParam(), Setup);
  EXPECT_EQ(Run.Result, 8);
  EXPECT_EQ(Run.Files.at("e2.txt"), Text.substr(200));
}

// Once the application has given the password, the entries after it are deciphered ahead with it;
// the questions, and what each entry gives, are those of one thread.
TEST_P(ParallelRuns, APasswordAskedForOnceOpensTheEntriesAfterIt) {
  std::string Text;
  for (int I = 0; I < 20000; ++I) Text += std::to_string(I * 31) + "\n";
  std::string Names;
  for (int I = 0; I < 12; ++I) {
    const std::string Name = "e" + std::to_string(I) + ".txt";
    WriteBytes(Work / "in" / Name, Text.substr(static_cast<std::size_t>(I) * 977));
    Names += " " + Name;
  }
  ASSERT_TRUE(MakeEncryptedArchive(Work / "in", "zip -q -X -P secret ../a.zip" + Names,
                                   Work / "a.zip", {"wrong"}));
  TRunSetup Setup;
  Setup.Answers = {"wrong", "secret"};
  ExpectSameAsOneThread(Work / "a.zip", Work.path(), GetParam(), Setup);
  const TRunResult Run = Extract(Work / "a.zip", Work / "check" / "out", GetParam(), Setup);
  EXPECT_EQ(Run.Result, 12);
  EXPECT_EQ(std::count_if(Run.Log.begin(), Run.Log.end(),
                          [](const std::string& Line) { return Line.rfind("password", 0) == 0; }),
            2);
  EXPECT_EQ(Run.Files.at("e11.txt"), Text.substr(11 * 977));
}

// While the caller waits for a worker's long entry it keeps pumping the application's messages, so
// that a window stays alive and a cancel given there stops the entry.
TEST_P(ParallelRuns, TheApplicationIsPumpedWhileALongEntryIsDecoded) {
  WriteBytes(Work / "in/a.txt", "first");
  // Stored and enciphered, so that deciphering every byte makes it long to decode.
  WriteBytes(Work / "in/big.bin", std::string(std::size_t{16} << 20, '\0'));
  ASSERT_TRUE(RunShellIn(Work / "in", "zip -q -X -0 -P secret ../long.zip big.bin a.txt"));
  fs::remove(Work / "in/big.bin");
  // The pumps between big.bin's OnBegin and its first progress report, and the run's result when
  // the first of them cancels.
  const auto PumpsBeforeItsFirstProgress = [&](std::int32_t Threads, bool Cancel,
                                               const std::string& Out) {
    test::FakeApplication App;
    TRecordedExtraction Run(Work / "long.zip", Work / Out, &App);
    Run.UnZip.Threads = Threads;
    Run.UnZip.Passwords = {"secret"};
    bool InBig = false;
    int Pumps = 0;
    App.OnPump = [&](int) {
      if (!InBig) return;
      ++Pumps;
      if (Cancel) Run.UnZip.SetCancel(true);
    };
    Run.AfterBegin = [&](const std::string& Name, bool&) { InBig = Name == "big.bin"; };
    Run.AfterProgress = [&](std::uint8_t) { InBig = false; };
    const std::int32_t Result = Run.Run();
    return std::make_pair(Pumps, Result);
  };
  const int OneThread = PumpsBeforeItsFirstProgress(1, false, "one").first;
  const auto [Pumps, Result] = PumpsBeforeItsFirstProgress(GetParam(), false, "many");
  EXPECT_EQ(Result, 2);
  if (GetParam() > 1) {
    EXPECT_GT(Pumps, OneThread);
  } else {
    EXPECT_EQ(Pumps, OneThread);
  }
  const auto Cancelled = PumpsBeforeItsFirstProgress(GetParam(), true, "cancelled");
  EXPECT_EQ(Cancelled.second, 0);
  EXPECT_FALSE(fs::exists(Work / "cancelled/big.bin"));
  EXPECT_EQ(Leftovers(Work.path()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Threads, ParallelRuns, ::testing::Values(1, 2, 4),
                         [](const auto& Info) { return "j" + std::to_string(Info.param); });

}  // namespace
}  // namespace ruvevid::walk_test
