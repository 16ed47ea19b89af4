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
  std::vector<TLine> lines;
  std::size_t start = 0;
  while (start < Contents.size()) {
    const std::size_t feed = Contents.find('\n', start);
    if (feed == std::string_view::npos) {
      lines.push_back(TLine{start, Contents.substr(start), {}});
      break;
    }
    std::size_t textEnd = feed;
    if (textEnd > start && Contents[textEnd - 1] == '\r') --textEnd;
    lines.push_back(TLine{start, Contents.substr(start, textEnd - start),
                          Contents.substr(textEnd, feed + 1 - textEnd)});
    start = feed + 1;
  }
  return lines;
}

std::string_view Trim(std::string_view Text) {
  const std::size_t first = Text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = Text.find_last_not_of(kBlanks);
  return Text.substr(first, last + 1 - first);
}

std::string_view TrimRight(std::string_view Text) {
  const std::size_t last = Text.find_last_not_of(kBlanks);
  return last == std::string_view::npos ? std::string_view() : Text.substr(0, last + 1);
}

char UpperAscii(char C) {
  return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

bool SameName(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t i = 0; i < A.size(); ++i) {
    if (UpperAscii(A[i]) != UpperAscii(B[i])) return false;
  }
  return true;
}

// The section name of a section line, or nothing when the line is not one.
std::optional<std::string_view> SectionName(std::string_view Text) {
  const std::string_view line = Trim(Text);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const std::size_t close = line.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// The key name of a key line, or nothing for a blank or comment line.
std::optional<std::string_view> KeyName(std::string_view Text) {
  const std::string_view line = Trim(Text);
  if (line.empty() || line.front() == ';') return std::nullopt;
  return Trim(line.substr(0, line.find('=')));
}

}  // namespace

std::string SetProfileKey(std::string_view Contents, std::string_view Section, std::string_view Key,
                          std::string_view Value) {
  Section = Trim(Section);
  Key = Trim(Key);
  const std::size_t markSize = Contents.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
  std::vector<TLine> lines = SplitLines(Contents.substr(markSize));
  for (TLine& line : lines) line.Start += markSize;

  std::string_view lineEnd = "\r\n";
  for (const TLine& line : lines) {
    if (!line.End.empty()) {
      lineEnd = line.End;
      break;
    }
  }
  const std::string keyLine = std::string(Key) + "=" + std::string(Value);

  std::size_t index = 0;
  while (index < lines.size()) {
    const std::optional<std::string_view> name = SectionName(lines[index].Text);
    if (name && SameName(*name, Section)) break;
    ++index;
  }

  std::string result;
  result.reserve(Contents.size() + keyLine.size() + Section.size() + 8);
  if (index == lines.size()) {
    // No such section: append it with its key.
    result.append(Contents);
    if (!lines.empty() && lines.back().End.empty()) result.append(lineEnd);
    result.append("[").append(Section).append("]").append(lineEnd);
    result.append(keyLine).append(lineEnd);
    return result;
  }

  std::size_t lastFilled = index;  // the section's last non-blank line
  for (std::size_t i = index + 1; i < lines.size(); ++i) {
    const TLine& line = lines[i];
    if (SectionName(line.Text)) break;
    if (!Trim(line.Text).empty()) lastFilled = i;
    const std::optional<std::string_view> name = KeyName(line.Text);
    if (!name || !SameName(*name, Key)) continue;
    // Replace the value, keeping the line's name part and its end.
    const std::size_t equals = line.Text.find('=');
    const std::string_view kept =
        equals == std::string_view::npos ? TrimRight(line.Text) : line.Text.substr(0, equals);
    result.append(Contents.substr(0, line.Start));
    result.append(kept).append("=").append(Value).append(line.End);
    result.append(Contents.substr(line.Start + line.Text.size() + line.End.size()));
    return result;
  }

  // No such key: add it after the section's last non-blank line.
  const TLine& after = lines[lastFilled];
  const std::size_t insertAt = after.Start + after.Text.size() + after.End.size();
  result.append(Contents.substr(0, insertAt));
  if (after.End.empty()) result.append(lineEnd);
  result.append(keyLine).append(lineEnd);
  result.append(Contents.substr(insertAt));
  return result;
}

bool IsWritableProfileKey(std::string_view Section, std::string_view Key, std::string_view Value) {
  constexpr std::string_view kLineBreaks("\r\n\0", 3);
  if (Section.find_first_of(kLineBreaks) != std::string_view::npos) return false;
  if (Key.find_first_of(kLineBreaks) != std::string_view::npos) return false;
  if (Value.find_first_of(kLineBreaks) != std::string_view::npos) return false;
  if (Section.find(']') != std::string_view::npos) return false;
  const std::string_view key = Trim(Key);
  if (key.find('=') != std::string_view::npos) return false;
  return key.empty() || (key.front() != ';' && key.front() != '[');
}

}  // namespace ruvevid
