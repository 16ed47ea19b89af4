// Deflate64 and deflate streams made by other tools: archives written by 7-Zip at test time, and
// the shared fixture archives, checked against their central directories and the manifest.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "InflateTestSupport.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"
#include "support/ZipListing.h"

namespace ruvevid::test {
namespace {

namespace fs = std::filesystem;

// Data with long runs (deflate64's long lengths) and repeats from more than 32 KB back.
TBytes LongReachData() {
  TBytes Data = MakeData(TDataKind::dkMixed, 200'000, 21);
  const TBytes Far(Data.begin() + 1000, Data.begin() + 30'000);
  Data.insert(Data.end(), 150'000, 'r');
  Data.insert(Data.end(), Far.begin(), Far.end());  // about 180 KB back: out of reach, literals
  const TBytes Near(Data.end() - 60'000, Data.end() - 50'000);
  Data.insert(Data.end(), Near.begin(), Near.end());  // 60 KB back: in deflate64's reach
  Data.insert(Data.end(), 70'000, 0);
  const TBytes Text = MakeData(TDataKind::dkText, 50'000, 22);
  Data.insert(Data.end(), Text.begin(), Text.end());
  return Data;
}

struct TSevenZipCase {
  const char* Method;
  TInflateVariant Variant;
};

class SevenZipStreamTest : public ::testing::TestWithParam<TSevenZipCase> {};

TEST_P(SevenZipStreamTest, DecodesWithEveryFeed) {
  if (!HaveProgram("7zz")) GTEST_SKIP() << "7zz is not installed";
  TempDir Dir;
  const TBytes Data = LongReachData();
  WriteBytes(Dir / "data.bin", Data);
  const std::string Command =
      std::string("7zz a -tzip -mm=") + GetParam().Method + " -mx=9 out.zip data.bin";
  ASSERT_TRUE(RunShellIn(Dir.path(), Command)) << Command;
  const TBytes Zip = ReadByteVector(Dir / "out.zip");
  const std::vector<TZipListEntry> Entries = ListZipEntries(Zip);
  ASSERT_EQ(Entries.size(), 1u);
  ASSERT_EQ(Entries[0].Method, GetParam().Variant == TInflateVariant::ivDeflate64 ? 9u : 8u);
  const TBytes Packed = EntryData(Zip, Entries[0]);
  for (std::size_t Feed : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, std::size_t{0}}) {
    const TInflateOutcome Outcome =
        InflateInPieces(Packed, GetParam().Variant, -15, Feed, Feed, Data.size());
    ASSERT_EQ(Outcome.Result, kInflateStreamEnd) << Feed;
    ASSERT_EQ(Outcome.Output.size(), Data.size()) << Feed;
    EXPECT_TRUE(Outcome.Output == Data) << Feed;
    EXPECT_EQ(Outcome.TotalIn, Packed.size()) << Feed;
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, SevenZipStreamTest,
                         ::testing::Values(TSevenZipCase{"Deflate64", TInflateVariant::ivDeflate64},
                                           TSevenZipCase{"Deflate", TInflateVariant::ivDeflate}),
                         [](const auto& Info) { return std::string(Info.param.Method); });

// The text of the manifest's record of one archive.
std::string ManifestRecord(const std::string& Manifest, const std::string& File) {
  const std::string Key = "\"file\": \"" + File + "\"";
  const std::size_t Start = Manifest.find(Key);
  if (Start == std::string::npos) return {};
  const std::size_t End = Manifest.find("\"file\": \"", Start + Key.size());
  return Manifest.substr(Start, End == std::string::npos ? std::string::npos : End - Start);
}

class FixtureArchiveTest : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureArchiveTest, EveryDeflatedEntryMatches) {
  const fs::path Dir = FixturesDir() / "zip";
  if (FixturesDir().empty() || !fs::exists(Dir / GetParam())) {
    GTEST_SKIP() << "the shared fixtures are not beside the project";
  }
  const TBytes Zip = ReadByteVector(Dir / GetParam());
  const TBytes ManifestBytes = ReadByteVector(Dir / "manifest.json");
  const std::string Record =
      ManifestRecord(std::string(ManifestBytes.begin(), ManifestBytes.end()), GetParam());
  ASSERT_FALSE(Record.empty()) << "no manifest record";
  int Decoded = 0;
  for (const TZipListEntry& Entry : ListZipEntries(Zip)) {
    if ((Entry.Method != 8 && Entry.Method != 9) || (Entry.Flags & 1) != 0) continue;
    SCOPED_TRACE(Entry.Name);
    const TInflateVariant Variant =
        Entry.Method == 9 ? TInflateVariant::ivDeflate64 : TInflateVariant::ivDeflate;
    const TBytes Packed = EntryData(Zip, Entry);
    for (std::size_t Feed : {std::size_t{3}, std::size_t{0}}) {
      const TInflateOutcome Outcome =
          InflateInPieces(Packed, Variant, -15, Feed, Feed, Entry.UnpackedSize);
      ASSERT_EQ(Outcome.Result, kInflateStreamEnd);
      ASSERT_EQ(Outcome.Output.size(), Entry.UnpackedSize);
      EXPECT_EQ(Crc32Of(Outcome.Output), Entry.Crc32);
      EXPECT_EQ(Outcome.TotalIn, Packed.size());
      char Crc[16];
      std::snprintf(Crc, sizeof Crc, "%08x", Crc32Of(Outcome.Output));
      EXPECT_NE(Record.find("\"crc32\": \"" + std::string(Crc) + "\""), std::string::npos);
      EXPECT_NE(Record.find("\"size\": " + std::to_string(Entry.UnpackedSize) + ","),
                std::string::npos);
    }
    ++Decoded;
  }
  EXPECT_GT(Decoded, 0);
}

INSTANTIATE_TEST_SUITE_P(Archives, FixtureArchiveTest,
                         ::testing::Values("Zip.deflate64.zip", "gen-a-7z-deflate64.zip",
                                           "zip2-deflate64.zip", "COMPRESS-380.zip",
                                           "COMPRESS-380-readbeyondmemory.zip", "Zip.deflate.zip",
                                           "Zip.deflate.dd.zip", "gen-a-infozip-deflate9.zip",
                                           "gen-a-infozip-big-deflate.zip",
                                           "libarchive-7z_deflate.zip"),
                         [](const auto& Info) {
                           std::string Name = Info.param;
                           for (char& C : Name) {
                             if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
                           }
                           return Name;
                         });

}  // namespace
}  // namespace ruvevid::test
