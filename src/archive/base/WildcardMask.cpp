#include "archive/base/WildcardMask.h"

#include <array>

namespace ruvevid {

TInternalMask::TInternalMask(std::string_view Mask) {
  bool Star = false;
  for (char C : Mask) {
    if (C == '*') {
      Star = true;
    } else if (C == '?') {
      // A '?' right after a '*' adds nothing.
      if (!Star) FItems.push_back({false, TItemKind::ikAnyChar, 0});
    } else {
      FItems.push_back({Star, TItemKind::ikLiteral, FoldMaskChar(C)});
      Star = false;
    }
  }
  FItems.push_back({Star, TItemKind::ikEnd, 0});
  FEndsWithDot = !Mask.empty() && Mask.back() == '.';
}

bool TInternalMask::Matches(std::string_view Name) const {
  if (FEndsWithDot && Name.find('.') == std::string_view::npos) {
    std::string Dotted(Name);
    Dotted += '.';
    return MatchesFolded(Dotted);
  }
  return MatchesFolded(Name);
}

bool TInternalMask::MatchesFolded(std::string_view Name) const {
  struct TPending {
    std::size_t Item = 0;
    std::size_t Position = 0;
  };
  // A ring of the most recent alternatives.
  std::array<TPending, kMaxPending> Pending{};
  std::size_t PendingTop = 0;    // index of the next free slot in the ring
  std::size_t PendingCount = 0;  // valid entries below the top

  std::size_t Item = 0;
  std::size_t Position = 0;
  for (;;) {
    bool Failed = false;
    while (Item < FItems.size()) {
      const TItem& Current = FItems[Item];
      if (Current.StarBefore) {
        if (Current.Kind == TItemKind::ikEnd) {
          Position = Name.size();
        } else {
          while (Position < Name.size() && FoldMaskChar(Name[Position]) != Current.Char) ++Position;
          if (Position < Name.size()) {
            Pending[PendingTop] = {Item, Position + 1};
            PendingTop = (PendingTop + 1) % kMaxPending;
            if (PendingCount < kMaxPending) ++PendingCount;
          }
        }
      }
      bool Step = false;
      switch (Current.Kind) {
        case TItemKind::ikEnd:
          Step = Position == Name.size();
          break;
        case TItemKind::ikAnyChar:
          Step = Position < Name.size();
          break;
        case TItemKind::ikLiteral:
          Step = Position < Name.size() && FoldMaskChar(Name[Position]) == Current.Char;
          break;
      }
      if (!Step) {
        Failed = true;
        break;
      }
      ++Item;
      ++Position;
    }
    if (!Failed) return true;
    if (PendingCount == 0) return false;
    PendingTop = (PendingTop + kMaxPending - 1) % kMaxPending;
    Item = Pending[PendingTop].Item;
    Position = Pending[PendingTop].Position;
    // The alternatives of earlier '*' items can never succeed where this one fails (this '*'
    // absorbs any run they could have shifted), so they are dropped: every retry moves forward
    // and the walk stays within name length x mask length steps.
    PendingCount = 0;
  }
}

bool SameNameFolded(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I)
    if (FoldMaskChar(A[I]) != FoldMaskChar(B[I])) return false;
  return true;
}

bool MaskMatches(std::string_view Name, std::string_view Mask) {
  return TInternalMask(Mask).Matches(Name);
}

bool MatchFileSpec(std::string_view Name, std::vector<std::string>& Specs,
                   const std::vector<std::string>* Excludes, bool RecurseDirs,
                   const TPathRules& Rules) {
  if (Name.empty()) return false;
  const std::string NameDir = Rules.AppendBackslash(Rules.DirPart(Name));
  for (std::string& Line : Specs) {
    if (Line.empty()) continue;
    if (SameNameFolded(Line, Name)) return true;
    std::string N(Name);
    const std::string SpecDir = Rules.AppendBackslash(Rules.DirPart(Line));
    if (!RecurseDirs && !SameNameFolded(SpecDir, NameDir)) continue;
    if (RecurseDirs && SpecDir.empty()) N = Rules.FileNamePart(Name);
    bool Matched = MaskMatches(N, Line);
    if (!Matched) {
      if (N.find('.') == std::string::npos) N += '.';
      if (Line.find('.') == std::string::npos) Line += '.';
      Matched = MaskMatches(N, Line);
    }
    if (!Matched) continue;
    if (Excludes != nullptr) {
      for (const std::string& Exclude : *Excludes)
        if (MaskMatches(N, Exclude)) return false;
    }
    return true;
  }
  return false;
}

}  // namespace ruvevid
