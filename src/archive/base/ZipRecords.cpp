#include "archive/base/ZipRecords.h"

#include <array>
#include <string_view>

namespace ruvevid {

std::string ToString(THeaderTypeState State) {
  static constexpr std::array<std::string_view, 6> kNames = {"htLocal",   "htCentral",  "htEnding",
                                                             "htLocator", "htEnding64", "htNone"};
  std::string Text = "[";
  for (std::size_t I = 0; I < kNames.size(); ++I) {
    if (!State.Contains(static_cast<THeaderType>(I))) continue;
    if (Text.size() > 1) Text += ", ";
    Text += kNames[I];
  }
  return Text + "]";
}

}  // namespace ruvevid
