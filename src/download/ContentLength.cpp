#include "download/ContentLength.h"

#include <limits>

namespace ruvevid {

namespace {

bool IsBlankOrControl(char C) {
  return static_cast<unsigned char>(C) <= ' ';
}

}  // namespace

std::int32_t ParseContentLength(std::string_view Text) {
  while (!Text.empty() && IsBlankOrControl(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlankOrControl(Text.back())) Text.remove_suffix(1);

  bool Negative = false;
  if (!Text.empty() && (Text.front() == '+' || Text.front() == '-')) {
    Negative = Text.front() == '-';
    Text.remove_prefix(1);
  }
  if (Text.empty()) return 0;

  // The magnitude may reach 2^31 for a negative number only.
  const std::int64_t Limit =
      Negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
               : std::numeric_limits<std::int32_t>::max();
  std::int64_t Value = 0;
  for (const char C : Text) {
    if (C < '0' || C > '9') return 0;
    Value = Value * 10 + (C - '0');
    if (Value > Limit) return 0;
  }
  return static_cast<std::int32_t>(Negative ? -Value : Value);
}

}  // namespace ruvevid
