// Archive type detection on files built here and made by real tools: both branches, the stub,
// signature, UUE and TAR probes, split sets through a fake drive query, and the archive date.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "archive/base/ArcErrors.h"
#include "archive/base/ArcTypeDetector.h"
#include "archive/base/DosDateTime.h"
#include "archive/base/LittleEndian.h"
#include "archive/base/Stream32.h"
#include "archive/base/support/MemoryStream32.h"
#include "archive/base/support/ZipBuilder.h"
#include "platform/DriveQuery.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace zt = zipfmt_test;
using enum TArcType;
using enum THeaderType;

class TFakeDriveQuery : public IDriveQuery {
 public:
  std::optional<TDriveFacts> QueryDrive(const std::string& Path) override {
    LastPath = Path;
    ++Calls;
    return Facts;
  }
  std::optional<TDriveFacts> Facts = TDriveFacts{"/", "/dev/sda1", "ext4", TDriveType::dtFixed, ""};
  std::string LastPath;
  int Calls = 0;
};

struct TDetected {
  TArcType Type = atNA;
  TZipFormatState Zip;
  std::int64_t Size = 0;
  std::uint32_t Date = 0;
};

TDetected Detect(const zt::TBytes& Bytes, const std::string& Name = "archive.zip",
                 IDriveQuery* Drives = nullptr, TStringResourceReader Resources = nullptr) {
  test::TMemoryStream32 Stream(Bytes);
  TFakeDriveQuery Fixed;
  TDetected Out;
  TArcTypeDetector Detector(Stream, Name, Out.Zip, Drives != nullptr ? Drives : &Fixed);
  Detector.StringResources = std::move(Resources);
  Out.Type = Detector.Detect();
  Out.Size = Detector.ArchiveSize();
  Out.Date = Detector.ArchiveDate();
  return Out;
}

zt::TZipSpec OneStored() {
  zt::TZipSpec Spec;
  Spec.Entries.resize(1);
  Spec.Entries[0].Name = "a.txt";
  Spec.Entries[0].Data = "stored data\n";
  return Spec;
}

// An executable stub: "MZ", the DOS image size fields (image of ImageBytes), filler.
std::string Stub(std::size_t Size, std::uint32_t ImageBytes, char Filler = '\x90') {
  std::string Out(Size, Filler);
  Out[0] = 'M';
  Out[1] = 'Z';
  const std::uint32_t Pages = (ImageBytes + 511) / 512;
  const std::uint32_t Last = ImageBytes - (Pages - 1) * 512;  // the last page may be full
  PutLE16(reinterpret_cast<std::uint8_t*>(Out.data()) + 2, static_cast<std::uint16_t>(Last));
  PutLE16(reinterpret_cast<std::uint8_t*>(Out.data()) + 4, static_cast<std::uint16_t>(Pages));
  return Out;
}

void Put(zt::TBytes& Bytes, std::size_t At, const std::string& Text) {
  if (Bytes.size() < At + Text.size()) Bytes.resize(At + Text.size(), 0);
  std::memcpy(Bytes.data() + At, Text.data(), Text.size());
}

TEST(DetectArcType, ZipOfOneStoredEntry) {
  const zt::TZipSpec Spec = OneStored();
  const TDetected Found = Detect(zt::BuildZip(Spec));
  EXPECT_EQ(Found.Type, atZip);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, zt::DirectoryOffset(Spec));
  EXPECT_EQ(Found.Zip.HeaderState, (THeaderTypeState{htLocal, htCentral, htEnding}));
  EXPECT_EQ(Found.Date, kDefaultDosDateTime);  // a memory stream has no creation time
}

TEST(DetectArcType, JarByItsExtensionInAnyCase) {
  EXPECT_EQ(Detect(zt::BuildZip(OneStored()), "x.JAR").Type, atJar);
  EXPECT_EQ(Detect(zt::BuildZip(OneStored()), "dir.jar/x.zip").Type, atZip);
}

TEST(DetectArcType, ZeroPaddedZipIsFoundBehindItsZeros) {
  zt::TZipSpec Spec = OneStored();
  Spec.Prefix = std::string(100, '\0');
  const TDetected Found = Detect(zt::BuildZip(Spec));
  EXPECT_EQ(Found.Type, atZip);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, zt::DirectoryOffset(Spec));
}

TEST(DetectArcType, ZeroPaddedZipWithoutEndRecordStartsAtItsFirstLocalHeader) {
  zt::TZipSpec Spec = OneStored();
  Spec.Prefix = std::string(100, '\0');
  auto Bytes = zt::BuildZip(Spec);
  Bytes.resize(static_cast<std::size_t>(zt::DirectoryOffset(Spec)));  // no directory, no end record
  const TDetected Found = Detect(Bytes);
  EXPECT_EQ(Found.Type, atZip);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 100);
  EXPECT_EQ(Found.Zip.HeaderState, (THeaderTypeState{htLocal}));
}

TEST(DetectArcType, Pkg5IsUnknownAndNothingElseIsExamined) {
  zt::TBytes Bytes = zt::ToBytes("PKG5");
  const auto Zip = zt::BuildZip(OneStored());
  Bytes.insert(Bytes.end(), Zip.begin(), Zip.end());
  const TDetected Found = Detect(Bytes);
  EXPECT_EQ(Found.Type, atUnknown);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, -1);
  EXPECT_TRUE(Found.Zip.HeaderState.Empty());
}

TEST(DetectArcType, PkG4FallsThroughToTheEndRecordSearch) {
  for (const char* Head : {"PKG4", "PKCI"}) {
    zt::TZipSpec Spec = OneStored();
    Spec.Prefix = Head;
    const TDetected Found = Detect(zt::BuildZip(Spec));
    EXPECT_EQ(Found.Type, atZip) << Head;
    EXPECT_EQ(Found.Zip.FirstHeaderOffset, zt::DirectoryOffset(Spec)) << Head;
  }
}

TEST(DetectArcType, TwentyBytesOfLettersAreNothing) {
  const TDetected Found = Detect(zt::TBytes(20, 'A'));
  EXPECT_EQ(Found.Type, atNA);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 0);
  EXPECT_EQ(Found.Size, 20);
}

TEST(DetectArcType, NineteenBytesAreNotRead) {
  const TDetected Found = Detect(zt::ToBytes(std::string("PK\x03\x04", 4) + std::string(15, 'x')));
  EXPECT_EQ(Found.Type, atNA);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, -1);
}

TEST(DetectArcType, LhaBehindZeroPadding) {
  zt::TBytes Bytes(400, 0);
  Put(Bytes, 128, std::string("\x20\x00-lh5-", 7));
  Put(Bytes, 200, "data");
  const TDetected Found = Detect(Bytes);
  EXPECT_EQ(Found.Type, atLha);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 128);
}

TEST(DetectArcType, AceMarkAtOffsetSeven) {
  zt::TBytes Bytes(64, 'q');
  Put(Bytes, 7, "**ACE**");
  EXPECT_EQ(Detect(Bytes).Type, atAce);
}

TEST(DetectArcType, UueProbe) {
  EXPECT_EQ(Detect(zt::ToBytes("begin 644 file.bin\nM86)C9&5F\n`\nend\n")).Type, atUUE);
  EXPECT_EQ(Detect(zt::ToBytes("some text first\nbegin 755 x\nM86)C9&5F\n")).Type, atUUE);
  EXPECT_EQ(Detect(zt::ToBytes("a header\nbegin\nnot yet\nM86)C9&5F and more\n")).Type, atUUE);
  EXPECT_EQ(Detect(zt::ToBytes("xbegin 644 file.bin\nM86)C9&5F\nend\n")).Type, atNA);
  EXPECT_EQ(Detect(zt::ToBytes("Mary had a little lamb\nbegin at the end")).Type, atNA);
}

class DetectTools : public ::testing::Test {
 protected:
  TDetected DetectFile(const std::string& Name, IDriveQuery* Drives = nullptr) {
    const std::string Path = (FDir / Name).string();
    TFileStream32 Stream(Path, fmOpenRead | fmShareDenyWrite);
    EXPECT_TRUE(Stream.IsOpen()) << Path;
    TFakeDriveQuery Fixed;
    TDetected Out;
    TArcTypeDetector Detector(Stream, Path, Out.Zip, Drives != nullptr ? Drives : &Fixed);
    Out.Type = Detector.Detect();
    Out.Date = Detector.ArchiveDate();
    return Out;
  }
  test::TempDir FDir;
};

TEST_F(DetectTools, TarWithAndWithoutVolumeLabel) {
  if (!test::HaveProgram("tar")) GTEST_SKIP() << "tar is not installed";
  test::WriteBytes(FDir / "in" / "f.txt", std::string(3000, 't'));
  ASSERT_TRUE(test::RunShellIn(FDir.path(), "tar --format=gnu -cf plain.tar -C in f.txt"));
  ASSERT_TRUE(test::RunShellIn(FDir.path(), "tar --format=gnu -V LABEL -cf label.tar -C in f.txt"));
  TDetected Found = DetectFile("plain.tar");
  EXPECT_EQ(Found.Type, atTar);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 0);
  Found = DetectFile("label.tar");
  EXPECT_EQ(Found.Type, atTar);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 512);
}

TEST_F(DetectTools, GzipFile) {
  if (!test::HaveProgram("gzip")) GTEST_SKIP() << "gzip is not installed";
  test::WriteBytes(FDir / "f.txt", std::string(3000, 'g'));
  ASSERT_TRUE(test::RunShellIn(FDir.path(), "gzip -k f.txt"));
  EXPECT_EQ(DetectFile("f.txt.gz").Type, atGZip);
}

TEST_F(DetectTools, ArchiveDateIsTheFilesOwnInLocalDosForm) {
  test::WriteBytes(FDir / "a.zip", zt::BuildZip(OneStored()));
  const std::time_t Before = std::time(nullptr);
  const TDetected Found = DetectFile("a.zip");
  EXPECT_EQ(Found.Type, atZip);
  const auto Expected = TimeToDosDateTime(Before);
  ASSERT_TRUE(Expected.has_value());
  // Same day; the clock part may differ by the seconds the test took.
  EXPECT_EQ(Found.Date >> 16, *Expected >> 16);
  EXPECT_NE(Found.Date, kDefaultDosDateTime);
}

TEST(DetectArcType, TarProbeRejectsAWrongChecksum) {
  zt::TBytes Header(1024, 0);
  Put(Header, 0, "file.txt");
  Put(Header, 148, "0001234");  // not the sum
  const TDetected Found = Detect(Header);
  EXPECT_EQ(Found.Type, atNA);
}

// ---- Split sets ----

class DetectSplit : public ::testing::TestWithParam<std::tuple<TDriveType, std::string, TArcType>> {
};

TEST_P(DetectSplit, DriveAndLabelTellSpannedFromSplit) {
  const auto& [Type, Label, Expected] = GetParam();
  TFakeDriveQuery Drives;
  Drives.Facts = TDriveFacts{"/media/disk", "/dev/sdb1", "vfat", Type, Label};
  zt::TBytes Bytes = zt::ToBytes(std::string("PK\x07\x08", 4));
  const auto Zip = zt::BuildZip(OneStored());
  Bytes.insert(Bytes.end(), Zip.begin(), Zip.end());
  const TDetected Found = Detect(Bytes, "/media/disk/set.zip", &Drives);
  EXPECT_EQ(Found.Type, Expected);
  EXPECT_EQ(Drives.LastPath, "/media/disk/set.zip");
  EXPECT_FALSE(Found.Zip.HeaderState.Empty());
}

INSTANTIATE_TEST_SUITE_P(
    Drives, DetectSplit,
    ::testing::Values(std::make_tuple(TDriveType::dtFixed, std::string(), atZipMV),
                      std::make_tuple(TDriveType::dtFixed, std::string("PKBACK# 001"), atZipMV),
                      std::make_tuple(TDriveType::dtRemovable, std::string("PKBACK# 001"), atZipDS),
                      std::make_tuple(TDriveType::dtRemovable, std::string("pkback# 2"), atZipDS),
                      std::make_tuple(TDriveType::dtRemovable, std::string("PKBACK#"), atZipDS),
                      std::make_tuple(TDriveType::dtRemovable, std::string("BACKUP 1"), atZipMV),
                      std::make_tuple(TDriveType::dtRemote, std::string("PKBACK# 001"), atZipMV)));

// A drive that cannot be told (a chroot, a container) is a fixed disk: the set is a split set.
TEST(DetectSplitZip, ADriveThatCannotBeToldHoldsASplitSet) {
  TFakeDriveQuery Drives;
  Drives.Facts.reset();
  zt::TBytes Bytes = zt::ToBytes(std::string("PK\x07\x08", 4));
  const auto Zip = zt::BuildZip(OneStored());
  Bytes.insert(Bytes.end(), Zip.begin(), Zip.end());
  EXPECT_EQ(Detect(Bytes, "set.zip", &Drives).Type, atZipMV);
}

TEST(DetectSplitZip, PlainArchiveOfALaterDiskIsASplitPart) {
  zt::TZipSpec Spec = OneStored();
  Spec.Prefix = "PKG4";  // not classified by its head: the end record decides
  auto Bytes = zt::BuildZip(Spec);
  PutLE16(Bytes.data() + Bytes.size() - 22 + 4, 2);  // number of this disk
  PutLE16(Bytes.data() + Bytes.size() - 22 + 6, 2);
  EXPECT_EQ(Detect(Bytes).Type, atZipMV);
}

// ---- Executables ----

TEST(DetectExecutable, ZipBehindTheDosImageFoundByTheEndRecordSearch) {
  zt::TZipSpec Spec = OneStored();
  Spec.Prefix = Stub(3000, 2000);
  const TDetected Found = Detect(zt::BuildZip(Spec), "setup.exe");
  EXPECT_EQ(Found.Type, atZipExe);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, zt::DirectoryOffset(Spec));
}

TEST(DetectExecutable, UnadjustedZipBehindTheStub) {
  zt::TZipSpec Spec = OneStored();
  Spec.Prefix = Stub(3000, 2000);
  Spec.AdjustOffsets = false;
  const TDetected Found = Detect(zt::BuildZip(Spec), "setup.exe");
  EXPECT_EQ(Found.Type, atZipExe);
  EXPECT_EQ(Found.Zip.OffsetAdjust, 3000u);
  EXPECT_TRUE(Found.Zip.HeaderState.Contains(htLocal));
}

TEST(DetectExecutable, RarRightAfterTheDosImage) {
  zt::TBytes Bytes = zt::ToBytes(Stub(2048, 2048));
  Put(Bytes, 2048, "Rar!\x1A\x07");
  Bytes.resize(5000, 'r');
  const TDetected Found = Detect(Bytes, "setup.exe");
  EXPECT_EQ(Found.Type, atRarExe);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 2048);
}

TEST(DetectExecutable, ArjAfterTheDosImageIsTakenTwoBytesOn) {
  zt::TBytes Bytes = zt::ToBytes(Stub(1024, 1024));
  Put(Bytes, 1024, std::string("\x01\x02\x60\xEA\x60\xEA\x10", 7));
  Bytes.resize(3000, 'a');
  const TDetected Found = Detect(Bytes, "setup.exe");
  EXPECT_EQ(Found.Type, atArjExe);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 1026);
}

TEST(DetectExecutable, StubProbesAtFixedOffsets) {
  zt::TBytes Arc = zt::ToBytes(Stub(7000, 100));
  Put(Arc, 6674, "\x1A\x08");
  TDetected Found = Detect(Arc, "a.exe");
  EXPECT_EQ(Found.Type, atArcExe);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 6674);

  zt::TBytes Pak = zt::ToBytes(Stub(14000, 100));
  Put(Pak, 13138, "\x1A\x0B");
  Found = Detect(Pak, "a.exe");
  EXPECT_EQ(Found.Type, atPakExe);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 13138);

  zt::TBytes Lha = zt::ToBytes(Stub(4000, 100));
  Put(Lha, 1947, "-lh5-");
  Found = Detect(Lha, "a.exe");
  EXPECT_EQ(Found.Type, atLhaExe);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 1945);
}

TEST(DetectExecutable, ZipStubAt7612IsListed) {
  zt::TZipSpec Spec = OneStored();
  Spec.Prefix = Stub(7612, 100);
  const TDetected Found = Detect(zt::BuildZip(Spec), "a.exe");
  EXPECT_EQ(Found.Type, atZipExe);
  // The stub's archive is read from its directory when the end-record search finds it.
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, zt::DirectoryOffset(Spec));
  EXPECT_TRUE(Found.Zip.HeaderState.Contains(htCentral));
}

TEST(DetectExecutable, ZipStubAt25661WithoutDirectoryIsWalkedFromItsLocalHeader) {
  zt::TZipSpec Spec = OneStored();
  Spec.Prefix = Stub(25661, 100);
  auto Bytes = zt::BuildZip(Spec);
  Bytes.resize(static_cast<std::size_t>(zt::DirectoryOffset(Spec)));
  const TDetected Found = Detect(Bytes, "a.exe");
  EXPECT_EQ(Found.Type, atZipExe);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 25661);
  EXPECT_EQ(Found.Zip.HeaderState, (THeaderTypeState{htLocal}));
}

TEST(DetectExecutable, ResourceProbeFindsTheArchiveOffset) {
  zt::TZipSpec Spec = OneStored();
  Spec.Prefix = Stub(900, 900);
  auto Bytes = zt::BuildZip(Spec);
  int Asked = 0;
  const TDetected Found = Detect(Bytes, "a.exe", nullptr, [&Asked](int Id) {
    ++Asked;
    return Id == 1 ? std::string("99999") : Id == 2 ? std::string("900") : std::string();
  });
  EXPECT_EQ(Asked, 1);  // 99999 is beyond the file: the loop ends at the first string
  EXPECT_EQ(Found.Type, atZipExe);

  Asked = 0;
  const TDetected Direct = Detect(Bytes, "a.exe", nullptr, [&Asked](int Id) {
    ++Asked;
    return Id == 1 ? std::string("12") : Id == 2 ? std::string("900") : std::string();
  });
  EXPECT_EQ(Asked, 2);
  EXPECT_EQ(Direct.Type, atZipExe);
  EXPECT_EQ(Direct.Zip.FirstHeaderOffset, zt::DirectoryOffset(Spec));
}

TEST(DetectExecutable, SignatureScanFindsArchivesPastTheStub) {
  struct TCase {
    std::string Mark;
    TArcType Type;
    std::int64_t Back;  // how far before the mark the archive starts
  };
  for (const TCase& Case :
       {TCase{"Rar!", atRarExe, 0}, TCase{"**ACE**", atAceExe, 7}, TCase{"x-lh5-", atLhaExe, 1},
        TCase{std::string("BH\x05\x07\x01\x02\x03\x04", 8), atBhExe, 0},
        TCase{std::string("MSCF\0\0\0\0", 8), atCabExe, 0}}) {
    zt::TBytes Bytes = zt::ToBytes(Stub(60000, 100, 'q'));
    Put(Bytes, 30000, Case.Mark);
    const TDetected Found = Detect(Bytes, "a.exe");
    EXPECT_EQ(Found.Type, Case.Type) << Case.Mark;
    EXPECT_EQ(Found.Zip.FirstHeaderOffset, 30000 - Case.Back) << Case.Mark;
  }
}

TEST(DetectExecutable, SignatureStraddlingTwoScanBlocksIsFound) {
  zt::TBytes Bytes = zt::ToBytes(Stub(60000, 100, 'q'));
  const std::size_t Boundary = 17000 + 32768;
  Put(Bytes, Boundary - 2, "Rar!");
  const TDetected Found = Detect(Bytes, "a.exe");
  EXPECT_EQ(Found.Type, atRarExe);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, static_cast<std::int64_t>(Boundary - 2));
}

TEST(DetectExecutable, ExcludedFollowUpBytesKeepTheScanGoing) {
  zt::TBytes Bytes = zt::ToBytes(Stub(60000, 100, 'q'));
  Put(Bytes, 20000, std::string("BH\x05\x07\x0F\x94\xC3\x84", 8));  // an operand in stub code
  Put(Bytes, 40000, "Rar!");
  const TDetected Found = Detect(Bytes, "a.exe");
  EXPECT_EQ(Found.Type, atRarExe);
  EXPECT_EQ(Found.Zip.FirstHeaderOffset, 40000);
}

TEST(DetectExecutable, NothingFoundLeavesNothing) {
  const TDetected Found = Detect(zt::ToBytes(Stub(5000, 5000, 'q')), "a.exe");
  EXPECT_EQ(Found.Type, atNA);
}

// ---- Volume naming ----

struct TNamingCase {
  TArcType Type;
  std::string Name;
  std::int32_t Number;
  char Letter;
};

class DetectVolumeNaming : public ::testing::TestWithParam<TNamingCase> {};

TEST_P(DetectVolumeNaming, NumbersFromTheExtension) {
  const TNamingCase& Case = GetParam();
  std::int32_t Number = 77;
  char Letter = '?';
  ComputeVolumeNaming(Case.Type, Case.Name, Number, Letter);
  EXPECT_EQ(Number, Case.Number) << Case.Name;
  EXPECT_EQ(Letter, Case.Letter) << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DetectVolumeNaming,
    ::testing::Values(TNamingCase{atZip, "a.zip", 0, '?'}, TNamingCase{atZipMV, "a.z01", 0, '?'},
                      TNamingCase{atRar, "a.rar", 0, 'q'}, TNamingCase{atRar, "a.r01", 2, 'r'},
                      TNamingCase{atRarExe, "a.r99", 100, 'r'}, TNamingCase{atArj, "a.arj", 1, 'a'},
                      TNamingCase{atArj, "a.a02", 3, 'a'}, TNamingCase{atAce, "a.c05", 6, 'c'},
                      TNamingCase{atJar, "a.jar", 0, 'j'}, TNamingCase{atRar, "noext", 0, 'q'}));

TEST(DetectVolumeNamingErrors, DigitFollowedByANonDigitIsAConversionError) {
  std::int32_t Number = 0;
  char Letter = 0;
  EXPECT_THROW(ComputeVolumeNaming(atRar, "x.r0a", Number, Letter), EConvertError);
  EXPECT_NO_THROW(ComputeVolumeNaming(atZip, "x.r0a", Number, Letter));
}

// A stream over the bytes of a zip archive that raises an error of the engine's own kind from the
// chosen call, after Quiet calls of it went through.
class TFailingStream32 : public test::TMemoryStream32 {
 public:
  enum class TCall { cRead, cSeek };
  TFailingStream32(std::vector<std::uint8_t> Data, TCall Call, int Quiet)
      : TMemoryStream32(std::move(Data)), FCall(Call), FQuiet(Quiet) {}
  std::int32_t Read(void* Buffer, std::int32_t Count) override {
    if (FCall == TCall::cRead && FQuiet-- <= 0) throw EReadError();
    return TMemoryStream32::Read(Buffer, Count);
  }
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
    if (FCall == TCall::cSeek && FQuiet-- <= 0) throw EOSError("Input/output error", EIO);
    return TMemoryStream32::Seek(Offset, Origin);
  }

 private:
  TCall FCall;
  int FQuiet;
};

struct TUnreadableCase {
  const char* Name;
  TFailingStream32::TCall Call;
  int Quiet;
  const char* Error;
};

class DetectUnreadable : public ::testing::TestWithParam<TUnreadableCase> {};

// Whenever the stream fails, the archive is of no type that could be told, and the error says why.
TEST_P(DetectUnreadable, IsUnknownWithTheErrorMet) {
  const TUnreadableCase& Case = GetParam();
  TFailingStream32 Stream(zt::BuildZip(OneStored()), Case.Call, Case.Quiet);
  TZipFormatState Zip;
  TFakeDriveQuery Drives;
  TArcTypeDetector Detector(Stream, "archive.zip", Zip, &Drives);
  EXPECT_EQ(Detector.Detect(), atUnknown);
  EXPECT_EQ(Detector.LastError(), Case.Error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DetectUnreadable,
    ::testing::Values(
        TUnreadableCase{"FirstRead", TFailingStream32::TCall::cRead, 0, "Stream read error"},
        // The head was read; the end-record search is not.
        TUnreadableCase{"LaterRead", TFailingStream32::TCall::cRead, 2, "Stream read error"},
        TUnreadableCase{"SizeQuery", TFailingStream32::TCall::cSeek, 0, "Input/output error"},
        TUnreadableCase{"LaterSeek", TFailingStream32::TCall::cSeek, 4, "Input/output error"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// A real file the OS refuses to read: open for writing only, it has bytes and none can be read.
TEST(DetectUnreadableFile, WriteOnlyHandleIsUnknownWithTheReadError) {
  test::TempDir Dir;
  test::WriteBytes(Dir / "a.zip", zt::BuildZip(OneStored()));
  const int Handle = ::open((Dir / "a.zip").c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(Handle, 0);
  THandleStream32 Stream(Handle);
  TZipFormatState Zip;
  TFakeDriveQuery Drives;
  TArcTypeDetector Detector(Stream, (Dir / "a.zip").string(), Zip, &Drives);
  EXPECT_EQ(Detector.Detect(), atUnknown);
  EXPECT_EQ(Detector.LastError(), kUnreadableArchive);
  EXPECT_GT(Detector.ArchiveSize(), 0);
  ::close(Handle);

  // The same file read normally has a type and no error.
  TFileStream32 Readable((Dir / "a.zip").string(), fmOpenRead);
  TArcTypeDetector Again(Readable, (Dir / "a.zip").string(), Zip, &Drives);
  EXPECT_EQ(Again.Detect(), atZip);
  EXPECT_EQ(Again.LastError(), "");
}

}  // namespace
}  // namespace ruvevid
