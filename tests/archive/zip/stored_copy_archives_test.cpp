// Whole extractions of stored archives, made by Info-ZIP zip -0 or taken from the shared fixtures,
// once with the system's copy of stored entries turned off and once with it: the files, the events
// with every progress figure, the countdown and the result must match, and the system must have
// copied what it may. A damaged entry fails its CRC check, and a full disk is reported, the same
// way under the system's copy.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "WalkSupport.h"
#include "support/FileSet.h"
#include "support/PrivateTmpfs.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

struct TExtraction {
  std::int32_t Result = -1;
  std::vector<std::string> Log;
  test::TFileSet Files;
  std::int64_t BytesRemaining = 0;
  std::int64_t SystemCopied = 0;

  std::size_t Count(const std::string& Prefix) const {
    return static_cast<std::size_t>(std::count_if(
        Log.begin(), Log.end(), [&](const auto& Line) { return Line.rfind(Prefix, 0) == 0; }));
  }
};

// Extracts Archive into Folder with the given system-copy minimum; every progress event is
// logged with the archive's percentage, the countdown and the CRC register.
TExtraction Extract(const fs::path& Archive, const fs::path& Folder, std::int64_t Minimum) {
  TRecordedExtraction Run(Archive, Folder);
  Run.UnZip.Run().SystemCopyMinimum = Minimum;
  Run.AfterProgress = [&Run](std::uint8_t ByFile) {
    const TRunState& State = Run.UnZip.Run();
    Run.Log.push_back("progress " + std::to_string(ByFile) + " " +
                      std::to_string(State.ProgressByArchive) + " remaining " +
                      std::to_string(State.BytesRemaining) + " crc " +
                      std::to_string(State.Decode.Crc.Crc32));
  };
  TExtraction Done;
  Done.Result = Run.Run();
  Done.Log = Run.Log;
  if (fs::exists(Folder)) Done.Files = test::ReadFileSet(Folder);
  Done.BytesRemaining = Run.UnZip.Run().BytesRemaining;
  Done.SystemCopied = Run.UnZip.Run().SystemCopiedBytes;
  return Done;
}

void ExpectSameExtraction(const TExtraction& System, const TExtraction& Plain) {
  EXPECT_EQ(System.Result, Plain.Result);
  EXPECT_EQ(System.Log, Plain.Log);
  EXPECT_TRUE(System.Files == Plain.Files) << "the extracted files differ";
  EXPECT_EQ(System.BytesRemaining, Plain.BytesRemaining);
  EXPECT_EQ(Plain.SystemCopied, 0);
}

// What zip -0 stores: sizes around the block (32 KB), the smallest entry the system copies (64 KB)
// and the view's window (1 MB).
const test::TFileSet& Payload() {
  static const test::TFileSet Files = {
      {"empty.txt", ""},
      {"one.txt", "1"},
      {"a/block-less-one.bin", test::NoiseBytes(32767, 1)},
      {"a/block.bin", test::NoiseBytes(32768, 2)},
      {"a/block-and-one.bin", test::NoiseBytes(32769, 3)},
      {"a/b/below-minimum.bin", test::NoiseBytes(65535, 4)},
      {"a/b/minimum.bin", test::NoiseBytes(65536, 5)},
      {"c/odd.bin", test::NoiseBytes(100001, 6)},
      {"c/past-a-window.bin", test::NoiseBytes((1 << 20) + 123, 7)},
      {"c/big.bin", test::NoiseBytes(3'000'000, 8)},
  };
  return Files;
}

std::int64_t PayloadBytes(std::int64_t Minimum) {
  std::int64_t Sum = 0;
  for (const auto& [Name, Bytes] : Payload()) {
    if (static_cast<std::int64_t>(Bytes.size()) >= Minimum) Sum += std::ssize(Bytes);
  }
  return Sum;
}

struct TInfoZipCase {
  const char* Name;
  std::int64_t Minimum;
  bool Damaged;  // bytes of c/odd.bin changed after zip took its CRC
};
void PrintTo(const TInfoZipCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

class StoredCopyInfoZip : public ::testing::TestWithParam<TInfoZipCase> {};

TEST_P(StoredCopyInfoZip, FilesEventsAndFiguresMatchThePlainCopy) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
  const TInfoZipCase& Case = GetParam();
  TempDir Work;
  test::MakeStoredZip(Payload(), {}, test::TZipMaker::zmInfoZip, Work / "a.zip");
  if (Case.Damaged) test::DamageFirst(Work / "a.zip", Payload().at("c/odd.bin").substr(70000, 16));
  const TExtraction Plain = Extract(Work / "a.zip", Work / "plain", kNoSystemCopy);
  const TExtraction System = Extract(Work / "a.zip", Work / "system", Case.Minimum);
  ExpectSameExtraction(System, Plain);
  EXPECT_EQ(System.Count("end FAIL"), Case.Damaged ? 1U : 0U);
  EXPECT_EQ(System.Count("end FAIL c/odd.bin"), Case.Damaged ? 1U : 0U);
  EXPECT_EQ(System.Count("end PASS c/big.bin"), 1U);
  if (!Case.Damaged) {
    EXPECT_TRUE(System.Files == Payload()) << "the files are not the payload";
  }
  EXPECT_EQ(System.SystemCopied, SystemCopiesIn(Work.path()) ? PayloadBytes(Case.Minimum) : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, StoredCopyInfoZip,
                         ::testing::Values(TInfoZipCase{"Of64KAndMore", kSystemCopyMinimum, false},
                                           TInfoZipCase{"EveryEntry", 1, false},
                                           TInfoZipCase{"DamagedEntry", kSystemCopyMinimum, true}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// The archive lies on the same small disk, so that the system copies, and the room runs out
// inside the big entry.
TEST(StoredCopyDiskFull, IsReportedAsTheWritesReportIt) {
  if (!HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
  TempDir Work;
  const test::TFileSet Files = {{"small.txt", "kept"}, {"big.bin", test::NoiseBytes(1500000, 9)}};
  test::MakeStoredZip(Files, {}, test::TZipMaker::zmInfoZip, Work / "a.zip");
  const std::string Archive = test::ReadBytes(Work / "a.zip");
  const fs::path Disk = Work / "disk";
  fs::create_directory(Disk);
  std::vector<TExtraction> Runs;
  for (const std::int64_t Minimum : {kNoSystemCopy, kSystemCopyMinimum}) {
    // A fresh disk for each run, at the same place, so that the names in the reports match.
    test::TPrivateTmpfs Mounted;
    std::string Why;
    if (!Mounted.Mount(Disk, 2 * 1024 * 1024, Why)) GTEST_SKIP() << Why;
    test::WriteBytes(Disk / "a.zip", Archive);
    const bool Copies = SystemCopiesIn(Disk);
    Runs.push_back(Extract(Disk / "a.zip", Disk / "out", Minimum));
    EXPECT_EQ(Runs.back().SystemCopied > 0, Minimum != kNoSystemCopy && Copies);
  }
  ExpectSameExtraction(Runs[1], Runs[0]);
  EXPECT_EQ(Runs[1].Count("error 25160"), 1U) << "a full disk";
  EXPECT_EQ(Runs[1].Count("end PASS big.bin"), 0U);
}

// Fixtures with stored entries, every entry of any size left to the system where it may: other
// tools' archives with comments, data descriptors, prefixes, folders, odd names and damage; and
// those whose stored entries the system does not copy: empty, encrypted, split sets.
struct TFixtureCase {
  const char* File;
  bool SystemCopies;
};
void PrintTo(const TFixtureCase& Case, std::ostream* Out) {
  *Out << Case.File;
}

class StoredCopyFixtures : public ::testing::TestWithParam<TFixtureCase> {};

TEST_P(StoredCopyFixtures, ExtractAsWithThePlainCopy) {
  const fs::path Archive = test::FixturesDir() / "zip" / GetParam().File;
  if (test::FixturesDir().empty() || !fs::exists(Archive)) GTEST_SKIP() << "no shared fixtures";
  TempDir Work;
  const TExtraction Plain = Extract(Archive, Work / "plain", kNoSystemCopy);
  const TExtraction System = Extract(Archive, Work / "system", 1);
  ExpectSameExtraction(System, Plain);
  EXPECT_EQ(System.SystemCopied > 0, GetParam().SystemCopies && SystemCopiesIn(Work.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, StoredCopyFixtures,
    ::testing::Values(
        TFixtureCase{"Zip.none.zip", true}, TFixtureCase{"bla-stored.zip", true},
        TFixtureCase{"cc-FreeBSD.zip", true}, TFixtureCase{"gen-a-infozip-stored.zip", true},
        TFixtureCase{"Zip.none.datadescriptors.zip", true}, TFixtureCase{"bla-stored-dd.zip", true},
        TFixtureCase{"libarchive-comment_stored_2.zip", true},
        TFixtureCase{"go-test-prefix.zip", true}, TFixtureCase{"libarchive-zip_sfx.exe", true},
        TFixtureCase{"libarchive-size_exceeds_declared_stored.zip", true},
        TFixtureCase{"gen-a-infozip-unix-modes.zip", true}, TFixtureCase{"cc-minotaur.zip", false},
        TFixtureCase{"zipcrypto.zip", false}, TFixtureCase{"gen-a-7z-zipcrypto-stored.zip", false},
        TFixtureCase{"sc-infozip-nocomp-multi.zip", false},
        TFixtureCase{"gen-a-infozip-split.zip", false}),
    [](const auto& Info) {
      std::string Name = Info.param.File;
      std::erase_if(Name, [](char C) { return std::isalnum(static_cast<unsigned char>(C)) == 0; });
      return Name;
    });

}  // namespace
}  // namespace ruvevid::walk_test
