// The end-record search on archives built here (including the variants no tool writes), on
// archives made by Info-ZIP zip and 7-Zip at test time, and on the shared fixtures.

#include <gtest/gtest.h>

#include <string>

#include "archive/base/LittleEndian.h"
#include "archive/base/Stream32.h"
#include "archive/base/ZipDirectoryLocator.h"
#include "archive/base/ZipHeaderCipher.h"
#include "archive/base/support/MemoryStream32.h"
#include "archive/base/support/ZipBuilder.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace zt = zipfmt_test;

using enum THeaderType;
using zt::TEndKind;
using zt::TZipSpec;

const THeaderTypeState kNormal = {htLocal, htCentral, htEnding};

struct TLocated {
  std::int64_t Result = 0;
  TZipFormatState State;
};

TLocated Locate(const zt::TBytes& Bytes) {
  test::TMemoryStream32 Stream(Bytes);
  TLocated Out;
  TZipCipher Cipher;
  Out.Result = LocateZipDirectory(Stream, Out.State, Cipher);
  return Out;
}

TLocated LocateFile(const std::filesystem::path& Path) {
  TFileStream32 Stream(Path.string(), fmOpenRead | fmShareDenyWrite);
  EXPECT_TRUE(Stream.IsOpen()) << Path;
  TLocated Out;
  TZipCipher Cipher;
  Out.Result = LocateZipDirectory(Stream, Out.State, Cipher);
  return Out;
}

TZipSpec TwoEntries() {
  TZipSpec Spec;
  Spec.Entries.resize(2);
  Spec.Entries[0].Name = "readme.txt";
  Spec.Entries[0].Data = "hello, world\n";
  Spec.Entries[1].Name = "dir/data.bin";
  Spec.Entries[1].Data = std::string(300, 'x');
  return Spec;
}

TEST(ZipFmtLocate, PlainArchiveWithoutComment) {
  const TZipSpec Spec = TwoEntries();
  const auto Bytes = zt::BuildZip(Spec);
  const TLocated Found = Locate(Bytes);
  EXPECT_EQ(Found.Result, zt::DirectoryOffset(Spec));
  EXPECT_EQ(Found.State.HeaderState, kNormal) << ToString(Found.State.HeaderState);
  EXPECT_EQ(Found.State.OffsetAdjust, 0u);
  EXPECT_EQ(Found.State.CommentStart, static_cast<std::int64_t>(Bytes.size()));
  EXPECT_EQ(Found.State.Headers.Ending.TotalEntries(), 2);
  EXPECT_EQ(Found.State.Headers.Central.NameLength(), 10);  // the first central header
  EXPECT_EQ(Found.State.Headers.Local.Signature(), kLocalSignatureK);
}

class ZipFmtLocateComment : public ::testing::TestWithParam<std::pair<std::size_t, bool>> {};

TEST_P(ZipFmtLocateComment, EndRecordMustStartAfterWindowOffsetZero) {
  TZipSpec Spec = TwoEntries();
  Spec.Comment = std::string(GetParam().first, 'c');
  const TLocated Found = Locate(zt::BuildZip(Spec));
  if (GetParam().second) {
    EXPECT_EQ(Found.Result, zt::DirectoryOffset(Spec));
    EXPECT_EQ(Found.State.HeaderState, kNormal);
  } else {
    EXPECT_EQ(Found.Result, 0);
    EXPECT_TRUE(Found.State.HeaderState.Empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ZipFmtLocateComment,
                         ::testing::Values(std::make_pair(0, true), std::make_pair(1, true),
                                           std::make_pair(32745, true),
                                           std::make_pair(32746, false),
                                           std::make_pair(65535, false)));

TEST(ZipFmtLocate, EmptyArchiveOfTheEndRecordAloneIsNotFound) {
  const auto Bytes = zt::BuildZip(TZipSpec{});
  ASSERT_EQ(Bytes.size(), 22u);
  const TLocated Found = Locate(Bytes);
  EXPECT_EQ(Found.Result, 0);
  EXPECT_TRUE(Found.State.HeaderState.Empty());
}

TEST(ZipFmtLocate, TinyFilesAreNotSearched) {
  EXPECT_EQ(Locate({}).Result, 0);
  EXPECT_EQ(Locate({'P'}).Result, 0);
  EXPECT_EQ(Locate({'P', 'K', 5, 6, 0}).Result, 0);
}

// A second end record inside the comment: the one whose comment length reaches the end of the file
// is the archive's; where none does (bytes after the archive), the one nearest the end.
TEST(ZipFmtLocate, TheEndRecordWhoseCommentReachesTheEndIsTaken) {
  TZipSpec Spec = TwoEntries();
  Spec.Comment = std::string("note PK\x05\x06", 9) + std::string(18, '\0') + "tail";
  auto Bytes = zt::BuildZip(Spec);
  const auto Outer = static_cast<std::int64_t>(Bytes.size() - Spec.Comment.size()) - 22;
  const TLocated Found = Locate(Bytes);
  EXPECT_EQ(Found.State.CommentStart, Outer + 22);
  EXPECT_EQ(Found.Result, zt::DirectoryOffset(Spec));
  EXPECT_EQ(Found.State.HeaderState, (THeaderTypeState{htLocal, htCentral, htEnding}));

  Bytes.push_back('!');  // now no comment length reaches the end
  const std::int64_t Inner = static_cast<std::int64_t>(Bytes.size()) - 1 - 4 - 18 - 4;
  EXPECT_EQ(Locate(Bytes).State.CommentStart, Inner + 22);
}

TEST(ZipFmtLocate, Zip64RecordsInFrontOfTheEndRecord) {
  TZipSpec Spec = TwoEntries();
  Spec.Zip64Records = true;
  const TLocated Found = Locate(zt::BuildZip(Spec));
  EXPECT_EQ(Found.Result, zt::DirectoryOffset(Spec));
  EXPECT_EQ(Found.State.HeaderState,
            (THeaderTypeState{htLocal, htCentral, htEnding, htLocator, htEnding64}));
  EXPECT_EQ(Found.State.Headers.Locator.Signature(), kZip64LocatorSignature);
  EXPECT_EQ(Found.State.Headers.Ending64.CentralDirOffset(),
            static_cast<std::uint64_t>(zt::DirectoryOffset(Spec)));
  // The plain end record is loaded too: its disk numbers give the walk's pass count.
  EXPECT_EQ(Found.State.Headers.Ending.Signature(), kEndSignatureK);
}

TEST(ZipFmtLocate, WideEndRecordGivesA64BitOffsetAndALongerFixedPart) {
  TZipSpec Spec = TwoEntries();
  Spec.End = TEndKind::ekWide;
  Spec.Comment = "wide";
  const auto Bytes = zt::BuildZip(Spec);
  const TLocated Found = Locate(Bytes);
  EXPECT_EQ(Found.Result, zt::DirectoryOffset(Spec));
  EXPECT_EQ(Found.State.HeaderState, kNormal);
  EXPECT_EQ(Found.State.CommentStart, static_cast<std::int64_t>(Bytes.size()) - 4);
  EXPECT_EQ(Found.State.Headers.Ending.Signature(), kWideEndSignature);
  EXPECT_EQ(Found.State.Headers.Ending.CentralDirSize(), 0u);  // nothing stale is kept
}

class ZipFmtLocateVariants : public ::testing::TestWithParam<std::pair<char, TEndKind>> {};

TEST_P(ZipFmtLocateVariants, ReadLikeThePlainArchive) {
  const TZipSpec Plain = TwoEntries();
  TZipSpec Variant = Plain;
  Variant.Marker = GetParam().first;
  Variant.End = GetParam().second;
  const TLocated A = Locate(zt::BuildZip(Plain));
  const TLocated B = Locate(zt::BuildZip(Variant));
  EXPECT_EQ(B.Result, A.Result);
  EXPECT_EQ(B.State.HeaderState, A.State.HeaderState) << ToString(B.State.HeaderState);
  EXPECT_EQ(B.State.OffsetAdjust, A.State.OffsetAdjust);
  // Deciphered central header: all but the marker byte equal the plain one.
  auto Central = B.State.Headers.Central.Bytes;
  Central[1] = 'K';
  EXPECT_EQ(Central, A.State.Headers.Central.Bytes);
  EXPECT_EQ(B.State.Headers.Ending.CentralDirOffset(), A.State.Headers.Ending.CentralDirOffset());
}

INSTANTIATE_TEST_SUITE_P(Markers, ZipFmtLocateVariants,
                         ::testing::Values(std::make_pair('L', TEndKind::ekEnciphered),
                                           std::make_pair('M', TEndKind::ekPlain),
                                           std::make_pair('N', TEndKind::ekEnciphered),
                                           std::make_pair('L', TEndKind::ekPlain),
                                           std::make_pair('K', TEndKind::ekEnciphered)));

TEST(ZipFmtLocate, EncipheredArchiveListsTheSameNames) {
  TZipSpec Spec = TwoEntries();
  Spec.Marker = 'L';
  Spec.End = TEndKind::ekEnciphered;
  const auto Bytes = zt::BuildZip(Spec);
  test::TMemoryStream32 Stream(Bytes);
  TZipFormatState State;
  TZipCipher Cipher;
  const std::int64_t Directory = LocateZipDirectory(Stream, State, Cipher);
  // The search deciphered the first central header; its name continues the same key stream.
  TZipCipher NameCipher;
  TCentralHeader Header;
  ASSERT_EQ(Stream.Seek(Directory, TSeekOrigin::soBeginning), Directory);
  Stream.ReadBuffer(Header.data(), 46);
  DecodeZipHeader(Header, NameCipher);
  EXPECT_EQ(Header.Bytes, State.Headers.Central.Bytes);
  std::string Name(Header.NameLength(), '\0');
  Stream.ReadBuffer(Name.data(), static_cast<std::int32_t>(Name.size()));
  DecodeZipName(reinterpret_cast<std::uint8_t*>(Name.data()), Name.size(), NameCipher);
  EXPECT_EQ(Name, "readme.txt");
}

TEST(ZipFmtLocate, StubWithAdjustedOffsets) {
  TZipSpec Spec = TwoEntries();
  Spec.Prefix = "MZ" + std::string(998, '\x90');
  const TLocated Found = Locate(zt::BuildZip(Spec));
  EXPECT_EQ(Found.Result, zt::DirectoryOffset(Spec));
  EXPECT_EQ(Found.State.OffsetAdjust, 0u);
  EXPECT_EQ(Found.State.HeaderState, kNormal);
}

TEST(ZipFmtLocate, StubWithoutAdjustmentSetsOffsetAdjust) {
  TZipSpec Spec = TwoEntries();
  Spec.Prefix = "MZ" + std::string(998, '\x90');
  Spec.AdjustOffsets = false;
  const TLocated Found = Locate(zt::BuildZip(Spec));
  EXPECT_EQ(Found.Result, zt::DirectoryOffset(Spec));
  EXPECT_EQ(Found.State.OffsetAdjust, 1000u);
  // The first local header is found at its stored offset plus the adjustment.
  EXPECT_EQ(Found.State.HeaderState, kNormal) << ToString(Found.State.HeaderState);
}

TEST(ZipFmtLocate, Zip64WithAnUnadjustedStubIsFoundFromWhereItsRecordsStand) {
  TZipSpec Spec = TwoEntries();
  Spec.Prefix = std::string(500, 'z');
  Spec.AdjustOffsets = false;
  Spec.Zip64Records = true;
  auto Bytes = zt::BuildZip(Spec);
  // The plain end record defers its size and offset to the zip64 record.
  PutLE32(Bytes.data() + Bytes.size() - 22 + 12, 0xFFFFFFFFu);
  PutLE32(Bytes.data() + Bytes.size() - 22 + 16, 0xFFFFFFFFu);
  // The locator's offset is 500 bytes short; the zip64 end record stands right in front of it.
  const TLocated Found = Locate(Bytes);
  EXPECT_EQ(Found.Result, zt::DirectoryOffset(Spec));
  EXPECT_EQ(Found.State.HeaderState,
            (THeaderTypeState{htLocal, htCentral, htEnding, htLocator, htEnding64}));
  EXPECT_EQ(Found.State.OffsetAdjust, 500u);
}

TEST(ZipFmtLocate, WrongDirectoryFallsBackToTheLocalHeaderScan) {
  TZipSpec Spec = TwoEntries();
  Spec.Prefix = "some text in front\n";
  auto Bytes = zt::BuildZip(Spec);
  // Break the directory size in the end record: neither candidate meets a central header.
  PutLE32(Bytes.data() + Bytes.size() - 22 + 12, 150);
  const TLocated Found = Locate(Bytes);
  EXPECT_EQ(Found.Result, static_cast<std::int64_t>(Spec.Prefix.size()));
  EXPECT_EQ(Found.State.HeaderState, (THeaderTypeState{htLocal}));
}

TEST(ZipFmtLocate, NoDirectoryAndNoLocalHeaderGivesMinusOne) {
  zt::TBytes Bytes(5000, 'q');
  const std::string End("PK\x05\x06", 4);
  Bytes.insert(Bytes.end(), End.begin(), End.end());
  Bytes.resize(Bytes.size() + 18, 0);
  PutLE32(Bytes.data() + Bytes.size() - 22 + 12, 100);  // a directory of 100 bytes of 'q'
  const TLocated Found = Locate(Bytes);
  EXPECT_EQ(Found.Result, -1);
  EXPECT_EQ(Found.State.HeaderState, (THeaderTypeState{htEnding}));
}

TEST(ZipFmtLocate, DirectoryBeforeTheFileStartIsAShortRead) {
  zt::TBytes Bytes(100, 'q');
  const std::string End("PK\x05\x06", 4);
  Bytes.insert(Bytes.end(), End.begin(), End.end());
  Bytes.resize(Bytes.size() + 18, 0);
  PutLE32(Bytes.data() + Bytes.size() - 22 + 12, 5000);
  const TLocated Found = Locate(Bytes);
  EXPECT_EQ(Found.Result, 0);
  EXPECT_EQ(Found.State.HeaderState, (THeaderTypeState{htEnding}));
}

// ---- Archives made by the real tools ----

class ZipFmtLocateTools : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveProgram("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    test::WriteBytes(FDir / "in" / "a.txt", "alpha\n");
    test::WriteBytes(FDir / "in" / "sub" / "b.txt", std::string(5000, 'b'));
  }
  test::TempDir FDir;
};

TEST_F(ZipFmtLocateTools, InfoZipPlainAndWithComment) {
  ASSERT_TRUE(test::RunShellIn(FDir.path() / "in", "zip -q -r ../plain.zip ."));
  TLocated Found = LocateFile(FDir / "plain.zip");
  EXPECT_GT(Found.Result, 0);
  EXPECT_EQ(Found.State.HeaderState, kNormal) << ToString(Found.State.HeaderState);
  EXPECT_EQ(Found.Result, Found.State.Headers.Ending.CentralDirOffset());

  // Exact comment lengths: Python's zipfile writes the comment as given.
  const std::string SetComment =
      "python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1], 'a'); "
      "z.comment = b'c' * int(sys.argv[2]); z.close()\" ";
  ASSERT_TRUE(
      test::RunShellIn(FDir.path(), "cp plain.zip c1.zip && " + SetComment + "c1.zip 32745"));
  Found = LocateFile(FDir / "c1.zip");
  EXPECT_EQ(Found.State.HeaderState, kNormal);
  EXPECT_EQ(Found.State.CommentStart,
            static_cast<std::int64_t>(std::filesystem::file_size(FDir / "c1.zip") - 32745));

  ASSERT_TRUE(
      test::RunShellIn(FDir.path(), "cp plain.zip c2.zip && " + SetComment + "c2.zip 32746"));
  Found = LocateFile(FDir / "c2.zip");
  EXPECT_EQ(Found.Result, 0);
  EXPECT_TRUE(Found.State.HeaderState.Empty());
}

TEST_F(ZipFmtLocateTools, InfoZipForcedZip64) {
  ASSERT_TRUE(test::RunShellIn(FDir.path() / "in", "zip -q -fz -r ../z64.zip ."));
  const TLocated Found = LocateFile(FDir / "z64.zip");
  EXPECT_TRUE(Found.State.HeaderState.Contains(htLocator));
  EXPECT_TRUE(Found.State.HeaderState.Contains(htEnding64));
  EXPECT_TRUE(Found.State.HeaderState.Contains(htCentral));
  EXPECT_TRUE(Found.State.HeaderState.Contains(htLocal));
  EXPECT_EQ(static_cast<std::uint64_t>(Found.Result),
            Found.State.Headers.Ending64.CentralDirOffset());
}

TEST_F(ZipFmtLocateTools, SelfExtractorStubAdjustedAndNot) {
  ASSERT_TRUE(test::RunShellIn(FDir.path() / "in", "zip -q -r ../plain.zip ."));
  test::WriteBytes(FDir / "stub", "MZ" + std::string(4094, 's'));
  ASSERT_TRUE(test::RunShellIn(FDir.path(), "cat stub plain.zip > raw.exe && cp raw.exe adj.exe"));
  ASSERT_TRUE(test::RunShellIn(FDir.path(), "zip -q -A adj.exe"));
  TLocated Found = LocateFile(FDir / "raw.exe");
  EXPECT_EQ(Found.State.OffsetAdjust, 4096u);
  EXPECT_EQ(Found.State.HeaderState, kNormal);
  Found = LocateFile(FDir / "adj.exe");
  EXPECT_EQ(Found.State.OffsetAdjust, 0u);
  EXPECT_EQ(Found.State.HeaderState, kNormal);
}

TEST_F(ZipFmtLocateTools, SevenZip) {
  if (!test::HaveProgram("7zz")) GTEST_SKIP() << "7-Zip (7zz) is not installed";
  ASSERT_TRUE(test::RunShellIn(FDir.path() / "in", "7zz a -tzip ../seven.zip . -bso0 -bsp0"));
  const TLocated Found = LocateFile(FDir / "seven.zip");
  EXPECT_EQ(Found.State.HeaderState, kNormal) << ToString(Found.State.HeaderState);
  EXPECT_EQ(Found.Result, Found.State.Headers.Ending.CentralDirOffset());
}

// ---- Shared fixtures ----

struct TFixtureCase {
  const char* File;
  THeaderTypeState State;
  std::uint32_t OffsetAdjust;
  bool DirectoryFound;  // the result is the directory's offset (else a local header's, or <= 0)
};

class ZipFmtLocateFixtures : public ::testing::TestWithParam<TFixtureCase> {};

TEST_P(ZipFmtLocateFixtures, FindsWhatTheArchiveHolds) {
  const TFixtureCase& Case = GetParam();
  const auto Path = zt::Fixture(Case.File);
  if (Path.empty()) GTEST_SKIP() << "the shared fixtures folder is absent";
  const TLocated Found = LocateFile(Path);
  EXPECT_EQ(Found.State.HeaderState, Case.State) << ToString(Found.State.HeaderState);
  EXPECT_EQ(Found.State.OffsetAdjust, Case.OffsetAdjust);
  if (Case.DirectoryFound) {
    EXPECT_EQ(Found.Result,
              static_cast<std::int64_t>(Found.State.Headers.Ending.CentralDirOffset() +
                                        Found.State.OffsetAdjust));
  }
}

const THeaderTypeState kZip64 = {htLocal, htCentral, htEnding, htLocator, htEnding64};

INSTANTIATE_TEST_SUITE_P(
    Archives, ZipFmtLocateFixtures,
    ::testing::Values(
        TFixtureCase{"gen-a-infozip-stored.zip", kNormal, 0, true},
        TFixtureCase{"cc-archive_with_trailer.zip", kNormal, 0, true},
        TFixtureCase{"Zip.LongComment.zip", kNormal, 0, true},
        // zip -z made the comment 32999 bytes long (line ends became CR LF): out of reach.
        TFixtureCase{"gen-a-infozip-comment-32745.zip", {}, 0, false},
        TFixtureCase{"gen-a-mzstub-unadjusted.exe", kNormal, 6144, true},
        TFixtureCase{"libarchive-zip_sfx.exe", kNormal, 1024, true},
        TFixtureCase{"go-test-prefix.zip", kNormal, 43, true},
        TFixtureCase{"gen-a-unzipsfx-adjusted.exe", kNormal, 0, true},
        TFixtureCase{"Zip.zip64.zip", kZip64, 0, false},
        TFixtureCase{"gen-a-corrupt-cd-offset-wrong.zip", {htLocal}, 0, false},
        TFixtureCase{"gen-a-corrupt-truncated-half.zip", {}, 0, false},
        TFixtureCase{"gen-a-corrupt-local-sig.zip", kNormal, 0, true}),
    [](const auto& Info) {
      std::string Name = Info.param.File;
      for (char& C : Name)
        if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
      return Name;
    });

}  // namespace
}  // namespace ruvevid
