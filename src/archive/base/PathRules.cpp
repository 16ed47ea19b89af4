#include "archive/base/PathRules.h"

#include <array>
#include <cctype>

namespace ruvevid {

namespace {

constexpr char ToUpper(char C) {
  return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

bool EqualNoCase(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I)
    if (ToUpper(A[I]) != ToUpper(B[I])) return false;
  return true;
}

// A name Windows takes as a device wherever it stands, with or without an extension.
bool IsDeviceName(std::string_view Component) {
  std::string_view Base = Component.substr(0, Component.find('.'));
  while (!Base.empty() && Base.back() == ' ') Base.remove_suffix(1);
  constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                        "NUL", "CONIN$", "CONOUT$"};
  for (const std::string_view Device : kDevices)
    if (EqualNoCase(Base, Device)) return true;
  if (Base.size() != 4 || Base[3] < '1' || Base[3] > '9') return false;
  return EqualNoCase(Base.substr(0, 3), "COM") || EqualNoCase(Base.substr(0, 3), "LPT");
}

bool UnfitComponent(std::string_view Component) {
  if (Component.empty() || Component == "." || Component == "..") return false;
  for (const char C : Component) {
    const auto Code = static_cast<unsigned char>(C);
    if (Code < 0x20 || C == ':' || C == '<' || C == '>' || C == '"' || C == '|' || C == '?' ||
        C == '*')
      return true;
  }
  if (Component.back() == '.' || Component.back() == ' ') return true;
  return IsDeviceName(Component);
}

}  // namespace

bool TPathRules::IsAbsolute(std::string_view Path) const {
  if (!Path.empty() && IsSeparator(Path.front())) return true;
  return FDrives && Path.size() >= 2 && Path[1] == ':';
}

bool TPathRules::SameFile(std::string_view A, std::string_view B) const {
  return FDrives ? EqualNoCase(A, B) : A == B;
}

bool TPathRules::UnfitForWindows(std::string_view RelativeName) {
  std::size_t Start = 0;
  while (Start <= RelativeName.size()) {
    std::size_t End = Start;
    while (End < RelativeName.size() && !IsSeparator(RelativeName[End])) ++End;
    if (UnfitComponent(RelativeName.substr(Start, End - Start))) return true;
    Start = End + 1;
  }
  return false;
}

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
    if (Name.size() >= 2 && std::isalpha(static_cast<unsigned char>(Name[0])) != 0 &&
        Name[1] == ':') {
      // A drive prefix: "C:\x" loses "C:\", "C:x" loses "C:". Any other ':' stays and is refused.
      Name.erase(0, Name.size() >= 3 && Name[2] == FSeparator ? 3 : 2);
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
    Result.Refused = LeavesFolder(Name) || (FDrives && UnfitForWindows(Name));
  } else {
    Dir = Normalise(ExtractDir);
    Result.Refused = LeavesFolder(FileNamePart(Name));
    if (FDrives) {
      // The file part as the name would be cut without the ':' delimiter.
      const std::size_t Last = Name.find_last_of("/\\");
      Result.Refused = Result.Refused ||
                       UnfitForWindows(Last == std::string::npos ? Name : Name.substr(Last + 1));
    }
  }
  const bool HasDrive = FDrives && Dir.find(':') != std::string::npos;
  if (!HasDrive && (Dir.empty() || Dir.front() != FSeparator)) {
    Dir.insert(Dir.begin(), FSeparator);
  }
  Result.Name = AppendBackslash(Dir) + FileNamePart(Name);
  return Result;
}

}  // namespace ruvevid
