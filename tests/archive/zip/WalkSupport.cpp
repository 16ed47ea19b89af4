#include "WalkSupport.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

#include "archive/codec/ZipCipher.h"
#include "platform/FileRangeCopy.h"

namespace ruvevid::walk_test {

std::vector<std::string> ListTree(const fs::path& Folder) {
  std::vector<std::string> Names;
  for (const auto& Item : fs::recursive_directory_iterator(Folder)) {
    std::string Name = fs::relative(Item.path(), Folder).generic_string();
    if (Item.is_directory()) Name += "/";
    Names.push_back(Name);
  }
  std::sort(Names.begin(), Names.end());
  return Names;
}

namespace {

// Whether Password passes the check byte of an encrypted entry of the archive, found through its
// central directory.
bool PassesSomeCheckByte(const std::string& Zip, const std::string& Password) {
  for (const test::TZipListEntry& Entry : test::ListZipEntries(Zip)) {
    if ((Entry.Flags & 1) == 0) continue;
    std::array<std::uint8_t, 24> Work{};
    std::copy_n(Zip.begin() + static_cast<std::ptrdiff_t>(Entry.DataOffset), 12, Work.begin() + 12);
    TZipCipher Cipher;
    if (Cipher.CheckEncryptionHeader(Work.data(), Entry.Flags, Entry.Crc32, Entry.DosDateTime,
                                     Password)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool MakeEncryptedArchive(const fs::path& Folder, const std::string& Command,
                          const fs::path& Archive, const std::vector<std::string>& Wrong) {
  for (int Attempt = 0; Attempt < 20; ++Attempt) {
    std::error_code Ignored;
    fs::remove(Archive, Ignored);
    if (!RunShellIn(Folder, Command)) return false;
    const std::string Zip = ReadBytes(Archive);
    if (std::none_of(Wrong.begin(), Wrong.end(), [&](const std::string& Password) {
          return PassesSomeCheckByte(Zip, Password);
        })) {
      return true;
    }
  }
  return false;
}

bool SystemCopiesIn(const fs::path& Folder) {
  WriteBytes(Folder / "probe.in", "x");
  int Error = 0;
  TFileHandle In = OpenFile((Folder / "probe.in").string(), TOpenFor::ofRead, Error);
  TFileHandle Out = OpenFile((Folder / "probe.out").string(), TOpenFor::ofCreateToWrite, Error);
  const bool Copies =
      CopyFileRange(In.Native(), 0, Out.Native(), 1).Status == TRangeCopyStatus::rcDone;
  In.Close();
  Out.Close();
  fs::remove(Folder / "probe.in");
  fs::remove(Folder / "probe.out");
  return Copies;
}

std::size_t FindInFile(const fs::path& Path, const std::string& Text) {
  return ReadBytes(Path).find(Text);
}

void PatchFile(const fs::path& Path, std::size_t Offset, const std::string& Bytes) {
  std::fstream File(Path, std::ios::binary | std::ios::in | std::ios::out);
  File.seekp(static_cast<std::streamoff>(Offset));
  File.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

std::string LE16(std::uint16_t Value) {
  return std::string{static_cast<char>(Value & 0xFF), static_cast<char>(Value >> 8)};
}

TRecordedExtraction::TRecordedExtraction(const fs::path& Archive, const fs::path& Folder,
                                         IApplication* Application)
    : UnZip(Application), FFolder(Folder.generic_string() + "/") {
  UnZip.OnActivate = [this](TZipCommon*) { Log.push_back("activate"); };
  UnZip.OnDeactivate = [this](TZipCommon*) { Log.push_back("deactivate"); };
  UnZip.OnElapsedTime = [this](TZipCommon*, float) { Log.push_back("elapsed"); };
  UnZip.OnBegin = [this](TZipCommon*, const std::string& Name, std::int32_t Count, bool& Extract) {
    Log.push_back("begin " + std::to_string(Count) + " " + Relative(Name));
    if (AfterBegin) AfterBegin(Relative(Name), Extract);
  };
  UnZip.OnEnd = [this](TZipCommon*, const std::string& Name, bool Pass) {
    Log.push_back(std::string(Pass ? "end PASS " : "end FAIL ") + Relative(Name));
  };
  UnZip.OnError = [this](TZipCommon*, const std::string& FileName, const std::string& Extended,
                         const std::string& VolumeID, int ECode) {
    Log.push_back("error " + std::to_string(ECode) + " " + Relative(FileName) + "|" +
                  Relative(Extended) + "|" + VolumeID);
  };
  UnZip.OnProgress = [this](TZipCommon*, std::uint8_t ByFile, std::uint8_t) {
    ++Progresses;
    if (AfterProgress) AfterProgress(ByFile);
  };
  UnZip.SetArchiveFile(Archive.string());
  UnZip.ConfirmOverwrites = false;
  UnZip.OverwriteMode = TOverwriteMode::omOverwrite;
  UnZip.FileSpec = {"*.*"};
  UnZip.SetExtractDir(Folder.string());
}

std::int32_t TRecordedExtraction::Run() {
  return UnZip.Activate();
}

std::vector<std::string> TRecordedExtraction::Lines(const std::string& Prefix) const {
  std::vector<std::string> Found;
  std::copy_if(Log.begin(), Log.end(), std::back_inserter(Found),
               [&](const std::string& Line) { return Line.rfind(Prefix, 0) == 0; });
  return Found;
}

std::string TRecordedExtraction::Relative(const std::string& Name) const {
  // Windows names the output with either separator; the log keeps '/'.
  const std::string Generic = fs::path(Name).generic_string();
  return Generic.rfind(FFolder, 0) == 0 ? Generic.substr(FFolder.size()) : Name;
}

std::size_t NthInFile(const fs::path& Path, const std::string& Text, int N) {
  const std::string Bytes = ReadBytes(Path);
  std::size_t At = Bytes.find(Text);
  for (int i = 0; i < N && At != std::string::npos; ++i) At = Bytes.find(Text, At + 1);
  return At;
}

}  // namespace ruvevid::walk_test
