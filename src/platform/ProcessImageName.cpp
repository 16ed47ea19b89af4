#include "platform/ProcessImageName.h"

namespace ruvevid {

namespace {

constexpr std::string_view kDeletedMark = " (deleted)";

std::string AfterLastSlash(std::string_view Path) {
  const std::size_t Slash = Path.rfind('/');
  return std::string(Slash == std::string_view::npos ? Path : Path.substr(Slash + 1));
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
  const std::size_t Close = Stat.rfind(')');
  if (Close == std::string_view::npos || Close + 2 >= Stat.size()) return true;
  const char State = Stat[Close + 2];
  return State == 'Z' || State == 'X';
}

}  // namespace ruvevid
