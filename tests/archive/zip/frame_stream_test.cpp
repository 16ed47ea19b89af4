// The file streams on real files and devices, read- and write-exactly, and CopyFrom.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "support/FakeApplication.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

using test::FakeApplication;
using test::TempDir;
using test::TMemoryStream32;

std::vector<std::uint8_t> Bytes(std::size_t Count) {
  std::vector<std::uint8_t> Data(Count);
  for (std::size_t i = 0; i < Count; ++i) Data[i] = static_cast<std::uint8_t>(i * 31 + 7);
  return Data;
}

TEST(FileStream32, CreateWriteSeekRead) {
  TempDir Dir;
  const auto Name = (Dir / "f.bin").string();
  const auto Data = Bytes(5000);
  {
    TFileStream32 Out(Name, fmCreate);
    ASSERT_TRUE(Out.IsOpen());
    EXPECT_EQ(Out.OpenError(), 0);
    EXPECT_EQ(Out.Write(Data.data(), 5000), 5000);
    EXPECT_EQ(Out.LastWriteError(), 0);
    EXPECT_EQ(Out.Size(), 5000);
    EXPECT_EQ(Out.Position(), 5000);
    Out.SetSize(3000);
    EXPECT_EQ(Out.Size(), 3000);
    EXPECT_EQ(Out.Seek(-1000, TSeekOrigin::soEnd), 2000);
  }
  TFileStream32 In(Name, fmOpenRead | fmShareDenyWrite);
  ASSERT_TRUE(In.IsOpen());
  EXPECT_EQ(In.Size(), 3000);
  std::vector<std::uint8_t> Back(4000);
  EXPECT_EQ(In.Read(Back.data(), 4000), 3000);
  Back.resize(3000);
  EXPECT_TRUE(std::equal(Back.begin(), Back.end(), Data.begin()));
  EXPECT_EQ(In.Read(Back.data(), 10), 0);
  EXPECT_EQ(In.Seek(100, TSeekOrigin::soBeginning), 100);
  EXPECT_EQ(In.Seek(50, TSeekOrigin::soCurrent), 150);
  // A file opened for reading cannot be written.
  EXPECT_EQ(In.Write(Data.data(), 10), 0);
  EXPECT_NE(In.LastWriteError(), 0);
}

TEST(FileStream32, CreateTruncatesAnExistingFile) {
  TempDir Dir;
  const auto Name = (Dir / "f.bin").string();
  test::WriteBytes(Name, Bytes(100));
  TFileStream32 Out(Name, fmCreate);
  ASSERT_TRUE(Out.IsOpen());
  EXPECT_EQ(Out.Size(), 0);
}

TEST(FileStream32, FailuresLeaveNoHandle) {
  TempDir Dir;
  TFileStream32 Missing((Dir / "missing").string(), fmOpenRead);
  EXPECT_FALSE(Missing.IsOpen());
  EXPECT_EQ(Missing.Handle(), -1);
  EXPECT_EQ(Missing.OpenError(), ENOENT);
  std::vector<std::uint8_t> Buffer(10);
  EXPECT_EQ(Missing.Read(Buffer.data(), 10), 0);
  EXPECT_EQ(Missing.Write(Buffer.data(), 10), 0);

  TFileStream32 Folder(Dir.path().string(), fmOpenRead);
  EXPECT_FALSE(Folder.IsOpen());
  TFileStream32 NoParent((Dir / "no" / "f").string(), fmCreate);
  EXPECT_FALSE(NoParent.IsOpen());
}

TEST(HandleStream32, DoesNotOwnItsHandle) {
  TempDir Dir;
  TFileStream32 File((Dir / "f").string(), fmCreate);
  {
    THandleStream32 View(File.Handle());
    EXPECT_EQ(View.Write("abc", 3), 3);
  }
  EXPECT_EQ(File.Write("def", 3), 3);
  EXPECT_EQ(File.Size(), 6);
}

TEST(FileStream32, DevFullReportsNoSpace) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TFileStream32 Full("/dev/full", fmOpenWrite);
  ASSERT_TRUE(Full.IsOpen());
  const auto Data = Bytes(10);
  EXPECT_EQ(Full.Write(Data.data(), 10), 0);
  EXPECT_EQ(Full.LastWriteError(), ENOSPC);
  EXPECT_THROW(Full.WriteBuffer(Data.data(), 10), EWriteError);
}

TEST(Stream32, ReadBufferRaisesOnShortRead) {
  TMemoryStream32 In(Bytes(10));
  std::vector<std::uint8_t> Buffer(20);
  EXPECT_NO_THROW(In.ReadBuffer(Buffer.data(), 4));
  EXPECT_THROW(In.ReadBuffer(Buffer.data(), 10), EReadError);
  EXPECT_NO_THROW(In.ReadBuffer(Buffer.data(), 0));
}

TEST(Stream32, CopyFromWholeSourceAndPart) {
  TMemoryStream32 Source(Bytes(150000));
  Source.SetPosition(777);
  TMemoryStream32 Dest;
  FakeApplication App;
  Dest.SetApplication(&App);
  EXPECT_EQ(Dest.CopyFrom(Source, 0), 150000);
  EXPECT_EQ(Dest.Data(), Bytes(150000));
  EXPECT_EQ(App.Pumps, 3);  // 61440 + 61440 + 27120

  Source.SetPosition(100);
  TMemoryStream32 Part;
  EXPECT_EQ(Part.CopyFrom(Source, 50), 50);
  EXPECT_TRUE(std::equal(Part.Data().begin(), Part.Data().end(), Bytes(150).begin() + 100));
}

TEST(Stream32, CopyFromStopsWhenCancelled) {
  TMemoryStream32 Source(Bytes(150000));
  TMemoryStream32 Dest;
  FakeApplication App;
  bool Cancel = false;
  Dest.SetApplication(&App);
  Dest.SetCancelFlag(&Cancel);
  App.OnPump = [&](int Pump) { Cancel = Pump == 2; };
  EXPECT_EQ(Dest.CopyFrom(Source, 150000), 150000);
  EXPECT_EQ(Dest.Data().size(), 61440u);
}

TEST(Stream32, CopyFromShortSourceRaises) {
  TMemoryStream32 Source(Bytes(100));
  TMemoryStream32 Dest;
  EXPECT_THROW(Dest.CopyFrom(Source, 200), EReadError);
}

}  // namespace
}  // namespace ruvevid
