#include "platform/ProcessImageName.h"

namespace ruvevid {

namespace {

constexpr std::string_view kDeletedMark = " (deleted)";

std::string AfterLastSlash(std::string_view Path) {
  const std::size_t slash = Path.rfind('/');
  return std::string(slash == std::string_view::npos ? Path : Path.substr(slash + 1));
}

}  // namespace

std::string ImageNameFromExeLink(std::string_view Link) {
  if (Link.ends_with(kDeletedMark)) Link.remove_suffix(kDeletedMark.size());
  return AfterLastSlash(Link);
}

std::string ImageNameFromCommandLine(std::string_view CommandLine) {
  return AfterLastSlash(CommandLine.substr(0, CommandLine.find('\0')));
}

std::string ImageNameFromCommand(std::string_view Command) {
  if (Command.ends_with('\n')) Command.remove_suffix(1);
  return std::string(Command);
}

bool HasEndedByStat(std::string_view Stat) {
  // "PID (command name) STATE ...": the name may itself hold ')', so look for the last one.
  const std::size_t close = Stat.rfind(')');
  if (close == std::string_view::npos || close + 2 >= Stat.size()) return true;
  const char state = Stat[close + 2];
  return state == 'Z' || state == 'X';
}

}  // namespace ruvevid
