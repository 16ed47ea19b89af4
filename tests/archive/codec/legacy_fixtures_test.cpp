// The legacy decoders on real archives made by PKZIP-era tools and by hwzip: every shrunk, reduced
// and imploded entry must decode to the bytes the fixtures' manifest records. Truncated and
// mutated copies of the entries must end in an error code or wrong output, never in a crash, an
// access outside a buffer or a hang.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "InflateTestSupport.h"
#include "LegacyHarness.h"
#include "support/FixtureArchive.h"
#include "support/TestPaths.h"

namespace ruvevid::test {
namespace {

struct TLegacyFixture {
  const char* File;
  const char* Kind;
};

const TLegacyFixture kFixtures[] = {
    {"SHRUNK.ZIP", "shrink, PKZIP 1.1"},
    {"Zip.shrink.zip", "shrink, PKZIP"},
    {"gen-a-hw-shrink.zip", "shrink, hwzip"},
    {"Zip.reduce1.zip", "reduce factor 1 and shrink"},
    {"Zip.reduce2.zip", "reduce factor 2 and shrink"},
    {"gen-a-hw-reduce3.zip", "reduce factor 3, hwzip"},
    {"zip2-legacy-reduce.zip", "reduce factor 4"},
    {"imploding-4Kdict-2trees.zip", "implode 4 KB, 2 trees"},
    {"imploding-8Kdict-3trees.zip", "implode 8 KB, 3 trees"},
    {"gen-a-hw-implode-8k-2trees.zip", "implode 8 KB, 2 trees, hwzip"},
    {"gen-a-hw-implode-4k-3trees.zip", "implode 4 KB, 3 trees, hwzip"},
    {"libarchive-pr2949-compat_zip_implode.zip", "implode, both kinds"},
    {"zip2-legacy-implode.zip", "implode 8 KB, 3 trees"},
    {"moby-imploded.zip", "implode 8 KB, 3 trees, 134 entries, and shrink"},
};

std::filesystem::path FixtureFolder() {
  const std::filesystem::path Root = FixturesDir();
  return Root.empty() ? Root : Root / "zip";
}

std::vector<TFixtureEntry> LegacyEntries(const char* File) {
  std::vector<TFixtureEntry> Entries = ReadFixtureArchive(FixtureFolder() / File);
  std::erase_if(Entries, [](const TFixtureEntry& E) { return E.Method < 1 || E.Method > 6; });
  return Entries;
}

TLegacyRun Decode(const TFixtureEntry& Entry, const std::vector<std::uint8_t>& Compressed) {
  return RunLegacy(Compressed, MakeEntry(Entry.Method, Entry.Flags, Compressed.size(),
                                         static_cast<std::int64_t>(Entry.UnpackedSize)));
}

// A damaged stream must not pass as the entry: an error is reported, or the output differs.
void ExpectDamageNoticed(const TFixtureEntry& Entry, const TLegacyRun& Run,
                         const std::string& What) {
  const bool Intact = Run.Output.size() == Entry.UnpackedSize && Crc32Of(Run.Output) == Entry.Crc32;
  EXPECT_TRUE(Run.Failed() || !Intact) << What;
  for (const int Code : Run.Errors()) {
    EXPECT_TRUE(Code == ecBadBlock || Code == ecAmbiguousTree || Code == ecStackOverflow)
        << What << ": code " << Code;
  }
}

class LegacyFixtureTest : public ::testing::TestWithParam<TLegacyFixture> {
 protected:
  void SetUp() override {
    if (FixtureFolder().empty()) {
      GTEST_SKIP()
          << "the shared fixtures folder (../shared/fixtures beside the project) is absent";
    }
  }
};

TEST_P(LegacyFixtureTest, DecodesEveryLegacyEntryToTheManifestBytes) {
  const auto Manifest = ReadManifest(FixtureFolder() / "manifest.json");
  const auto Listed = Manifest.find(GetParam().File);
  ASSERT_NE(Listed, Manifest.end()) << "not in the manifest";
  const std::vector<TFixtureEntry> Entries = LegacyEntries(GetParam().File);
  ASSERT_FALSE(Entries.empty());
  for (const TFixtureEntry& Entry : Entries) {
    SCOPED_TRACE(Entry.Name);
    const auto Expected =
        std::find_if(Listed->second.begin(), Listed->second.end(),
                     [&](const TManifestEntry& M) { return M.Name == Entry.Name; });
    ASSERT_NE(Expected, Listed->second.end());
    ASSERT_EQ(Expected->Method, Entry.Method);
    ASSERT_FALSE(Expected->Sha256.empty());

    const TLegacyRun Run = Decode(Entry, Entry.Compressed);
    EXPECT_TRUE(Run.Errors().empty());
    EXPECT_TRUE(Run.Handled);
    EXPECT_EQ(Run.Output.size(), Expected->Size);
    EXPECT_EQ(Crc32Of(Run.Output), Expected->Crc32);
    EXPECT_EQ(Crc32Of(Run.Output), Entry.Crc32);
    EXPECT_EQ(Sha256Hex(Run.Output), Expected->Sha256);
    EXPECT_EQ(Run.Flushed, static_cast<std::int64_t>(Run.Output.size()));
  }
}

TEST_P(LegacyFixtureTest, TruncatedEntriesFailCleanly) {
  std::vector<TFixtureEntry> Entries = LegacyEntries(GetParam().File);
  if (Entries.size() > 2) Entries.resize(2);
  for (const TFixtureEntry& Entry : Entries) {
    const std::size_t Size = Entry.Compressed.size();
    // Every length of a small entry; for a big one 40 lengths spread over it and the last 8.
    std::vector<std::size_t> Cuts;
    const std::size_t Step = Size <= 700 ? 1 : Size / 40;
    for (std::size_t Cut = 0; Cut + 1 < Size; Cut += Step) Cuts.push_back(Cut);
    for (std::size_t Back = 9; Back >= 2 && Size > 700; --Back) Cuts.push_back(Size - Back);
    for (const std::size_t Cut : Cuts) {
      const std::vector<std::uint8_t> Truncated(
          Entry.Compressed.begin(), Entry.Compressed.begin() + static_cast<std::ptrdiff_t>(Cut));
      const TLegacyRun Run = Decode(Entry, Truncated);
      ExpectDamageNoticed(Entry, Run, Entry.Name + " cut to " + std::to_string(Cut));
      EXPECT_LE(Run.Output.size(), Entry.UnpackedSize + 8192);
    }
  }
}

TEST_P(LegacyFixtureTest, MutatedEntriesNeverCrashOrHang) {
  std::vector<TFixtureEntry> Entries = LegacyEntries(GetParam().File);
  if (Entries.size() > 2) Entries.resize(2);
  std::mt19937 Random(20240611);
  for (const TFixtureEntry& Entry : Entries) {
    if (Entry.Compressed.empty()) continue;
    const int Rounds = Entry.Compressed.size() <= 4096 ? 60 : 20;
    for (int Round = 0; Round < Rounds; ++Round) {
      std::vector<std::uint8_t> Mutated = Entry.Compressed;
      // Damage one to four bytes, mostly near the start where the tables and trees are.
      const int Edits = 1 + static_cast<int>(Random() % 4);
      for (int I = 0; I < Edits; ++I) {
        const std::size_t Span =
            Round % 2 == 0 ? std::min<std::size_t>(Mutated.size(), 300) : Mutated.size();
        Mutated[Random() % Span] ^= static_cast<std::uint8_t>(1 + Random() % 255);
      }
      const TLegacyRun Run = Decode(Entry, Mutated);
      // Mutations can hit bits that no decoder looks at; only the absence of a crash, a hang and
      // of unknown codes is required here.
      for (const int Code : Run.Errors()) {
        EXPECT_TRUE(Code == ecBadBlock || Code == ecAmbiguousTree || Code == ecStackOverflow)
            << Entry.Name << " round " << Round << ": code " << Code;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(RealArchives, LegacyFixtureTest, ::testing::ValuesIn(kFixtures),
                         [](const ::testing::TestParamInfo<TLegacyFixture>& Info) {
                           std::string Name = Info.param.File;
                           std::replace_if(
                               Name.begin(), Name.end(),
                               [](char C) { return !std::isalnum(static_cast<unsigned char>(C)); },
                               '_');
                           return Name;
                         });

}  // namespace
}  // namespace ruvevid::test
