#pragma once
// The rules for folder and file names of the output side, in one place and parameterised by the
// separator, so the same code serves the native build ('/') and the Windows rules ('\').
//
// Both '/' and '\' count as separators when names are taken apart; names that the rules build use
// the native separator. Under the Windows rules a ':' ends a drive prefix; under the POSIX rules it
// is an ordinary character of a name, and only a letter, ':' and a separator at the very start of
// a stored name ("C:\", "C:/") are taken as a drive prefix and removed.
//
// The Windows rules also refuse a stored name that a Windows file system cannot hold as it is: a
// ':' anywhere but after a leading drive letter (it would name a stream of another file), the
// characters < > " | ? * and control characters, a device name (CON, PRN, AUX, NUL, COM1 to COM9,
// LPT1 to LPT9, in any case and also with an extension) and a component ending in a dot or a space
// (Windows drops those, so the file would end up under another name). Names there do not differ
// by case: two that differ only so name one file.

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

  // The rules of this system (the Windows ones on Windows), the POSIX ones ('/') and the Windows
  // ones ('\').
  static constexpr TPathRules Native();
  static constexpr TPathRules Posix();
  static constexpr TPathRules Windows();

  constexpr char Separator() const { return FSeparator; }
  static constexpr bool IsSeparator(char C) { return C == '/' || C == '\\'; }
  // A character that ends a directory part: a separator, and ':' under the Windows rules.
  constexpr bool IsDelimiter(char C) const { return IsSeparator(C) || (FDrives && C == ':'); }
  // True when Path starts at a root: a separator, or under the Windows rules a drive ("C:").
  bool IsAbsolute(std::string_view Path) const;
  // True when the two output names name one file: the same names, or under the Windows rules
  // names that differ only in the case of their letters.
  bool SameFile(std::string_view A, std::string_view B) const;

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
  // True when a Windows file system cannot hold the relative name as it is (see above).
  static bool UnfitForWindows(std::string_view RelativeName);

 private:
  // The stored name with its drive prefix removed (see the header comment).
  std::string StripDrive(std::string Name) const;

  char FSeparator;
  bool FDrives;  // drive letters and ':' as on Windows
};

constexpr TPathRules TPathRules::Native() {
#ifdef _WIN32
  return Windows();
#else
  return Posix();
#endif
}
constexpr TPathRules TPathRules::Posix() {
  return TPathRules('/');
}
constexpr TPathRules TPathRules::Windows() {
  return TPathRules('\\');
}

}  // namespace ruvevid
