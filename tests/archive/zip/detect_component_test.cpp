// Writing ArchiveFile and ArcType on the extraction component: detection of real files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/base/ArcTypeDetector.h"
#include "archive/base/DosDateTime.h"
#include "archive/base/Stream32.h"
#include "archive/base/support/ZipBuilder.h"
#include "archive/zip/UnZip.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace zt = zipfmt_test;
using enum TArcType;
using enum THeaderType;

zt::TBytes SmallZip() {
  zt::TZipSpec Spec;
  Spec.Entries.resize(1);
  Spec.Entries[0].Name = "a.txt";
  Spec.Entries[0].Data = "data";
  return zt::BuildZip(Spec);
}

TEST(DetectComponent, MissingFileClearsTheName) {
  TUnZip UnZip;
  test::TempDir Dir;
  UnZip.SetArchiveFile((Dir / "nothing.zip").string());
  EXPECT_EQ(UnZip.GetArchiveFile(), "");
  EXPECT_EQ(UnZip.ArcType(), atNA);
  // Something that is there but no regular file keeps its name, so that Activate can say why.
  UnZip.SetArchiveFile(Dir.path().string());
  EXPECT_EQ(UnZip.GetArchiveFile(), Dir.path().string());
  EXPECT_EQ(UnZip.ArcType(), atNA);
}

TEST(DetectComponent, ZipFileIsDetectedAndDated) {
  test::TempDir Dir;
  test::WriteBytes(Dir / "a.zip", SmallZip());
  TUnZip UnZip;
  UnZip.SetArchiveFile((Dir / "a.zip").string());
  EXPECT_EQ(UnZip.GetArchiveFile(), (Dir / "a.zip").string());
  EXPECT_EQ(UnZip.ArcType(), atZip);
  EXPECT_GT(UnZip.FirstHeaderOffset(), 0);
  EXPECT_EQ(UnZip.ZipState().HeaderState, (THeaderTypeState{htLocal, htCentral, htEnding}));
  EXPECT_EQ(UnZip.ArchiveSize(), static_cast<std::int64_t>(SmallZip().size()));
  EXPECT_NE(UnZip.ArchiveDate(), kDefaultDosDateTime);
  EXPECT_EQ(UnZip.VolumeNumber(), 0);
}

TEST(DetectComponent, WritingArcTypeRepeatsDetectionAndRaisesWhenTheFileIsGone) {
  test::TempDir Dir;
  test::WriteBytes(Dir / "a.zip", SmallZip());
  TUnZip UnZip;
  UnZip.SetArchiveFile((Dir / "a.zip").string());
  test::WriteBytes(Dir / "a.zip", zt::ToBytes("Rar!" + std::string(100, 'r')));
  UnZip.SetArcType(atZoo);  // the value written is not used
  EXPECT_EQ(UnZip.ArcType(), atRar);
  std::filesystem::remove(Dir / "a.zip");
  EXPECT_THROW(UnZip.SetArcType(atZip), EFOpenError);
  EXPECT_EQ(UnZip.ArcType(), atNA);
}

TEST(DetectComponent, VolumeNamingConversionErrorReachesTheCaller) {
  test::TempDir Dir;
  test::WriteBytes(Dir / "x.r0a", zt::ToBytes("Rar!" + std::string(100, 'r')));
  TUnZip UnZip;
  EXPECT_THROW(UnZip.SetArchiveFile((Dir / "x.r0a").string()), EConvertError);
  test::WriteBytes(Dir / "x.r07", zt::ToBytes("Rar!" + std::string(100, 'r')));
  UnZip.SetArchiveFile((Dir / "x.r07").string());
  EXPECT_EQ(UnZip.VolumeNumber(), 8);
  EXPECT_EQ(UnZip.VolumeLetter(), 'r');
}

struct TFixtureType {
  const char* File;
  TArcType Type;
};

class DetectFixtures : public ::testing::TestWithParam<TFixtureType> {};

TEST_P(DetectFixtures, Type) {
  const auto Path = zt::Fixture(GetParam().File);
  if (Path.empty()) GTEST_SKIP() << "the shared fixtures folder is absent";
  TUnZip UnZip;
  UnZip.SetArchiveFile(Path.string());
  EXPECT_EQ(UnZip.ArcType(), GetParam().Type) << GetParam().File;
  EXPECT_GE(UnZip.FirstHeaderOffset(), 0);
}

INSTANTIATE_TEST_SUITE_P(Archives, DetectFixtures,
                         ::testing::Values(TFixtureType{"gen-a-infozip-stored.zip", atZip},
                                           TFixtureType{"Zip.zip64.zip", atZip},
                                           TFixtureType{"gen-a-mzstub-unadjusted.exe", atZipExe},
                                           TFixtureType{"libarchive-zip_sfx.exe", atZip},
                                           TFixtureType{"gen-a-unzipsfx-adjusted.exe", atZip},
                                           TFixtureType{"go-test-prefix.zip", atZip},
                                           TFixtureType{"cc477-split-by-zip.zip", atZipMV},
                                           TFixtureType{"gen-a-infozip-split.zip", atZipMV},
                                           TFixtureType{"gen-a-corrupt-truncated-half.zip", atZip},
                                           TFixtureType{"cc-archive_with_trailer.zip", atZip}),
                         [](const auto& Info) {
                           std::string Name = Info.param.File;
                           for (char& C : Name)
                             if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
                           return Name;
                         });

}  // namespace
}  // namespace ruvevid
