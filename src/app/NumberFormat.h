#pragma once
// Number texts shown by the updater.

#include <cstdint>
#include <string>

namespace ruvevid {

// The "#,##0" pattern: rounded to a whole number (halves away from zero), digits grouped by
// threes with Separator.
std::string FormatThousands(double Value, char Separator);

// The thousands separator of the user's locale; ',' when the locale groups no digits.
char UserThousandsSeparator();

// Bytes / 1024 formatted with "#,##0".
std::string FormatKBytes(std::int64_t Bytes, char Separator);

}  // namespace ruvevid
