#include "app/NumberFormat.h"

#include <cmath>
#include <locale>
#include <stdexcept>

namespace ruvevid {

std::string FormatThousands(double Value, char Separator) {
  const double Rounded = std::round(Value);  // halves away from zero
  const bool Negative = Rounded < 0;
  std::string Digits = std::to_string(static_cast<long long>(std::fabs(Rounded)));
  std::string Out;
  Out.reserve(Digits.size() + Digits.size() / 3 + 1);
  const std::size_t Lead = Digits.size() % 3 == 0 ? 3 : Digits.size() % 3;
  for (std::size_t I = 0; I < Digits.size(); ++I) {
    if (I >= Lead && (I - Lead) % 3 == 0) Out.push_back(Separator);
    Out.push_back(Digits[I]);
  }
  return Negative ? "-" + Out : Out;
}

char UserThousandsSeparator() {
  try {
    const std::locale User("");
    const auto& Punct = std::use_facet<std::numpunct<char>>(User);
    if (!Punct.grouping().empty() && Punct.thousands_sep() != '\0') return Punct.thousands_sep();
  } catch (const std::runtime_error&) {
    // An unknown locale name in the environment: fall back to the common separator.
  }
  return ',';
}

std::string FormatKBytes(std::int64_t Bytes, char Separator) {
  return FormatThousands(static_cast<double>(Bytes) / 1024.0, Separator);
}

}  // namespace ruvevid
