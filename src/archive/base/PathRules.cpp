#include "archive/base/PathRules.h"

#include <cctype>

namespace ruvevid {

std::string TPathRules::Normalise(std::string_view Path) const {
  std::string Out(Path);
  for (char& C : Out)
    if (IsSeparator(C)) C = FSeparator;
  return Out;
}

std::string TPathRules::DirPart(std::string_view Path) const {
  std::size_t K = Path.size();
  if (FDrives && K == 3 && Path.find(':') != std::string_view::npos) return std::string(Path);
  while (K > 0 && !IsDelimiter(Path[K - 1])) --K;
  // K is one past the last delimiter; the delimiter itself stands at K - 1.
  if (K > 0 && IsSeparator(Path[K - 1])) {
    const bool RootOfDrive = FDrives && K == 3 && Path.size() >= 2 && Path[1] == ':';
    if (!RootOfDrive) --K;
  }
  return std::string(Path.substr(0, K));
}

std::string TPathRules::DirWithSeparator(std::string_view Path) const {
  std::size_t K = Path.size();
  while (K > 0 && !IsDelimiter(Path[K - 1])) --K;
  return std::string(Path.substr(0, K));
}

std::string TPathRules::FileNamePart(std::string_view Path) const {
  std::size_t K = Path.size();
  while (K > 0 && !IsDelimiter(Path[K - 1])) --K;
  return std::string(Path.substr(K));
}

std::string TPathRules::AppendBackslash(std::string_view S) const {
  std::string Out(S);
  if (!Out.empty() && !IsSeparator(Out.back())) Out += FSeparator;
  return Out;
}

std::string TPathRules::ExtractDirFor(std::string_view Value, std::string_view ArchiveFile) const {
  if (!Value.empty()) return DirWithSeparator(AppendBackslash(Normalise(Value)));
  if (!ArchiveFile.empty()) return DirWithSeparator(Normalise(ArchiveFile));
  return {};
}

bool TPathRules::LeavesFolder(std::string_view RelativeName) {
  std::size_t Start = 0;
  std::string_view Component;
  while (Start <= RelativeName.size()) {
    std::size_t End = Start;
    while (End < RelativeName.size() && !IsSeparator(RelativeName[End])) ++End;
    Component = RelativeName.substr(Start, End - Start);
    if (Component == "..") return true;
    Start = End + 1;
  }
  // The last component is the file part: "." would name the folder itself.
  return Component == ".";
}

std::string TPathRules::StripDrive(std::string Name) const {
  if (FDrives) {
    if (Name.find(':') != std::string::npos) {
      // A drive prefix: "C:\x" loses "C:\", "C:x" loses "C:".
      const std::size_t FirstSeparator = Name.find(FSeparator);
      Name.erase(0, FirstSeparator == 2 ? 3 : 2);
      return Name;
    }
  } else if (Name.size() >= 3 && std::isalpha(static_cast<unsigned char>(Name[0])) != 0 &&
             Name[1] == ':' && Name[2] == FSeparator) {
    // A name written on Windows with its drive; every other ':' belongs to the name.
    Name.erase(0, 3);
    return Name;
  }
  if (!Name.empty() && Name.front() == FSeparator) Name.erase(0, 1);
  return Name;
}

TOutputPath TPathRules::ComposeOutputName(std::string_view StoredName, std::string_view ExtractDir,
                                          bool UseStoredDirs) const {
  TOutputPath Result;
  if (StoredName.empty()) return Result;
  std::string Name = Normalise(StoredName);
  std::string Dir;
  if (UseStoredDirs) {
    Name = StripDrive(std::move(Name));
    Dir = AppendBackslash(Normalise(ExtractDir)) + DirWithSeparator(Name);
    Result.Refused = LeavesFolder(Name);
  } else {
    Dir = Normalise(ExtractDir);
    Result.Refused = LeavesFolder(FileNamePart(Name));
  }
  const bool HasDrive = FDrives && Dir.find(':') != std::string::npos;
  if (!HasDrive && (Dir.empty() || Dir.front() != FSeparator)) {
    Dir.insert(Dir.begin(), FSeparator);
  }
  Result.Name = AppendBackslash(Dir) + FileNamePart(Name);
  return Result;
}

}  // namespace ruvevid
