#include "app/NumberFormat.h"

#include <cmath>
#include <locale>
#include <stdexcept>

namespace ruvevid {

std::string FormatThousands(double Value, char Separator) {
  const double rounded = std::round(Value);  // halves away from zero
  const bool negative = rounded < 0;
  std::string digits = std::to_string(static_cast<long long>(std::fabs(rounded)));
  std::string out;
  out.reserve(digits.size() + digits.size() / 3 + 1);
  const std::size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i >= lead && (i - lead) % 3 == 0) out.push_back(Separator);
    out.push_back(digits[i]);
  }
  return negative ? "-" + out : out;
}

char UserThousandsSeparator() {
  try {
    const std::locale user("");
    const auto& punct = std::use_facet<std::numpunct<char>>(user);
    if (!punct.grouping().empty() && punct.thousands_sep() != '\0') return punct.thousands_sep();
  } catch (const std::runtime_error&) {
    // An unknown locale name in the environment: fall back to the common separator.
  }
  return ',';
}

std::string FormatKBytes(std::int64_t Bytes, char Separator) {
  return FormatThousands(static_cast<double>(Bytes) / 1024.0, Separator);
}

}  // namespace ruvevid
