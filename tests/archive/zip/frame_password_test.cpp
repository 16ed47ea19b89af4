// The password flow of an encrypted entry: current password, the Passwords list, OnGetPassword
// with its attempts; and a stored entry of a real `zip -P` archive opened and copied through the
// component.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "support/ChildProgram.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"
#include "support/ZipListing.h"

namespace ruvevid {
namespace {

using test::TEventLog;
using test::TMemoryStream32;
using test::TProbeUnZip;
using Lines = std::vector<std::string>;

constexpr std::uint32_t EntryCrc = 0xA1B2C3D4u;

// An encryption header for "right" whose check byte is the CRC's high byte, followed by a marker.
std::vector<std::uint8_t> EncryptedHeaderStream() {
  std::vector<std::uint8_t> Data = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, EntryCrc >> 24};
  TZipCipher Enc;
  Enc.CipherInit("right");
  Enc.EncipherBuffer(Data.data(), Data.size());
  Data.push_back(0xEE);
  return Data;
}

class PasswordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log.Attach(Arc);
    Arc.ForceArcType(TArcType::atZip);
    Arc.Run().OutputName = "out/e.txt";
    auto& Local = Arc.Zip().Headers.Local;
    PutLE16(Local.data() + 6, 0x0001);  // flags: encrypted, sizes in the header
    PutLE32(Local.data() + 10, 0x5D892F49u);
    PutLE32(Local.data() + 14, EntryCrc);
  }

  // Runs CheckPassword on a fresh copy of the header; checks that exactly 12 bytes were consumed.
  bool Check() {
    TMemoryStream32 In(EncryptedHeaderStream());
    const bool Ok = Arc.CheckPassword(In);
    EXPECT_EQ(In.Position(), 12);
    return Ok;
  }

  void Prompt(std::vector<std::string> Answers, bool TryAgain = true) {
    Arc.OnGetPassword = [this, Answers, TryAgain](TZipCommon*, const std::string& FileName,
                                                  std::string& Password, bool& Again) {
      Log.Lines.push_back("GetPassword " + FileName + " [" + Password + "]");
      Password = Answers.at(Prompts++ % Answers.size());
      Again = TryAgain;
    };
  }

  TProbeUnZip Arc;
  TEventLog Log;
  std::size_t Prompts = 0;
};

TEST_F(PasswordTest, CurrentPasswordFirst) {
  Arc.Run().Password = "right";
  Prompt({"x"});
  EXPECT_TRUE(Check());
  EXPECT_TRUE(Log.Lines.empty());
  // The cipher now stands after the header, as an encipherer that has just enciphered it.
  TZipCipher Enc;
  Enc.CipherInit("right");
  std::vector<std::uint8_t> Header = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, EntryCrc >> 24};
  Enc.EncipherBuffer(Header.data(), Header.size());
  EXPECT_EQ(Arc.Run().Decode.Cipher.Keys(), Enc.Keys());
}

TEST_F(PasswordTest, ListIsTriedInOrder) {
  Arc.Passwords = {"a", "right", "c"};
  EXPECT_TRUE(Check());
  EXPECT_EQ(Arc.Run().Password, "right");
  EXPECT_EQ(Arc.Passwords, (Lines{"a", "right", "c"}));
}

TEST_F(PasswordTest, NoPromptEventReportsTheMissingEvent) {
  Arc.Passwords = {"a", "b"};
  EXPECT_FALSE(Check());
  EXPECT_EQ(Arc.Run().Password, "b");
  EXPECT_EQ(Log.Lines, (Lines{"Error 25270 [out/e.txt] [OnGetPassword] [0]"}));
}

TEST_F(PasswordTest, PromptUntilRight) {
  Prompt({"wrong", "right"});
  EXPECT_TRUE(Check());
  EXPECT_EQ(Log.Lines, (Lines{"GetPassword out/e.txt []", "Error 26517 [out/e.txt] [] [0]",
                              "GetPassword out/e.txt []"}));
  EXPECT_EQ(Arc.Passwords, (Lines{"right"}));
  EXPECT_EQ(Arc.Run().Password, "right");
}

TEST_F(PasswordTest, AllAttemptsWrong) {
  Arc.PasswordAttempts = 3;
  Prompt({"w1", "w2", "w3", "right"});
  EXPECT_FALSE(Check());
  EXPECT_EQ(Prompts, 3u);
  EXPECT_EQ(Log.Lines.size(), 6u);
  EXPECT_EQ(Arc.Run().Password, "");
  EXPECT_TRUE(Arc.Passwords.empty());
}

TEST_F(PasswordTest, ZeroAttemptsAsksNothingAndReportsNothing) {
  for (std::int32_t Attempts : {0, -1}) {
    Arc.PasswordAttempts = Attempts;
    Prompt({"right"});
    EXPECT_FALSE(Check());
    EXPECT_EQ(Prompts, 0u);
    EXPECT_TRUE(Log.Lines.empty());
  }
}

TEST_F(PasswordTest, TryAgainFalseEndsWithOneReport) {
  Prompt({"right"}, false);
  EXPECT_FALSE(Check());
  EXPECT_EQ(Prompts, 1u);
  EXPECT_EQ(Log.Lines, (Lines{"GetPassword out/e.txt []", "Error 26517 [out/e.txt] [] [0]"}));
}

TEST_F(PasswordTest, EnteredPasswordIsReusedForTheNextEntry) {
  Prompt({"right"});
  EXPECT_TRUE(Check());
  EXPECT_EQ(Prompts, 1u);
  EXPECT_TRUE(Check());
  EXPECT_EQ(Prompts, 1u);
  // Also from the list once Password has been cleared (as every run does).
  Arc.Run().Password.clear();
  EXPECT_TRUE(Check());
  EXPECT_EQ(Prompts, 1u);
}

TEST_F(PasswordTest, CancelStopsThePrompts) {
  Arc.OnGetPassword = [this](TZipCommon* Sender, const std::string&, std::string& Password, bool&) {
    ++Prompts;
    Password = "wrong";
    Sender->SetCancel(true);
  };
  EXPECT_FALSE(Check());
  EXPECT_EQ(Prompts, 1u);
  EXPECT_EQ(Log.Lines, (Lines{"Error 25443 [] [out/e.txt] [0]", "Error 25443 [out/e.txt] [] [0]"}));
}

TEST_F(PasswordTest, TimerPausedWhileAsking) {
  std::uint32_t Clock = 100;
  Arc.Timer().SetTickSource([&] { return Clock; });
  Arc.Timer().Start();
  bool Paused = false;
  Arc.OnGetPassword = [&](TZipCommon* Sender, const std::string&, std::string& Password, bool&) {
    Paused = Sender->Timer().Paused();
    Clock += 5000;
    Password = "right";
  };
  EXPECT_TRUE(Check());
  EXPECT_TRUE(Paused);
  Clock += 100;
  Arc.Timer().Stop();
  EXPECT_FLOAT_EQ(Arc.Timer().Elapsed(), 0.1f);
}

TEST_F(PasswordTest, BaseComponentAcceptsNoPassword) {
  TUnBase Base;
  Base.Run().Password = "right";
  TMemoryStream32 In(EncryptedHeaderStream());
  Base.Passwords = {"right"};
  Base.PasswordAttempts = 0;
  Base.OnGetPassword = [](TZipCommon*, const std::string&, std::string&, bool&) {};
  EXPECT_FALSE(Base.CheckPassword(In));
}

// A stored entry encrypted by Info-ZIP zip: password from the list, then the stored copy
// deciphers it and the verdict passes.
TEST(EncryptedStoredEntry, ExtractsThroughTheComponent) {
  if (!test::HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
  test::TempDir Dir;
  std::mt19937 Gen(5);
  std::vector<std::uint8_t> Original(50000);
  for (auto& B : Original) B = static_cast<std::uint8_t>(Gen());
  test::WriteBytes(Dir / "f.bin", Original);
  // The encryption header checks one byte, so a wrong password passes it once in 256 archives
  // (zip salts every one afresh): the archive is made again until "nope" is refused.
  std::vector<std::uint8_t> Zip;
  // The first entry: its local header, and where its encryption header starts.
  struct {
    TLocalHeader Header;
    std::int64_t DataOffset = 0;
  } Entry;
  for (int Attempt = 0;; ++Attempt) {
    ASSERT_LT(Attempt, 20) << "\"nope\" kept passing the check byte";
    std::filesystem::remove(Dir / "e.zip");
    ASSERT_TRUE(test::RunShellIn(Dir.path(), "zip -q -0 -P 'open sesame' e.zip f.bin"));
    Zip = test::ReadByteVector(Dir / "e.zip");
    std::copy_n(Zip.begin(), TLocalHeader::kSize, Entry.Header.Bytes.begin());
    Entry.DataOffset = static_cast<std::int64_t>(test::ReadLocalHeader(Zip, 0).DataOffset);
    TProbeUnZip Wrong;
    Wrong.ForceArcType(TArcType::atZip);
    Wrong.Zip().Headers.Local = Entry.Header;
    Wrong.Passwords = {"nope"};
    Wrong.PasswordAttempts = 0;
    Wrong.OnGetPassword = [](TZipCommon*, const std::string&, std::string&, bool&) {};
    TMemoryStream32 Probe(Zip);
    Probe.SetPosition(Entry.DataOffset);
    if (!Wrong.CheckPassword(Probe)) break;
  }

  TProbeUnZip Arc;
  Arc.ForceArcType(TArcType::atZip);
  Arc.Zip().Headers.Local = Entry.Header;
  Arc.Passwords = {"nope", "open sesame"};
  TMemoryStream32 In(Zip);
  In.SetPosition(Entry.DataOffset);
  ASSERT_TRUE(Arc.CheckPassword(In));
  TZipEntryInfo Info;
  Info.Flags = Entry.Header.Flags();
  Info.UnpackedSize = Entry.Header.UnpackedSize();
  TMemoryStream32 Out;
  Arc.Run().Decode.Crc.Crc32 = kCrc32Start;
  EXPECT_EQ(Arc.CopyStored(In, Out, Info, kCrcKind32), 0);
  Arc.Run().Decode.Crc.Crc32 ^= 0xFFFFFFFFu;
  EXPECT_EQ(Out.Data(), Original);
  EXPECT_TRUE(Arc.CheckCrc(kCrcKind32, Entry.Header.Crc32()));
}

}  // namespace
}  // namespace ruvevid
