// Signed updates: with a public key built in, only an archive that carries its signature by that
// key is installed. Every tampered or unsigned case is refused with the program folder untouched.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "app/ExtractionHandoff.h"
#include "app/FailureTexts.h"
#include "app/FakeUpdaterView.h"
#include "app/SettingsWriter.h"
#include "app/Updater.h"
#include "support/FakeApplication.h"
#include "support/FileSet.h"
#include "support/ScriptedHttpServer.h"
#include "support/Signing.h"
#include "support/TestPaths.h"

namespace ruvevid {
namespace {

namespace fs = std::filesystem;
using test::Reply;
using test::TFileSet;

// What a case's server holds, made from the archive and its signatures.
struct TPublished {
  std::string Archive;
  std::string Signature;          // by the built-in key
  std::string OtherKeySignature;  // of the same archive by another key
  std::string OtherArchiveSignature;
};

struct SignatureCase {
  std::string Name;
  // The archive served (the published one, or changed).
  std::function<std::string(const TPublished&)> Archive;
  // The reply to the signature's request; none: the server has no such file (404).
  std::function<std::optional<Reply>(const TPublished&)> Signature;
  std::string Text;
  bool Installed = false;
};

void PrintTo(const SignatureCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

Reply Serve(const std::string& Bytes) {
  return {{test::FullResponse(200, Bytes), {}}};
}

class SignedUpdateTest : public testing::TestWithParam<SignatureCase> {
 protected:
  static void SetUpTestSuite() {
    Keys = std::make_unique<test::TempDir>();
    Key = test::MakeSigningKey(Keys->path(), "publisher");
    OtherKey = test::MakeSigningKey(Keys->path(), "stranger");
  }
  static void TearDownTestSuite() { Keys.reset(); }

  static inline std::unique_ptr<test::TempDir> Keys;
  static inline test::TSigningKey Key;
  static inline test::TSigningKey OtherKey;
};

TEST_P(SignedUpdateTest, OnlyTheSignedArchiveIsInstalled) {
  const test::TempDir Work;
  const fs::path Program = Work.path() / "program";
  const TFileSet Old = {{"Ruvevid.exe", "old"}, {"readme.txt", "1.0"}};
  const TFileSet New = {{"Ruvevid.exe", "#!/bin/sh\n"}, {"readme.txt", "2.0"}, {"a/b.dat", "data"}};
  test::WriteFileSet(Program, Old);
  const fs::path Archive = Work.path() / "Roduvov0.zip";
  const fs::path Another = Work.path() / "another.zip";
  test::MakeStoredZip(New, {"Ruvevid.exe"}, test::TZipMaker::zmInfoZip, Archive);
  test::MakeStoredZip({{"readme.txt", "something else"}}, {}, test::TZipMaker::zmInfoZip, Another);
  const TPublished Published{test::ReadBytes(Archive), test::SignFile(Archive, Key),
                             test::SignFile(Archive, OtherKey), test::SignFile(Another, Key)};

  test::ScriptedHttpServer Server;
  Server.On("/Roduvov0.zip",
            Serve(GetParam().Archive ? GetParam().Archive(Published) : Published.Archive));
  if (const std::optional<Reply> Signature = GetParam().Signature(Published))
    Server.On("/Roduvov0.zip.sig", *Signature);

  TUpdaterServices Services;
  Services.UrlText = Server.Url("/Roduvov0.zip");
  Services.UpdatePublicKey = Key.PublicKeyPem;
  const std::string Folder = Program.string() + "/";
  Services.ProgramFolder = [Folder] { return Folder; };
  Services.WriteSetting = [Folder](const std::string& File, const std::string& Section,
                                   const std::string& Name, const std::string& Value) {
    return WriteSettingIn(Folder, File, Section, Name, Value);
  };
  Services.LaunchProgram = [](const std::string&) { return true; };
  test::FakeUpdaterView View;
  test::FakeApplication App;
  TfrmUpdater Updater(View, App, Services);
  Updater.FormCreate();
  Updater.FormResize();

  EXPECT_EQ(View.LabDown, GetParam().Text);
  EXPECT_EQ(test::ReadFileSet(Program, {"Daz.dat"}), GetParam().Installed ? New : Old);
  EXPECT_EQ(Updater.ExitCode(), GetParam().Installed ? 0 : 1);
  // The signature comes first, and nothing else of a failed one's archive is fetched.
  const std::vector<std::string> Requests = Server.Requests();
  ASSERT_FALSE(Requests.empty());
  EXPECT_EQ(Requests[0].rfind("GET /Roduvov0.zip.sig ", 0), 0u) << Requests[0];
}

SignatureCase Refused(std::string Name, std::function<std::optional<Reply>(const TPublished&)> Sig,
                      std::string Text = kTextBadSignature) {
  return {std::move(Name), {}, std::move(Sig), std::move(Text), false};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignedUpdateTest,
    testing::Values(
        SignatureCase{
            "Signed",
            {},
            [](const TPublished& P) -> std::optional<Reply> { return Serve(P.Signature); },
            std::string("Roduvov0.zip") + kTextDownloaded,
            true},
        SignatureCase{
            "TamperedArchive",
            [](const TPublished& P) {
              std::string Bytes = P.Archive;
              Bytes[Bytes.find("2.0")] = '3';
              return Bytes;
            },
            [](const TPublished& P) -> std::optional<Reply> { return Serve(P.Signature); },
            kTextBadSignature, false},
        Refused("AnotherKeysSignature",
                [](const TPublished& P) -> std::optional<Reply> {
                  return Serve(P.OtherKeySignature);
                }),
        Refused("SignatureOfAnotherArchive",
                [](const TPublished& P) -> std::optional<Reply> {
                  return Serve(P.OtherArchiveSignature);
                }),
        Refused("TruncatedSignature",
                [](const TPublished& P) -> std::optional<Reply> {
                  return Serve(P.Signature.substr(0, P.Signature.size() - 5));
                }),
        Refused("MalformedSignature",
                [](const TPublished&) -> std::optional<Reply> { return Serve("not a signature"); }),
        Refused("OversizedSignature",
                [](const TPublished& P) -> std::optional<Reply> {
                  return Serve(P.Signature + std::string(2000, '\0'));
                }),
        Refused("MissingSignature", [](const TPublished&) { return std::optional<Reply>(); }),
        Refused(
            "SignatureServerFails",
            [](const TPublished&) -> std::optional<Reply> {
              return Reply{{test::FullResponse(503, "busy", "text/html"), {}}};
            },
            std::string(kTextHttpStatus) + " (HTTP 503)")),
    [](const auto& Info) { return Info.param.Name; });

}  // namespace
}  // namespace ruvevid
