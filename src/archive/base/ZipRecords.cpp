#include "archive/base/ZipRecords.h"

#include <array>
#include <string_view>

namespace ruvevid {

std::string ToString(THeaderTypeState State) {
  static constexpr std::array<std::string_view, 6> kNames = {"htLocal",   "htCentral",  "htEnding",
                                                             "htLocator", "htEnding64", "htNone"};
  std::string Text = "[";
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (!State.Contains(static_cast<THeaderType>(i))) continue;
    if (Text.size() > 1) Text += ", ";
    Text += kNames[i];
  }
  return Text + "]";
}

}  // namespace ruvevid
