// The extraction cycle of the component: defaults, Activate's open rules, the order of events of a
// run, cancellation from a progress handler, and the guarantee that nothing raised in a run leaves
// Activate. The runs extract stored zip archives built in memory with the component's own walks;
// where only the frame matters, ProcessArchive is a test function.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "archive/base/ArcErrors.h"
#include "archive/base/OutputFiles.h"
#include "archive/base/support/ZipBuilder.h"
#include "support/FakeApplication.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using test::FakeApplication;
using test::TEventLog;
using test::TMemoryStream32;
using test::TProbeUnZip;
using Lines = std::vector<std::string>;

struct SimEntry {
  std::string Name;
  std::uint64_t Size;
};

std::uint8_t ByteAt(std::uint64_t Index) {
  return static_cast<std::uint8_t>(Index * 7 + 3);
}

std::string EntryBytes(std::uint64_t Size) {
  std::string Bytes(Size, '\0');
  for (std::uint64_t i = 0; i < Size; ++i) Bytes[i] = static_cast<char>(ByteAt(i));
  return Bytes;
}

// The entries' bytes end to end, no zip structure; returns the file's path.
std::filesystem::path MakeArchive(const test::TempDir& Dir, const std::vector<SimEntry>& Entries) {
  std::string Data;
  for (const auto& E : Entries) Data += EntryBytes(E.Size);
  const auto Path = Dir / "archive.bin";
  test::WriteBytes(Path, Data);
  return Path;
}

// A zip archive of the entries, stored (method 0); returns the file's path.
std::filesystem::path MakeStoredZip(const test::TempDir& Dir,
                                    const std::vector<SimEntry>& Entries) {
  zipfmt_test::TZipSpec Spec;
  for (const auto& E : Entries) {
    zipfmt_test::TSpecEntry Entry;
    Entry.Name = E.Name;
    Entry.Data = EntryBytes(E.Size);
    Spec.Entries.push_back(Entry);
  }
  const auto Path = Dir / "archive.zip";
  test::WriteBytes(Path, zipfmt_test::BuildZip(Spec));
  return Path;
}

class ActivateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log.Attach(Arc);
    Arc.OnBegin = [this](TZipCommon*, const std::string& Name, std::int32_t Count, bool&) {
      Log.Lines.push_back("Begin " + Name + " " + std::to_string(Count));
    };
  }
  // The archive of Entries, built as a stored zip, to be extracted below Out() by the component's
  // own walks.
  void UseStoredZip(const std::vector<SimEntry>& Entries) {
    Arc.SetArchiveFile(MakeStoredZip(Dir, Entries).string());
    Arc.SetExtractDir(Out());
    Arc.FileSpec = {"*.*"};
    Arc.Process = [](TProbeUnZip& Self, std::unique_ptr<TStream32>& Input) { Self.Walk(Input); };
  }
  std::string Out() const { return (Dir / "out").string(); }

  test::TempDir Dir;
  FakeApplication App;
  TProbeUnZip Arc{&App};
  TEventLog Log;
};

TEST_F(ActivateTest, Defaults) {
  TUnZip Fresh;
  EXPECT_EQ(Fresh.GetArchiveFile(), "");
  EXPECT_EQ(Fresh.ArcType(), TArcType::atNA);
  EXPECT_FALSE(Fresh.ConfirmOverwrites);
  EXPECT_EQ(Fresh.CpuType, TCpuType::cptAuto);
  EXPECT_FALSE(Fresh.CreateStoredDirs);
  EXPECT_EQ(Fresh.DateAttribute, TDateAttribute::daFileDate);
  EXPECT_EQ(Fresh.ExtractDir(), "");
  EXPECT_TRUE(Fresh.FileSpec.empty());
  EXPECT_EQ(Fresh.OverwriteMode, TOverwriteMode::omOverwrite);
  EXPECT_EQ(Fresh.PasswordAttempts, 3);
  EXPECT_TRUE(Fresh.Passwords.empty());
  EXPECT_TRUE(Fresh.RecurseDirs);
  EXPECT_TRUE(Fresh.RestoreFileAttr);
  EXPECT_TRUE(Fresh.TranslateOemChar);
  EXPECT_TRUE(Fresh.UseStoredDirs);
  EXPECT_EQ(Fresh.ZipCmntBufSize(), 0);
  EXPECT_FALSE(Fresh.Cancel());
  EXPECT_EQ(Fresh.HeaderKeyState(), kZipHeaderKeyState);
  EXPECT_TRUE(Fresh.ReadHandler);
  EXPECT_TRUE(Fresh.WriteHandler);
  EXPECT_TRUE(Fresh.ProgressHandler);
  // Until another flag is given, Cancel reads a flag of the component's own, not shared with
  // another component.
  TUnZip Other;
  ASSERT_NE(Fresh.CancelFlag(), nullptr);
  EXPECT_NE(Fresh.CancelFlag(), Other.CancelFlag());
  *Fresh.CancelFlag() = true;
  EXPECT_TRUE(Fresh.Cancel());
  EXPECT_FALSE(Other.Cancel());
}

TEST_F(ActivateTest, ZipCmntBufSizeIsClamped) {
  const std::vector<std::pair<std::int32_t, std::int32_t>> Cases = {
      {1, 2000}, {100000, 32767}, {5000, 5000}, {2000, 2000}, {32767, 32767}, {-5, 2000}};
  for (const auto& [In, Out] : Cases) {
    Arc.SetZipCmntBufSize(In);
    EXPECT_EQ(Arc.ZipCmntBufSize(), Out) << In;
  }
}

TEST_F(ActivateTest, EmptyArchiveFileReportsFileNotFoundAlone) {
  EXPECT_EQ(Arc.Activate(), 0);
  EXPECT_EQ(Log.Lines, (Lines{"Error 25192 [] [] [0]"}));
}

TEST_F(ActivateTest, MissingFileIsNotKept) {
  Arc.SetArchiveFile((Dir / "missing.zip").string());
  EXPECT_EQ(Arc.GetArchiveFile(), "");
  EXPECT_EQ(Arc.ArcType(), TArcType::atNA);
  bool Processed = false;
  Arc.Process = [&](TProbeUnZip&, std::unique_ptr<TStream32>&) { Processed = true; };
  EXPECT_EQ(Arc.Activate(), 0);
  EXPECT_EQ(Log.Lines, (Lines{"Error 25192 [] [] [0]"}));
  EXPECT_FALSE(Processed);
}

TEST_F(ActivateTest, ArchiveThatCannotBeOpenedReportsOpenError) {
  const auto Path = MakeArchive(Dir, {{"a", 10}});
  Arc.SetArchiveFile(Path.string());
  ASSERT_EQ(Arc.GetArchiveFile(), Path.string());
  std::filesystem::remove(Path);
  EXPECT_EQ(Arc.Activate(), 0);
  EXPECT_EQ(Log.Lines, (Lines{"Error 25235 [" + Path.string() + "] [] [0]"}));
}

TEST_F(ActivateTest, DirectoryCannotBeOpenedAsArchive) {
  Arc.ForceArchiveFile(Dir.path().string());
  EXPECT_EQ(Arc.Activate(), 0);
  EXPECT_EQ(Log.Lines,
            (Lines{"Error 25235 [" + Dir.path().string() + "] [not a regular file] [0]"}));
}

TEST_F(ActivateTest, StreamlessTypesRunWithoutAStream) {
  const auto Path = MakeArchive(Dir, {{"a", 10}});
  for (TArcType Type : {TArcType::atRar, TArcType::atRarExe, TArcType::atAce, TArcType::atAceExe,
                        TArcType::atCab, TArcType::atCabExe}) {
    Log.Lines.clear();
    Arc.ForceArchiveFile(Path.string());
    Arc.ForceArcType(Type);
    bool HadStream = true;
    Arc.Process = [&](TProbeUnZip&, std::unique_ptr<TStream32>& Input) {
      HadStream = Input != nullptr;
    };
    EXPECT_EQ(Arc.Activate(), 0);
    EXPECT_FALSE(HadStream);
    EXPECT_EQ(Log.Lines, (Lines{"Activate", "ElapsedTime", "Deactivate"}));
  }
}

TEST_F(ActivateTest, SpannedSetWhoseDriveCheckFailsEndsSilently) {
  const auto Path = MakeArchive(Dir, {{"a", 10}});
  Arc.ForceArchiveFile(Path.string());
  for (TArcType Type : {TArcType::atZipDS, TArcType::atZipMV}) {
    Arc.ForceArcType(Type);
    Arc.DriveOk = false;
    EXPECT_EQ(Arc.Activate(), 0);
    EXPECT_TRUE(Log.Lines.empty());
    Arc.DriveOk = true;
    Log.Lines.clear();
    EXPECT_EQ(Arc.Activate(), 0);
    EXPECT_EQ(Log.Lines, (Lines{"Activate", "ElapsedTime", "Deactivate"}));
    Log.Lines.clear();
  }
}

TEST_F(ActivateTest, EventOrderOfARun) {
  const std::vector<SimEntry> Entries = {{"a.txt", 40000}, {"b.txt", 100}, {"c.txt", 0}};
  UseStoredZip(Entries);
  EXPECT_EQ(Arc.Activate(), 3);
  // Stored progress is measured against the packed total (40100 bytes).
  const std::string O = kOutputPathRules.AppendBackslash(Out());
  EXPECT_EQ(Log.Lines,
            (Lines{"Activate", "Begin " + O + "a.txt 1", "Progress 82 82", "Progress 100 100",
                   "End " + O + "a.txt pass", "Begin " + O + "b.txt 2", "Progress 100 100",
                   "End " + O + "b.txt pass", "Begin " + O + "c.txt 3", "End " + O + "c.txt pass",
                   "ElapsedTime", "Deactivate"}));
  EXPECT_EQ(App.Pumps, 3);
  EXPECT_EQ(Arc.Run().BytesRemaining, 0);
  for (const auto& E : Entries) {
    EXPECT_EQ(test::ReadBytes(Dir / "out" / E.Name), EntryBytes(E.Size)) << E.Name;
  }
}

TEST_F(ActivateTest, ElapsedTimeOnlyWhenAssigned) {
  Arc.SetArchiveFile(MakeArchive(Dir, {{"a", 10}}).string());
  Arc.OnElapsedTime = nullptr;
  EXPECT_EQ(Arc.Activate(), 0);
  EXPECT_EQ(Log.Lines, (Lines{"Activate", "Deactivate"}));
  EXPECT_FALSE(Arc.Timer().Running());
}

TEST_F(ActivateTest, ArchiveStreamSharesTheCancelFlagAndStaysOpenUntilDeactivate) {
  const auto Path = MakeArchive(Dir, {{"a", 10}});
  Arc.SetArchiveFile(Path.string());
  TStream32* Seen = nullptr;
  Arc.Process = [&](TProbeUnZip& Self, std::unique_ptr<TStream32>& Input) {
    ASSERT_NE(Input, nullptr);
    EXPECT_EQ(Input->CancelFlag(), Self.CancelFlag());
    EXPECT_EQ(Input->Position(), 0);
    Seen = Input.get();
  };
  bool OpenInDeactivate = false;
  Arc.OnDeactivate = [&](TZipCommon*) { OpenInDeactivate = Seen != nullptr && Seen->Size() == 10; };
  Arc.Activate();
  EXPECT_TRUE(OpenInDeactivate);
  EXPECT_EQ(Arc.ArchiveSize(), 10);
}

TEST_F(ActivateTest, CancelFromOnProgress) {
  const std::vector<SimEntry> Entries = {{"a.txt", 100000}, {"b.txt", 100}};
  UseStoredZip(Entries);
  const std::filesystem::path Path = Arc.GetArchiveFile();
  std::int64_t OutputAtCancel = -1;
  Arc.OnProgress = [&](TZipCommon* Sender, std::uint8_t File, std::uint8_t Archive) {
    Log.Lines.push_back("Progress " + std::to_string(File) + " " + std::to_string(Archive));
    Sender->SetCancel(true);
    OutputAtCancel = Sender->Run().BytesRemaining;
  };
  EXPECT_EQ(Arc.Activate(), 0);  // the cancelled file is not counted as extracted
  const std::string A = kOutputPathRules.AppendBackslash(Out()) + "a.txt";
  EXPECT_EQ(Log.Lines, (Lines{"Activate", "Begin " + A + " 1", "Progress 33 33",
                              "Error 25443 [" + Path.string() + "] [" + A + "] [0]",
                              "End " + A + " fail", "ElapsedTime", "Deactivate"}));
  // The copy stopped after its first block, and nothing after it was extracted.
  EXPECT_EQ(OutputAtCancel, 100100 - 32768);
  EXPECT_FALSE(std::filesystem::exists(A) && test::ReadBytes(A) == EntryBytes(100000));
  EXPECT_FALSE(std::filesystem::exists(Out() + "/b.txt"));
  // The flag stays set after the run and is cleared by the next one.
  EXPECT_TRUE(Arc.Cancel());
  Log.Lines.clear();
  Arc.OnProgress = nullptr;
  EXPECT_EQ(Arc.Activate(), 2);
  EXPECT_FALSE(Arc.Cancel());
}

TEST_F(ActivateTest, ExternalCancelFlag) {
  bool External = false;
  Arc.SetCancelFlag(&External);
  Arc.SetCancel(true);
  EXPECT_TRUE(External);
  EXPECT_TRUE(Arc.Cancel());
  External = false;
  EXPECT_FALSE(Arc.Cancel());
  EXPECT_EQ(Log.Lines, (Lines{"Error 25443 [] [] [0]"}));
  Arc.SetCancelFlag(nullptr);
  EXPECT_FALSE(Arc.Cancel());
}

TEST_F(ActivateTest, RunStateIsResetAtTheStartAndKeptAfter) {
  Arc.SetArchiveFile(MakeArchive(Dir, {{"a", 10}}).string());
  auto& Run = Arc.Run();
  Run.ExtractedCount = 9;
  Run.TotalPackedSize = 5;
  Run.TotalUnpackedSize = 6;
  Run.BytesRemaining = 7;
  Run.NewestEntryDate = 8;
  Run.ProgressByArchive = 50;
  Run.PasswordFailed = true;
  Run.EntryEncrypted = true;
  Run.Password = "old";
  Run.OutputName = "old";
  Run.ExcludeList = {"*.x"};
  TZipDirEntry Other;
  Run.CurrentEntry = &Other;
  Arc.CpuType = TCpuType::cpt80486;
  Arc.Process = [](TProbeUnZip& Self, std::unique_ptr<TStream32>&) {
    auto& R = Self.Run();
    EXPECT_EQ(R.ExtractedCount, 0);
    EXPECT_EQ(R.TotalPackedSize, 0);
    EXPECT_EQ(R.TotalUnpackedSize, 0);
    EXPECT_EQ(R.BytesRemaining, 0);
    EXPECT_EQ(R.NewestEntryDate, 0);
    EXPECT_EQ(R.ProgressByArchive, 0);
    EXPECT_FALSE(R.PasswordFailed);
    EXPECT_FALSE(R.EntryEncrypted);
    EXPECT_EQ(R.Password, "");
    EXPECT_EQ(R.OutputName, "");
    EXPECT_TRUE(R.ExcludeList.empty());
    EXPECT_EQ(R.CurrentEntry, &R.ScratchEntry);
    EXPECT_EQ(R.CurrentVolumeName, Self.GetArchiveFile());
    EXPECT_EQ(R.OutputMode, 0);
    R.ExtractedCount = 4;
    R.TotalUnpackedSize = 77;
    R.OutputName = "last";
  };
  EXPECT_EQ(Arc.Activate(), 4);
  EXPECT_EQ(Run.TotalUnpackedSize, 77);
  EXPECT_EQ(Run.OutputName, "last");
  EXPECT_EQ(Arc.CpuType, TCpuType::cptAuto);
  Arc.CpuType = TCpuType::cpt80386;
  Arc.Activate();
  EXPECT_EQ(Arc.CpuType, TCpuType::cpt80386);
}

TEST_F(ActivateTest, ArchiveFileIsRestoredAfterTheRun) {
  const auto Path = MakeArchive(Dir, {{"a", 10}});
  Arc.SetArchiveFile(Path.string());
  Arc.Process = [](TProbeUnZip& Self, std::unique_ptr<TStream32>&) {
    Self.ForceArchiveFile("elsewhere");
    throw std::runtime_error("boom");
  };
  Arc.Activate();
  EXPECT_EQ(Arc.GetArchiveFile(), Path.string());
}

// Where a handler (or the archive work) raises, and what the application still sees.
struct ThrowCase {
  const char* Name;
  const char* Where;
  Lines Expected;
  std::int32_t Result;
};

class HandlerExceptions : public ActivateTest, public ::testing::WithParamInterface<ThrowCase> {};

TEST_P(HandlerExceptions, NeverLeaveActivate) {
  const auto& Case = GetParam();
  const std::vector<SimEntry> Entries = {{"a", 10}, {"b", 10}};
  UseStoredZip(Entries);
  const std::string Where = Case.Where;
  Arc.Process = [&](TProbeUnZip& Self, std::unique_ptr<TStream32>& Input) {
    if (Where == "ProcessArchive") throw std::bad_alloc();
    if (Where == "ProcessArchiveInt") throw 42;
    if (Where == "ProcessArchiveRaise" || Where == "Error")
      Self.RaiseError("x", "", "0", ecBadBlock);
    Self.Walk(Input);
  };
  const auto Wrap = [&](const char* Name) {
    return [&, Name] {
      Log.Lines.push_back(Name);
      if (Where == Name) throw std::runtime_error(Name);
    };
  };
  Arc.OnActivate = [W = Wrap("Activate")](TZipCommon*) { W(); };
  Arc.OnDeactivate = [W = Wrap("Deactivate")](TZipCommon*) { W(); };
  Arc.OnElapsedTime = [W = Wrap("ElapsedTime")](TZipCommon*, float) { W(); };
  Arc.OnBegin = [W = Wrap("Begin")](TZipCommon*, const std::string&, std::int32_t, bool&) { W(); };
  Arc.OnEnd = [W = Wrap("End")](TZipCommon*, const std::string&, bool) { W(); };
  Arc.OnProgress = [W = Wrap("Progress")](TZipCommon*, std::uint8_t, std::uint8_t) { W(); };
  Arc.OnError = [W = Wrap("Error")](TZipCommon*, const std::string&, const std::string&,
                                    const std::string&, int) { W(); };
  std::int32_t Result = -1;
  EXPECT_NO_THROW(Result = Arc.Activate());
  EXPECT_EQ(Log.Lines, Case.Expected);
  EXPECT_EQ(Result, Case.Result);
}

const Lines NormalRun = {"Activate", "Begin", "Progress",    "End",       "Begin",
                         "Progress", "End",   "ElapsedTime", "Deactivate"};

INSTANTIATE_TEST_SUITE_P(
    Cases, HandlerExceptions,
    ::testing::Values(
        ThrowCase{"None", "", NormalRun, 2},
        // A handler's exception ends the step it raised in and is reported (Error) before the
        // end steps that still fire; an entry it cut short is not counted.
        ThrowCase{"Progress",
                  "Progress",
                  {"Activate", "Begin", "Progress", "Error", "ElapsedTime", "Deactivate"},
                  0},
        ThrowCase{"Activate", "Activate", {"Activate", "Error"}, 0},
        ThrowCase{"Begin", "Begin", {"Activate", "Begin", "Error", "ElapsedTime", "Deactivate"}, 0},
        ThrowCase{"End",
                  "End",
                  {"Activate", "Begin", "Progress", "End", "Error", "ElapsedTime", "Deactivate"},
                  1},
        ThrowCase{"ElapsedTime",
                  "ElapsedTime",
                  {"Activate", "Begin", "Progress", "End", "Begin", "Progress", "End",
                   "ElapsedTime", "Error", "Deactivate"},
                  2},
        ThrowCase{"Deactivate",
                  "Deactivate",
                  {"Activate", "Begin", "Progress", "End", "Begin", "Progress", "End",
                   "ElapsedTime", "Deactivate", "Error"},
                  2},
        ThrowCase{"ProcessArchive",
                  "ProcessArchive",
                  {"Activate", "Error", "ElapsedTime", "Deactivate"},
                  0},
        ThrowCase{"ProcessArchiveInt",
                  "ProcessArchiveInt",
                  {"Activate", "Error", "ElapsedTime", "Deactivate"},
                  0},
        ThrowCase{"RaiseError",
                  "ProcessArchiveRaise",
                  {"Activate", "Error", "ElapsedTime", "Deactivate"},
                  0},
        // The error handler's own exception is reported to it once more; what it raises then is
        // dropped.
        ThrowCase{"ErrorHandler",
                  "Error",
                  {"Activate", "Error", "Error", "ElapsedTime", "Deactivate"},
                  0}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
