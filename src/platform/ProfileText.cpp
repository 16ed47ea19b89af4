#include "platform/ProfileText.h"

#include <optional>
#include <vector>

namespace ruvevid {

namespace {

constexpr std::string_view kBlanks = " \t\v\f";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// One line of the text: its contents and its end ("\r\n", "\n", or empty for a last line without).
struct TLine {
  std::size_t Start = 0;
  std::string_view Text;
  std::string_view End;
};

std::vector<TLine> SplitLines(std::string_view Contents) {
  std::vector<TLine> Lines;
  std::size_t Start = 0;
  while (Start < Contents.size()) {
    const std::size_t Feed = Contents.find('\n', Start);
    if (Feed == std::string_view::npos) {
      Lines.push_back(TLine{Start, Contents.substr(Start), {}});
      break;
    }
    std::size_t TextEnd = Feed;
    if (TextEnd > Start && Contents[TextEnd - 1] == '\r') --TextEnd;
    Lines.push_back(TLine{Start, Contents.substr(Start, TextEnd - Start),
                          Contents.substr(TextEnd, Feed + 1 - TextEnd)});
    Start = Feed + 1;
  }
  return Lines;
}

std::string_view Trim(std::string_view Text) {
  const std::size_t First = Text.find_first_not_of(kBlanks);
  if (First == std::string_view::npos) return {};
  const std::size_t Last = Text.find_last_not_of(kBlanks);
  return Text.substr(First, Last + 1 - First);
}

std::string_view TrimRight(std::string_view Text) {
  const std::size_t Last = Text.find_last_not_of(kBlanks);
  return Last == std::string_view::npos ? std::string_view() : Text.substr(0, Last + 1);
}

char UpperAscii(char C) {
  return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

bool SameName(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I) {
    if (UpperAscii(A[I]) != UpperAscii(B[I])) return false;
  }
  return true;
}

// The section name of a section line, or nothing when the line is not one.
std::optional<std::string_view> SectionName(std::string_view Text) {
  const std::string_view Line = Trim(Text);
  if (Line.empty() || Line.front() != '[') return std::nullopt;
  const std::size_t Close = Line.rfind(']');
  if (Close == std::string_view::npos || Close == 0) return std::nullopt;
  return Trim(Line.substr(1, Close - 1));
}

// The key name of a key line, or nothing for a blank or comment line.
std::optional<std::string_view> KeyName(std::string_view Text) {
  const std::string_view Line = Trim(Text);
  if (Line.empty() || Line.front() == ';') return std::nullopt;
  return Trim(Line.substr(0, Line.find('=')));
}

}  // namespace

std::string SetProfileKey(std::string_view Contents, std::string_view Section, std::string_view Key,
                          std::string_view Value) {
  Section = Trim(Section);
  Key = Trim(Key);
  const std::size_t MarkSize = Contents.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
  std::vector<TLine> Lines = SplitLines(Contents.substr(MarkSize));
  for (TLine& Line : Lines) Line.Start += MarkSize;

  std::string_view LineEnd = "\r\n";
  for (const TLine& Line : Lines) {
    if (!Line.End.empty()) {
      LineEnd = Line.End;
      break;
    }
  }
  const std::string KeyLine = std::string(Key) + "=" + std::string(Value);

  std::size_t Index = 0;
  while (Index < Lines.size()) {
    const std::optional<std::string_view> Name = SectionName(Lines[Index].Text);
    if (Name && SameName(*Name, Section)) break;
    ++Index;
  }

  std::string Result;
  Result.reserve(Contents.size() + KeyLine.size() + Section.size() + 8);
  if (Index == Lines.size()) {
    // No such section: append it with its key.
    Result.append(Contents);
    if (!Lines.empty() && Lines.back().End.empty()) Result.append(LineEnd);
    Result.append("[").append(Section).append("]").append(LineEnd);
    Result.append(KeyLine).append(LineEnd);
    return Result;
  }

  std::size_t LastFilled = Index;  // the section's last non-blank line
  for (std::size_t I = Index + 1; I < Lines.size(); ++I) {
    const TLine& Line = Lines[I];
    if (SectionName(Line.Text)) break;
    if (!Trim(Line.Text).empty()) LastFilled = I;
    const std::optional<std::string_view> Name = KeyName(Line.Text);
    if (!Name || !SameName(*Name, Key)) continue;
    // Replace the value, keeping the line's name part and its end.
    const std::size_t Equals = Line.Text.find('=');
    const std::string_view Kept =
        Equals == std::string_view::npos ? TrimRight(Line.Text) : Line.Text.substr(0, Equals);
    Result.append(Contents.substr(0, Line.Start));
    Result.append(Kept).append("=").append(Value).append(Line.End);
    Result.append(Contents.substr(Line.Start + Line.Text.size() + Line.End.size()));
    return Result;
  }

  // No such key: add it after the section's last non-blank line.
  const TLine& After = Lines[LastFilled];
  const std::size_t InsertAt = After.Start + After.Text.size() + After.End.size();
  Result.append(Contents.substr(0, InsertAt));
  if (After.End.empty()) Result.append(LineEnd);
  Result.append(KeyLine).append(LineEnd);
  Result.append(Contents.substr(InsertAt));
  return Result;
}

bool IsWritableProfileKey(std::string_view Section, std::string_view Key, std::string_view Value) {
  constexpr std::string_view kLineBreaks("\r\n\0", 3);
  if (Section.find_first_of(kLineBreaks) != std::string_view::npos) return false;
  if (Key.find_first_of(kLineBreaks) != std::string_view::npos) return false;
  if (Value.find_first_of(kLineBreaks) != std::string_view::npos) return false;
  if (Section.find(']') != std::string_view::npos) return false;
  const std::string_view Trimmed = Trim(Key);
  if (Trimmed.find('=') != std::string_view::npos) return false;
  return Trimmed.empty() || (Trimmed.front() != ';' && Trimmed.front() != '[');
}

}  // namespace ruvevid
