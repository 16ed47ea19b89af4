#pragma once
// The rules for folder and file names of the output side, in one place and parameterised by the
// separator, so the same code serves the native build ('/') and the Windows rules ('\').
//
// Both '/' and '\' count as separators when names are taken apart; names that the rules build use
// the native separator. Under the Windows rules a ':' ends a drive prefix; under the POSIX rules it
// is an ordinary character of a name, and only a letter, ':' and a separator at the very start of
// a stored name ("C:\", "C:/") are taken as a drive prefix and removed.

#include <string>
#include <string_view>

namespace ruvevid {

struct TOutputPath {
  std::string Name;      // the full output name
  bool Refused = false;  // the stored name would leave the output folder: never write it
};

class TPathRules {
 public:
  explicit constexpr TPathRules(char Separator)
      : FSeparator(Separator), FDrives(Separator == '\\') {}

  // The rules of this system ('/'), and the Windows ones ('\').
  static constexpr TPathRules Native();
  static constexpr TPathRules Windows();

  constexpr char Separator() const { return FSeparator; }
  static constexpr bool IsSeparator(char C) { return C == '/' || C == '\\'; }
  // A character that ends a directory part: a separator, and ':' under the Windows rules.
  constexpr bool IsDelimiter(char C) const { return IsSeparator(C) || (FDrives && C == ':'); }

  // Every '/' and '\' turned into the native separator.
  std::string Normalise(std::string_view Path) const;
  // Path's directory part without its trailing separator; a drive root ("C:\") is kept whole.
  std::string DirPart(std::string_view Path) const;
  // Path's directory part with its trailing separator (empty when Path has none).
  std::string DirWithSeparator(std::string_view Path) const;
  // What follows the last delimiter.
  std::string FileNamePart(std::string_view Path) const;
  // S with the separator appended unless S is empty or already ends with one.
  std::string AppendBackslash(std::string_view S) const;
  // The value the ExtractDir setter stores for Value (ArchiveFile's folder when Value is empty).
  std::string ExtractDirFor(std::string_view Value, std::string_view ArchiveFile) const;
  // The output name of a stored entry name below ExtractDir (which must not be empty). A stored
  // name whose directory or file part contains a ".." component is refused.
  TOutputPath ComposeOutputName(std::string_view StoredName, std::string_view ExtractDir,
                                bool UseStoredDirs) const;
  // True when a name (relative below the output folder) has a "." or ".." file part or a ".."
  // component anywhere.
  static bool LeavesFolder(std::string_view RelativeName);

 private:
  // The stored name with its drive prefix removed (see the header comment).
  std::string StripDrive(std::string Name) const;

  char FSeparator;
  bool FDrives;  // drive letters and ':' as on Windows
};

constexpr TPathRules TPathRules::Native() {
  return TPathRules('/');
}
constexpr TPathRules TPathRules::Windows() {
  return TPathRules('\\');
}

}  // namespace ruvevid
