#include "app/InstallJournal.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string_view>

namespace ruvevid {

namespace {

constexpr std::string_view kHeader = "ruvevid install journal 1";
constexpr std::string_view kFolderTag = "folder ";
constexpr std::string_view kReplaceTag = "replace ";
constexpr std::string_view kAddTag = "add ";
constexpr std::string_view kEnd = "end";
constexpr std::string_view kCommitting = "committing";
constexpr std::string_view kRollingBack = "rolling-back";

// A name on one line: '%', line feed and carriage return are written as %XX.
std::string Escape(const std::string& Name) {
  std::string Out;
  Out.reserve(Name.size());
  for (const char C : Name) {
    if (C == '%' || C == '\n' || C == '\r') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      const auto Byte = static_cast<unsigned char>(C);
      Out += '%';
      Out += kHex[Byte >> 4];
      Out += kHex[Byte & 15];
    } else {
      Out += C;
    }
  }
  return Out;
}

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// False for a name that Escape cannot have written.
bool Unescape(std::string_view Text, std::string& Name) {
  Name.clear();
  for (std::size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] != '%') {
      Name += Text[I];
      continue;
    }
    const int High = I + 1 < Text.size() ? HexValue(Text[I + 1]) : -1;
    const int Low = I + 2 < Text.size() ? HexValue(Text[I + 2]) : -1;
    if (High < 0 || Low < 0) return false;
    Name += static_cast<char>(High * 16 + Low);
    I += 2;
  }
  return !Name.empty();
}

bool SameLetters(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           return std::tolower(static_cast<unsigned char>(X)) ==
                  std::tolower(static_cast<unsigned char>(Y));
         });
}

}  // namespace

bool IsInstallOwnName(const std::string& RelativeName) {
  const std::string_view Name(RelativeName);
  const std::string_view First = Name.substr(0, Name.find_first_of("/\\"));
  for (const char* Own : {kStagingFolderName, kBackupFolderName, kJournalFileName}) {
    if (SameLetters(First, Own)) return true;
  }
  return false;
}

std::string TInstallJournal::ListText() const {
  std::string Text(kHeader);
  Text += '\n';
  for (const std::string& Folder : Folders) Text += std::string(kFolderTag) + Escape(Folder) + '\n';
  for (const TJournalMove& Move : Moves)
    Text += std::string(Move.Replaces ? kReplaceTag : kAddTag) + Escape(Move.Name) + '\n';
  Text += kEnd;
  Text += '\n';
  return Text;
}

TInstallJournal TInstallJournal::Parse(const std::string& Text) {
  TInstallJournal Journal;
  Journal.State = TJournalState::jsIncomplete;
  std::istringstream Lines(Text);
  std::string Line;
  if (!std::getline(Lines, Line) || Line != kHeader) return Journal;
  // Only whole lines count: a line the writer did not finish has no line feed after it.
  const auto WholeLine = [&Lines, &Line] { return std::getline(Lines, Line) && !Lines.eof(); };
  std::string Name;
  while (WholeLine()) {
    const std::string_view View(Line);
    if (View == kEnd) {
      Journal.State = TJournalState::jsListed;
      break;
    }
    if (View.starts_with(kFolderTag) && Unescape(View.substr(kFolderTag.size()), Name)) {
      Journal.Folders.push_back(Name);
    } else if (View.starts_with(kReplaceTag) && Unescape(View.substr(kReplaceTag.size()), Name)) {
      Journal.Moves.push_back({Name, true});
    } else if (View.starts_with(kAddTag) && Unescape(View.substr(kAddTag.size()), Name)) {
      Journal.Moves.push_back({Name, false});
    } else {
      return {{}, {}, TJournalState::jsIncomplete};
    }
  }
  if (Journal.State != TJournalState::jsListed) return {{}, {}, TJournalState::jsIncomplete};
  // The last whole mark decides; a mark cut short is no mark.
  while (WholeLine()) {
    if (Line == kCommitting) Journal.State = TJournalState::jsCommitting;
    if (Line == kRollingBack) Journal.State = TJournalState::jsRollingBack;
  }
  return Journal;
}

std::string JournalMark(TJournalState State) {
  return std::string(State == TJournalState::jsRollingBack ? kRollingBack : kCommitting) + '\n';
}

}  // namespace ruvevid
