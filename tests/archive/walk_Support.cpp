#include "walk_Support.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "archive/codec/ZipCipher.h"

namespace ruvevid::walk_test {

bool Shell(const fs::path& Folder, const std::string& Command) {
  const std::string Line = "cd '" + Folder.string() + "' && " + Command + " >/dev/null 2>&1";
  return std::system(Line.c_str()) == 0;
}

bool HaveProgram(const std::string& Name) {
  return std::system(("command -v " + Name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ReadText(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::ostringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

void WriteText(const fs::path& Path, const std::string& Text) {
  if (Path.has_parent_path()) fs::create_directories(Path.parent_path());
  std::ofstream(Path, std::ios::binary) << Text;
}

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

std::uint32_t Le(const std::string& Bytes, std::size_t At, int Count) {
  std::uint32_t Value = 0;
  for (int i = Count - 1; i >= 0; --i) {
    Value = Value << 8 | static_cast<std::uint8_t>(Bytes.at(At + static_cast<std::size_t>(i)));
  }
  return Value;
}

// Whether Password passes the check byte of an encrypted entry of the archive, found through its
// central directory.
bool PassesSomeCheckByte(const std::string& Zip, const std::string& Password) {
  const std::size_t End = Zip.rfind("PK\x05\x06");
  if (End == std::string::npos) return true;
  std::size_t At = Le(Zip, End + 16, 4);
  for (std::uint32_t Entry = 0; Entry < Le(Zip, End + 10, 2); ++Entry) {
    const auto Flags = static_cast<std::uint16_t>(Le(Zip, At + 8, 2));
    if ((Flags & 1) != 0) {
      const std::size_t Local = Le(Zip, At + 42, 4);
      const std::size_t Data = Local + 30 + Le(Zip, Local + 26, 2) + Le(Zip, Local + 28, 2);
      std::array<std::uint8_t, 24> Work{};
      std::copy_n(Zip.begin() + static_cast<std::ptrdiff_t>(Data), 12, Work.begin() + 12);
      TZipCipher Cipher;
      if (Cipher.CheckEncryptionHeader(Work.data(), Flags, Le(Zip, At + 16, 4), Le(Zip, At + 12, 4),
                                       Password)) {
        return true;
      }
    }
    At += 46 + Le(Zip, At + 28, 2) + Le(Zip, At + 30, 2) + Le(Zip, At + 32, 2);
  }
  return false;
}

}  // namespace

bool MakeEncryptedArchive(const fs::path& Folder, const std::string& Command,
                          const fs::path& Archive, const std::vector<std::string>& Wrong) {
  for (int Attempt = 0; Attempt < 20; ++Attempt) {
    std::error_code Ignored;
    fs::remove(Archive, Ignored);
    if (!Shell(Folder, Command)) return false;
    const std::string Zip = ReadText(Archive);
    if (std::none_of(Wrong.begin(), Wrong.end(), [&](const std::string& Password) {
          return PassesSomeCheckByte(Zip, Password);
        })) {
      return true;
    }
  }
  return false;
}

std::size_t FindInFile(const fs::path& Path, const std::string& Text) {
  return ReadText(Path).find(Text);
}

void PatchFile(const fs::path& Path, std::size_t Offset, const std::string& Bytes) {
  std::fstream File(Path, std::ios::binary | std::ios::in | std::ios::out);
  File.seekp(static_cast<std::streamoff>(Offset));
  File.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

std::string LE16(std::uint16_t Value) {
  return std::string{static_cast<char>(Value & 0xFF), static_cast<char>(Value >> 8)};
}

TRecordedExtraction::TRecordedExtraction(const fs::path& Archive, const fs::path& Folder)
    : FFolder(Folder.string() + "/") {
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
  return Name.rfind(FFolder, 0) == 0 ? Name.substr(FFolder.size()) : Name;
}

std::size_t NthInFile(const fs::path& Path, const std::string& Text, int N) {
  const std::string Bytes = ReadText(Path);
  std::size_t At = Bytes.find(Text);
  for (int i = 0; i < N && At != std::string::npos; ++i) At = Bytes.find(Text, At + 1);
  return At;
}

}  // namespace ruvevid::walk_test
