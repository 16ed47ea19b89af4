// The entry driver: staged output files (a failing entry never replaces a file), read-only
// targets, unsupported methods, the central CRC of data-descriptor entries, cancellation, and
// application handlers that decline an entry or raise.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "WalkSupport.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

class EntryDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
  }
  // A stored archive of the given files, in order.
  void MakeStored(const std::vector<std::pair<std::string, std::string>>& Files) {
    std::string Names;
    for (const auto& [Name, Bytes] : Files) {
      WriteBytes(Work / "in" / Name, Bytes);
      Names += " '" + Name + "'";
    }
    ASSERT_TRUE(RunShellIn(Work / "in", "zip -q -0 -X ../a.zip" + Names));
  }
  // a.zip written by Python's zipfile to an unseekable stream, so every entry has a data
  // descriptor; Body writes the entries through `z` (indented eight spaces).
  bool MakeStreamedZip(const std::string& Body) {
    return RunPython(Work.path(),
                     "import io, zipfile\n"
                     "class Unseekable(io.RawIOBase):\n"
                     "    def __init__(self, f): self.f = f\n"
                     "    def writable(self): return True\n"
                     "    def write(self, b): return self.f.write(b)\n"
                     "with open('a.zip', 'wb') as f:\n"
                     "    with zipfile.ZipFile(Unseekable(f), 'w') as z:\n" +
                         Body);
  }
  fs::path Archive() const { return Work / "a.zip"; }
  fs::path Out() const { return Work / "out"; }
  TempDir Work;
};

TEST_F(EntryDriver, ACorruptEntryLeavesThePreviousFileIntactAndNoTemporaryFile) {
  MakeStored({{"a.txt", "new contents of a\n"}, {"b.txt", "new contents of b\n"}});
  PatchFile(Archive(), FindInFile(Archive(), "new contents of a"), "N");
  WriteBytes(Out() / "a.txt", "old a\n");
  TRecordedExtraction Run(Archive(), Out());
  EXPECT_EQ(Run.Run(), 1) << "an entry whose output is not kept is not counted";
  EXPECT_EQ(Run.Lines("end"), (std::vector<std::string>{"end FAIL a.txt", "end PASS b.txt"}));
  EXPECT_TRUE(Run.Lines("error").empty()) << "OnEnd is assigned: no 25151";
  EXPECT_EQ(ReadBytes(Out() / "a.txt"), "old a\n");
  EXPECT_EQ(ReadBytes(Out() / "b.txt"), "new contents of b\n");
  EXPECT_EQ(ListTree(Out()), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(EntryDriver, ACorruptEntryWithoutAPreviousFileLeavesNoneAndReports25151WithoutOnEnd) {
  MakeStored({{"a.txt", "new contents of a\n"}});
  PatchFile(Archive(), FindInFile(Archive(), "new contents of a"), "N");
  TRecordedExtraction Run(Archive(), Out());
  Run.UnZip.OnEnd = nullptr;
  EXPECT_EQ(Run.Run(), 0);
  EXPECT_EQ(Run.Lines("error"), std::vector<std::string>{"error 25151 a.txt||0"});
  EXPECT_TRUE(ListTree(Out()).empty());
}

TEST_F(EntryDriver, AReplacedFileKeepsItsModeAndGetsTheEntryDate) {
  MakeStored({{"a.txt", "new\n"}});
  WriteBytes(Out() / "a.txt", "old\n");
  fs::permissions(Out() / "a.txt", fs::perms(0640));
  TRecordedExtraction Run(Archive(), Out());
  Run.UnZip.RestoreFileAttr = false;
  EXPECT_EQ(Run.Run(), 1);
  EXPECT_EQ(ReadBytes(Out() / "a.txt"), "new\n");
  EXPECT_EQ(fs::status(Out() / "a.txt").permissions(), fs::perms(0640));
  const auto Written = fs::last_write_time(Work / "in/a.txt");
  const auto Extracted = fs::last_write_time(Out() / "a.txt");
  EXPECT_LE(std::chrono::abs(Written - Extracted), std::chrono::seconds(2));
}

TEST_F(EntryDriver, AnExistingReadOnlyFileRefusesTheEntry) {
  MakeStored({{"a.txt", "new\n"}, {"b.txt", "b\n"}});
  WriteBytes(Out() / "a.txt", "old\n");
  fs::permissions(Out() / "a.txt", fs::perms(0444));
  TRecordedExtraction Run(Archive(), Out());
  EXPECT_EQ(Run.Run(), 1);
  EXPECT_EQ(Run.Lines("error"), std::vector<std::string>{"error 25235 a.txt||0"});
  EXPECT_EQ(Run.Lines("end"), (std::vector<std::string>{"end FAIL a.txt", "end PASS b.txt"}));
  EXPECT_EQ(ReadBytes(Out() / "a.txt"), "old\n");
  EXPECT_EQ(ListTree(Out()), (std::vector<std::string>{"a.txt", "b.txt"}));
}

struct TMethodCase {
  const char* Label;
  std::uint16_t Method;
  std::string Contents;
  bool Pass;  // the CRC of no data passes only for a stored CRC of 0
};

class EntryUnsupportedMethod : public EntryDriver,
                               public ::testing::WithParamInterface<TMethodCase> {};

TEST_P(EntryUnsupportedMethod, IsReportedAndReplacesNothingUnlessItsCrcPasses) {
  const TMethodCase& Case = GetParam();
  MakeStored({{"x.bin", Case.Contents}, {"y.txt", "y\n"}});
  PatchFile(Archive(), NthInFile(Archive(), kLocalSignature, 0) + 8, LE16(Case.Method));
  PatchFile(Archive(), NthInFile(Archive(), kCentralSignature, 0) + 10, LE16(Case.Method));
  WriteBytes(Out() / "x.bin", "previous");
  TRecordedExtraction Run(Archive(), Out());
  EXPECT_EQ(Run.Run(), Case.Pass ? 2 : 1) << "counted when its (empty) output is kept";
  EXPECT_EQ(Run.Lines("error"), std::vector<std::string>{"error 25326 x.bin||0"});
  EXPECT_EQ(Run.Lines("end"),
            (std::vector<std::string>{Case.Pass ? "end PASS x.bin" : "end FAIL x.bin",
                                      "end PASS y.txt"}));
  EXPECT_EQ(ReadBytes(Out() / "x.bin"), Case.Pass ? "" : "previous");
  EXPECT_EQ(ReadBytes(Out() / "y.txt"), "y\n");
}

INSTANTIATE_TEST_SUITE_P(Methods, EntryUnsupportedMethod,
                         ::testing::Values(TMethodCase{"Method12", 12, "data", false},
                                           TMethodCase{"Method7", 7, "data", false},
                                           TMethodCase{"Method7Empty", 7, "", true}),
                         [](const auto& Info) { return std::string(Info.param.Label); });

TEST_F(EntryDriver, ADataDescriptorEntryIsCheckedAgainstTheCentralCrc) {
  if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
  ASSERT_TRUE(
      MakeStreamedZip("        for n in ('d1.txt', 'd2.txt'):\n"
                      "            with z.open(n, 'w') as w: w.write(n.encode() * 100)\n"));
  // The local headers carry no CRC; damage the second entry's central CRC.
  const std::size_t Local = NthInFile(Archive(), kLocalSignature, 0);
  ASSERT_EQ(ReadBytes(Archive()).substr(Local + 14, 4), std::string(4, '\0'));
  PatchFile(Archive(), NthInFile(Archive(), kCentralSignature, 1) + 16, "\x01\x02\x03\x04");
  TRecordedExtraction Run(Archive(), Out());
  EXPECT_EQ(Run.Run(), 1);
  EXPECT_EQ(Run.Lines("end"), (std::vector<std::string>{"end PASS d1.txt", "end FAIL d2.txt"}));
  EXPECT_EQ(ListTree(Out()), std::vector<std::string>{"d1.txt"});
}

// Without a central directory the local-header walk finds each entry's data descriptor and checks
// the entry against its CRC; an entry whose descriptor is gone has nothing to be checked against
// and never replaces a file.
struct TDescriptorCase {
  const char* Label;
  int Damage;  // 0 none, 1 the descriptor's CRC, 2 the descriptor cut off with the rest
  bool Pass;
};

class EntryLocalDescriptor : public EntryDriver,
                             public ::testing::WithParamInterface<TDescriptorCase> {};

TEST_P(EntryLocalDescriptor, DecidesTheVerdict) {
  if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is not installed";
  ASSERT_TRUE(
      MakeStreamedZip("        with z.open('d1.txt', 'w') as w: w.write(b'streamed ' * 50)\n"));
  const std::size_t Descriptor = NthInFile(Archive(), "PK\x07\x08", 0);
  PatchFile(Archive(), NthInFile(Archive(), kCentralSignature, 0), std::string("PK\0\0", 4));
  if (GetParam().Damage == 1) PatchFile(Archive(), Descriptor + 4, "\x01\x02\x03\x04");
  if (GetParam().Damage == 2) fs::resize_file(Archive(), Descriptor);
  WriteBytes(Out() / "d1.txt", "previous\n");
  TRecordedExtraction Run(Archive(), Out());
  ASSERT_EQ(Run.UnZip.ZipState().HeaderState, THeaderTypeState{THeaderType::htLocal});
  EXPECT_EQ(Run.Run(), GetParam().Pass ? 1 : 0);
  EXPECT_EQ(Run.Lines("end"),
            std::vector<std::string>{GetParam().Pass ? "end PASS d1.txt" : "end FAIL d1.txt"});
  std::string Streamed;
  for (int i = 0; i < 50; ++i) Streamed += "streamed ";
  EXPECT_EQ(ReadBytes(Out() / "d1.txt"), GetParam().Pass ? Streamed : "previous\n");
  EXPECT_EQ(ListTree(Out()), std::vector<std::string>{"d1.txt"});
}

INSTANTIATE_TEST_SUITE_P(Descriptors, EntryLocalDescriptor,
                         ::testing::Values(TDescriptorCase{"Intact", 0, true},
                                           TDescriptorCase{"WrongCrc", 1, false},
                                           TDescriptorCase{"Missing", 2, false}),
                         [](const auto& Info) { return std::string(Info.param.Label); });

TEST_F(EntryDriver, CancelMidEntryStopsTheWalkAndKeepsThePreviousFile) {
  MakeStored({{"big.bin", NoiseBytes(300000, 9)}, {"later.txt", "later\n"}});
  WriteBytes(Out() / "big.bin", "old big\n");
  TRecordedExtraction Run(Archive(), Out());
  Run.AfterProgress = [&](std::uint8_t) {
    if (!Run.UnZip.Cancel()) Run.UnZip.SetCancel(true);
  };
  Run.Run();
  EXPECT_EQ(Run.Progresses, 1) << "the copy stops after the block in progress";
  EXPECT_EQ(Run.Lines("end"), std::vector<std::string>{"end FAIL big.bin"});
  EXPECT_EQ(Run.Lines("begin").size(), 1U) << "no further entry is visited";
  EXPECT_FALSE(Run.Lines("error 25443").empty());
  EXPECT_EQ(ReadBytes(Out() / "big.bin"), "old big\n");
  EXPECT_EQ(ListTree(Out()), std::vector<std::string>{"big.bin"});
  EXPECT_EQ(Run.Log.back(), "deactivate");
}

TEST_F(EntryDriver, AnEntryDeclinedInOnBeginGetsNoFileAndNoEnd) {
  MakeStored({{"a.txt", "a\n"}, {"b.txt", "b\n"}, {"c.txt", "c\n"}});
  TRecordedExtraction Run(Archive(), Out());
  Run.AfterBegin = [](const std::string& Name, bool& Extract) { Extract = Name != "b.txt"; };
  EXPECT_EQ(Run.Run(), 2);
  EXPECT_EQ(Run.Lines("begin"),
            (std::vector<std::string>{"begin 1 a.txt", "begin 2 b.txt", "begin 2 c.txt"}));
  EXPECT_EQ(Run.Lines("end"), (std::vector<std::string>{"end PASS a.txt", "end PASS c.txt"}));
  EXPECT_EQ(ListTree(Out()), (std::vector<std::string>{"a.txt", "c.txt"}));
  EXPECT_EQ(Run.UnZip.Run().BytesRemaining, 0) << "progress jumps over the declined entry";
}

TEST_F(EntryDriver, AnExceptionFromOnBeginEndsTheWalkButNotTheRunAndIsReported) {
  MakeStored({{"a.txt", "a\n"}, {"b.txt", "b\n"}, {"c.txt", "c\n"}});
  TRecordedExtraction Run(Archive(), Out());
  Run.AfterBegin = [](const std::string& Name, bool&) {
    if (Name == "b.txt") throw std::runtime_error("handler failed");
  };
  EXPECT_EQ(Run.Run(), 1) << "b is counted only after OnBegin returns";
  EXPECT_EQ(Run.Log, (std::vector<std::string>{
                         "activate", "begin 1 a.txt", "end PASS a.txt", "begin 2 b.txt",
                         "error 25104 b.txt|handler failed|0", "elapsed", "deactivate"}));
  EXPECT_EQ(ListTree(Out()), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace ruvevid::walk_test
