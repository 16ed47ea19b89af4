#pragma once
// Wildcard masks for selecting entries: '*' any run of characters (separators and dots
// included), '?' exactly one character, anything else itself without regard to ASCII case.
// '/' and '\' compare equal, so masks written with either separator select the same names.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/base/PathRules.h"

namespace ruvevid {

// A compiled mask: one item per literal or '?', and a final item for the end of the name.
class TInternalMask {
 public:
  // Pending alternatives kept while matching. Only the most recent one can ever be needed ('*'
  // absorbs anything an earlier '*' could), so older ones are dropped when a walk fails and when
  // more than this many are pending: a mask with more '*' groups matches exactly as with an
  // unlimited stack, in at most name length x mask length steps.
  static constexpr std::size_t kMaxPending = 30;

  explicit TInternalMask(std::string_view Mask);
  bool Matches(std::string_view Name) const;

 private:
  enum class TItemKind : std::uint8_t { ikLiteral, ikAnyChar, ikEnd };
  struct TItem {
    bool StarBefore = false;
    TItemKind Kind = TItemKind::ikLiteral;
    char Char = 0;  // folded
  };
  bool MatchesFolded(std::string_view Name) const;

  std::vector<TItem> FItems;
  bool FEndsWithDot = false;
};

// ASCII upper case, '\' folded onto '/'.
constexpr char FoldMaskChar(char C) {
  if (C >= 'a' && C <= 'z') return static_cast<char>(C - 'a' + 'A');
  if (C == '\\') return '/';
  return C;
}

// Equality under FoldMaskChar.
bool SameNameFolded(std::string_view A, std::string_view B);

bool MaskMatches(std::string_view Name, std::string_view Mask);

// The selection test for one stored name. A line of Specs without a '.' may be rewritten with a
// '.' appended when it is tried a second time. Excludes may be null.
bool MatchFileSpec(std::string_view Name, std::vector<std::string>& Specs,
                   const std::vector<std::string>* Excludes, bool RecurseDirs,
                   const TPathRules& Rules = TPathRules::Native());

}  // namespace ruvevid
