// InflateEntry on entries of archives made by real zip tools: plain, encrypted, deflate64,
// truncated, empty, with a failing output and with a cancelled run.

#include <gtest/gtest.h>

#include "archive/base/ArcErrors.h"
#include "archive/base/Stream32.h"
#include "archive/base/ZipCommon.h"
#include "archive/codec/InflateTestSupport.h"
#include "archive/zip/InflateEntry.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"
#include "support/ZipListing.h"

namespace ruvevid::test {
namespace {

// The component with its detection results settable, as the walks leave them.
class TEntryUnZip : public TZipCommon {
 public:
  using TZipCommon::TZipCommon;
  void ForceArcType(TArcType Type) { FArcType = Type; }
};

// An output that accepts nothing.
class TRefusingStream : public TStream32 {
 public:
  void SetSize(std::int64_t) override {}
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void*, std::int32_t) override {
    ++Writes;
    return 0;
  }
  std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }
  int Writes = 0;
};

// An output that keeps what it is given.
class TMemoryStream : public TStream32 {
 public:
  void SetSize(std::int64_t) override {}
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void* Buffer, std::int32_t Count) override {
    const auto* Bytes = static_cast<const std::uint8_t*>(Buffer);
    Data.insert(Data.end(), Bytes, Bytes + Count);
    return Count;
  }
  std::int64_t Seek(std::int64_t, TSeekOrigin) override {
    return static_cast<std::int64_t>(Data.size());
  }
  TBytes Data;
};

// One entry of an archive made at test time, and the component set up for it as the entry driver
// leaves it before the method dispatch.
struct TEntryFixture {
  TempDir Dir;
  TBytes Data;
  TBytes Zip;
  TZipListEntry Entry;
  std::filesystem::path ZipPath;
  TEntryUnZip Arc;
  std::vector<int> Errors;
  int ProgressReports = 0;

  // Command makes out.zip from data.bin in Dir.
  bool Make(TBytes Plain, const std::string& Command) {
    Data = std::move(Plain);
    WriteBytes(Dir / "data.bin", Data);
    WriteBytes(Dir / "tail.txt", TBytes(300, 'T'));
    if (!RunShellIn(Dir.path(), Command)) return false;
    ZipPath = Dir / "out.zip";
    Zip = ReadByteVector(ZipPath);
    for (const TZipListEntry& Found : ListZipEntries(Zip)) {
      if (Found.Name == "data.bin") Entry = Found;
    }
    return Entry.Name == "data.bin";
  }

  // Header buffers, run state and budget of the entry; Local selects the local-header walk.
  void Prepare(bool Local) {
    Arc.SetArchiveFile(ZipPath.string());
    TZipFormatState& State = Arc.ZipState();
    const std::size_t LocalAt = Entry.LocalOffset;
    std::copy_n(Zip.begin() + static_cast<std::ptrdiff_t>(LocalAt), 30,
                State.Headers.Local.Bytes.begin());
    State.Headers.Central.Bytes.fill(0);
    State.Headers.Central.SetUnpackedSize(Entry.UnpackedSize);
    State.Headers.Central.SetPackedSize(Entry.PackedSize);
    State.Headers.Central.Bytes[8] = static_cast<std::uint8_t>(Entry.Flags);
    State.HeaderState = Local ? THeaderTypeState{THeaderType::htLocal}
                              : THeaderTypeState{THeaderType::htLocal, THeaderType::htCentral};
    State.HighWords = {};
    TRunState& RunState = Arc.Run();
    RunState.OutputName = "data.bin";
    RunState.Decode.EntryInfo = {static_cast<std::uint16_t>(Entry.Flags), Entry.Method,
                                 Entry.PackedSize, Entry.UnpackedSize};
    RunState.TotalUnpackedSize = Entry.UnpackedSize;
    RunState.BytesRemaining = Entry.UnpackedSize;
    RunState.Decode.OutputBytesExpected = Entry.UnpackedSize;
    RunState.Decode.PackedBytesLeft = Entry.PackedSize;
    RunState.Decode.Crc.Crc32 = kCrc32Start;
    Arc.OnError = [this](TZipCommon*, const std::string&, const std::string&, const std::string&,
                         int Code) { Errors.push_back(Code); };
    Arc.ProgressHandler = [this](std::uint8_t, std::uint8_t) { ++ProgressReports; };
  }

  TInflateVariant Variant() const {
    return Entry.Method == 9 ? TInflateVariant::ivDeflate64 : TInflateVariant::ivDeflate;
  }
  std::uint32_t Crc() { return Arc.Run().Decode.Crc.Crc32 ^ 0xFFFFFFFFu; }
};

std::unique_ptr<TStream32> OpenAt(const std::filesystem::path& Path, std::uint64_t Offset) {
  auto Stream = std::make_unique<TFileStream32>(Path.string(), fmOpenRead);
  Stream->Seek(static_cast<std::int64_t>(Offset), TSeekOrigin::soBeginning);
  return Stream;
}

struct TToolCase {
  const char* Name;
  const char* Command;
  bool Local;
};

class InflateEntryToolTest : public ::testing::TestWithParam<TToolCase> {};

// The entry decodes through the block writer (CRC and progress included), and the archive stream
// is left right after the entry's compressed data, ahead of the next local header.
TEST_P(InflateEntryToolTest, DecodesTheEntryAndStopsAfterIt) {
  TEntryFixture Fixture;
  if (!Fixture.Make(MakeData(TDataKind::dkMixed, 300'000, 17), GetParam().Command)) {
    GTEST_SKIP() << "cannot run: " << GetParam().Command;
  }
  Fixture.Prepare(GetParam().Local);
  auto Archive = OpenAt(Fixture.ZipPath, Fixture.Entry.DataOffset);
  TMemoryStream Output;
  InflateEntry(Fixture.Arc, Archive, Output, -15, Fixture.Variant());
  EXPECT_TRUE(Output.Data == Fixture.Data);
  EXPECT_EQ(Fixture.Crc(), Fixture.Entry.Crc32);
  EXPECT_EQ(Archive->Position(),
            static_cast<std::int64_t>(Fixture.Entry.DataOffset + Fixture.Entry.PackedSize));
  EXPECT_EQ(Fixture.Arc.Run().BytesRemaining, 0);
  EXPECT_EQ(Fixture.Arc.Run().Decode.OutputBytesExpected, 0);
  EXPECT_EQ(Fixture.ProgressReports, static_cast<int>((Fixture.Data.size() + 32767) / 32768));
  EXPECT_TRUE(Fixture.Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tools, InflateEntryToolTest,
    ::testing::Values(TToolCase{"InfoZipLocal", "zip -q -9 out.zip data.bin tail.txt", true},
                      TToolCase{"InfoZipCentral", "zip -q -1 out.zip data.bin tail.txt", false},
                      TToolCase{"SevenZipDeflate64",
                                "7zz a -tzip -mm=Deflate64 out.zip data.bin tail.txt", false},
                      TToolCase{"SevenZipDeflate",
                                "7zz a -tzip -mm=Deflate -mx=9 out.zip data.bin tail.txt", true}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// An encrypted entry: the stream stands after the 12-byte encryption header with the cipher keyed;
// refills are deciphered, and what they read past the entry goes back unread.
TEST(InflateEntryTest, EncryptedEntryDecodes) {
  TEntryFixture Fixture;
  if (!Fixture.Make(MakeData(TDataKind::dkText, 150'000, 5),
                    "zip -q -P secret out.zip data.bin tail.txt")) {
    GTEST_SKIP() << "zip is not installed";
  }
  ASSERT_EQ(Fixture.Entry.Flags & 1, 1u);
  Fixture.Prepare(false);
  auto Archive = OpenAt(Fixture.ZipPath, Fixture.Entry.DataOffset);
  std::uint8_t Header[12];
  Archive->ReadBuffer(Header, 12);
  Fixture.Arc.Run().Decode.Cipher.CipherInit("secret");
  Fixture.Arc.Run().Decode.Cipher.DecipherBuffer(Header, 12);
  TMemoryStream Output;
  InflateEntry(Fixture.Arc, Archive, Output, -15, TInflateVariant::ivDeflate);
  EXPECT_TRUE(Output.Data == Fixture.Data);
  EXPECT_EQ(Fixture.Crc(), Fixture.Entry.Crc32);
  EXPECT_EQ(Archive->Position(),
            static_cast<std::int64_t>(Fixture.Entry.DataOffset + Fixture.Entry.PackedSize));
}

TEST(InflateEntryTest, EmptyEntryReadsAndWritesNothing) {
  TEntryFixture Fixture;
  if (!Fixture.Make({}, "zip -q out.zip data.bin tail.txt")) GTEST_SKIP() << "zip is not installed";
  Fixture.Prepare(true);
  auto Archive = OpenAt(Fixture.ZipPath, Fixture.Entry.DataOffset);
  TMemoryStream Output;
  InflateEntry(Fixture.Arc, Archive, Output, -15, TInflateVariant::ivDeflate);
  EXPECT_TRUE(Output.Data.empty());
  EXPECT_EQ(Archive->Position(), static_cast<std::int64_t>(Fixture.Entry.DataOffset));
  EXPECT_EQ(Fixture.ProgressReports, 0);
}

// Data cut short: the loop ends with the output short, the rest of the entry given up in the
// progress count, and nothing raised; the CRC verdict then fails.
TEST(InflateEntryTest, TruncatedDataEndsTheEntryShort) {
  TEntryFixture Fixture;
  if (!Fixture.Make(MakeData(TDataKind::dkMixed, 200'000, 2), "zip -q -6 out.zip data.bin")) {
    GTEST_SKIP() << "zip is not installed";
  }
  Fixture.Prepare(true);
  const TBytes Cut(Fixture.Zip.begin(),
                   Fixture.Zip.begin() + static_cast<std::ptrdiff_t>(Fixture.Entry.DataOffset +
                                                                     Fixture.Entry.PackedSize / 2));
  WriteBytes(Fixture.Dir / "cut.zip", Cut);
  auto Archive = OpenAt(Fixture.Dir / "cut.zip", Fixture.Entry.DataOffset);
  TMemoryStream Output;
  EXPECT_NO_THROW(InflateEntry(Fixture.Arc, Archive, Output, -15, TInflateVariant::ivDeflate));
  EXPECT_LT(Output.Data.size(), Fixture.Data.size());
  EXPECT_TRUE(std::equal(Output.Data.begin(), Output.Data.end(), Fixture.Data.begin()));
  EXPECT_NE(Fixture.Crc(), Fixture.Entry.Crc32);
  EXPECT_EQ(Fixture.Arc.Run().BytesRemaining, 0);
  EXPECT_EQ(Fixture.Arc.Run().Decode.PackedBytesLeft, 0);
}

// Data that ends before the expected size: only the bytes decoded reach the output.
TEST(InflateEntryTest, DataShorterThanTheHeaderSaysWritesOnlyWhatCame) {
  TEntryFixture Fixture;
  if (!Fixture.Make(MakeData(TDataKind::dkText, 50'000, 2), "zip -q out.zip data.bin")) {
    GTEST_SKIP() << "zip is not installed";
  }
  Fixture.Prepare(true);
  Fixture.Arc.ZipState().Headers.Local.SetUnpackedSize(Fixture.Entry.UnpackedSize + 40'000);
  auto Archive = OpenAt(Fixture.ZipPath, Fixture.Entry.DataOffset);
  TMemoryStream Output;
  InflateEntry(Fixture.Arc, Archive, Output, -15, TInflateVariant::ivDeflate);
  EXPECT_TRUE(Output.Data == Fixture.Data);
  EXPECT_EQ(Archive->Position(),
            static_cast<std::int64_t>(Fixture.Entry.DataOffset + Fixture.Entry.PackedSize));
}

// A chunk the block writer cannot write is reported (25136) and ends the entry.
TEST(InflateEntryTest, AnUnwrittenChunkEndsTheEntry) {
  TEntryFixture Fixture;
  if (!Fixture.Make(MakeData(TDataKind::dkText, 100'000, 3), "zip -q out.zip data.bin")) {
    GTEST_SKIP() << "zip is not installed";
  }
  Fixture.Prepare(true);
  auto Archive = OpenAt(Fixture.ZipPath, Fixture.Entry.DataOffset);
  TRefusingStream Output;
  EXPECT_THROW(InflateEntry(Fixture.Arc, Archive, Output, -15, TInflateVariant::ivDeflate),
               E_RAISE);
  EXPECT_EQ(Output.Writes, 1) << "the first chunk not written ends the entry";
  EXPECT_EQ(std::count(Fixture.Errors.begin(), Fixture.Errors.end(), ecWriteError), 2)
      << "the writer's short-write report and the loop's";
}

TEST(InflateEntryTest, CancelledRunDecodesNothing) {
  TEntryFixture Fixture;
  if (!Fixture.Make(MakeData(TDataKind::dkText, 100'000, 3), "zip -q out.zip data.bin")) {
    GTEST_SKIP() << "zip is not installed";
  }
  Fixture.Prepare(true);
  bool Cancelled = true;
  Fixture.Arc.SetCancelFlag(&Cancelled);
  auto Archive = OpenAt(Fixture.ZipPath, Fixture.Entry.DataOffset);
  TMemoryStream Output;
  InflateEntry(Fixture.Arc, Archive, Output, -15, TInflateVariant::ivDeflate);
  EXPECT_TRUE(Output.Data.empty());
  Fixture.Arc.SetCancelFlag(nullptr);
}

// In a split set the data goes on in the next part: the loop brings it up through the hook and
// carries on from its start.
TEST(InflateEntryTest, SplitDataContinuesOnTheNextVolume) {
  TEntryFixture Fixture;
  if (!Fixture.Make(MakeData(TDataKind::dkMixed, 200'000, 12), "zip -q -6 out.zip data.bin")) {
    GTEST_SKIP() << "zip is not installed";
  }
  Fixture.Prepare(true);
  Fixture.Arc.ForceArcType(TArcType::atZipMV);
  const std::size_t Split = Fixture.Entry.DataOffset + Fixture.Entry.PackedSize / 3;
  WriteBytes(Fixture.Dir / "part1.bin",
             TBytes(Fixture.Zip.begin(), Fixture.Zip.begin() + static_cast<std::ptrdiff_t>(Split)));
  WriteBytes(Fixture.Dir / "part2.bin",
             TBytes(Fixture.Zip.begin() + static_cast<std::ptrdiff_t>(Split), Fixture.Zip.end()));
  auto Archive = OpenAt(Fixture.Dir / "part1.bin", Fixture.Entry.DataOffset);
  int Volumes = 0;
  TMemoryStream Output;
  InflateEntry(Fixture.Arc, Archive, Output, -15, TInflateVariant::ivDeflate,
               [&](std::unique_ptr<TStream32>& Stream) {
                 ++Volumes;
                 Stream = std::make_unique<TFileStream32>((Fixture.Dir / "part2.bin").string(),
                                                          fmOpenRead);
                 return true;
               });
  EXPECT_EQ(Volumes, 1);
  EXPECT_TRUE(Output.Data == Fixture.Data);
  EXPECT_EQ(Fixture.Crc(), Fixture.Entry.Crc32);
  EXPECT_EQ(Archive->Position(),
            static_cast<std::int64_t>(Fixture.Entry.DataOffset + Fixture.Entry.PackedSize - Split));
}

// A part that cannot be brought up ends the entry. The loop cancels nothing itself: the part
// switch has cancelled the run when the user did, and a part refused as damage ends only the entry.
TEST(InflateEntryTest, MissingNextVolumeEndsTheEntry) {
  TEntryFixture Fixture;
  if (!Fixture.Make(MakeData(TDataKind::dkMixed, 100'000, 12), "zip -q -6 out.zip data.bin")) {
    GTEST_SKIP() << "zip is not installed";
  }
  Fixture.Prepare(true);
  Fixture.Arc.ForceArcType(TArcType::atZipMV);
  const std::size_t Split = Fixture.Entry.DataOffset + Fixture.Entry.PackedSize / 2;
  WriteBytes(Fixture.Dir / "part1.bin",
             TBytes(Fixture.Zip.begin(), Fixture.Zip.begin() + static_cast<std::ptrdiff_t>(Split)));
  auto Archive = OpenAt(Fixture.Dir / "part1.bin", Fixture.Entry.DataOffset);
  TMemoryStream Output;
  InflateEntry(Fixture.Arc, Archive, Output, -15, TInflateVariant::ivDeflate);
  EXPECT_FALSE(Fixture.Arc.GetCancel());
  EXPECT_LT(Output.Data.size(), Fixture.Data.size());
}

}  // namespace
}  // namespace ruvevid::test
