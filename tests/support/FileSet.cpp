#include "support/FileSet.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "support/ChildProgram.h"
#include "support/TestPaths.h"

namespace ruvevid::test {

namespace fs = std::filesystem;

namespace {

void Run(const fs::path& Folder, const std::string& Command) {
  if (!RunShellIn(Folder, Command)) throw std::runtime_error("failed: " + Command);
}

}  // namespace

std::string ReadBytes(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot read " + Path.string());
  return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> ReadByteVector(const fs::path& Path) {
  const std::string Bytes = ReadBytes(Path);
  return std::vector<std::uint8_t>(Bytes.begin(), Bytes.end());
}

void WriteBytes(const fs::path& Path, std::string_view Bytes) {
  if (Path.has_parent_path()) fs::create_directories(Path.parent_path());
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  if (!Out) throw std::runtime_error("cannot write " + Path.string());
}

void WriteBytes(const fs::path& Path, const std::vector<std::uint8_t>& Bytes) {
  WriteBytes(Path, std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size()));
}

TFileSet ReadFileSet(const fs::path& Folder, const std::set<std::string>& Ignore) {
  TFileSet Files;
  for (fs::recursive_directory_iterator It(Folder), End; It != End; ++It) {
    const std::string Name = fs::relative(It->path(), Folder).generic_string();
    if (Ignore.count(Name) != 0) {
      if (It->is_directory()) It.disable_recursion_pending();
      continue;
    }
    const fs::file_status Status = It->symlink_status();
    if (fs::is_symlink(Status)) {
      Files[Name] = "<link>";
    } else if (fs::is_directory(Status)) {
      // Only an empty folder tells anything its files do not.
      if (fs::is_empty(It->path())) Files[Name] = "<folder>";
    } else if (fs::is_regular_file(Status)) {
      Files[Name] = ReadBytes(It->path());
    } else {
      Files[Name] = "<other>";
    }
  }
  return Files;
}

void WriteFileSet(const fs::path& Folder, const TFileSet& Files,
                  const std::set<std::string>& Executable) {
  for (const auto& [Name, Bytes] : Files) {
    const fs::path Path = Folder / Name;
    fs::create_directories(Path.parent_path());
    WriteBytes(Path, Bytes);
    fs::permissions(Path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    if (Executable.count(Name) != 0) {
      fs::permissions(Path, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                      fs::perm_options::add);
    }
  }
}

void MakeStoredZip(const TFileSet& Files, const std::set<std::string>& Executable, TZipMaker Maker,
                   const fs::path& Archive) {
  const TempDir Payload;
  WriteFileSet(Payload.path(), Files, Executable);
  fs::create_directories(Archive.parent_path());
  fs::remove(Archive);
  if (Maker == TZipMaker::zmInfoZip) {
    Run(Payload.path(), "zip -0 -q -r -X '" + Archive.string() + "' .");
    return;
  }
  // Version made by 0 (MS-DOS): the external attributes hold the archive bit and nothing else.
  Run(Payload.path(),
      "python3 -c '\nimport os, sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], \"w\", zipfile.ZIP_STORED) as z:\n"
      "  for top, dirs, files in sorted(os.walk(\".\")):\n"
      "    for f in sorted(files):\n"
      "      p = os.path.join(top, f)[2:]\n"
      "      i = zipfile.ZipInfo(p, (2025, 1, 1, 12, 0, 0))\n"
      "      i.create_system = 0\n"
      "      i.external_attr = 0x20\n"
      "      z.writestr(i, open(p, \"rb\").read())\n' '" +
          Archive.string() + "'");
}

std::string NoiseBytes(std::size_t Size, std::uint32_t Seed) {
  std::string Bytes(Size, '\0');
  std::uint32_t State = Seed * 2654435761u + 1;
  for (char& Byte : Bytes) {
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    Byte = static_cast<char>(State >> 24);
  }
  return Bytes;
}

bool RunPython(const fs::path& Folder, const std::string& Program) {
  // The program goes in on standard input, so nothing is left in Folder.
  const std::string Line = "cd '" + Folder.string() +
                           "' && python3 - >/dev/null 2>&1 <<'RUVEVID_PYTHON'\n" + Program +
                           "\nRUVEVID_PYTHON\n";
  return std::system(Line.c_str()) == 0;
}

void DamageFirst(const fs::path& Path, const std::string& Needle) {
  std::string Bytes = ReadBytes(Path);
  const std::size_t At = Bytes.find(Needle);
  if (At == std::string::npos) throw std::runtime_error("nothing to damage in " + Path.string());
  Bytes[At] = static_cast<char>(Bytes[At] ^ 0x55);
  WriteBytes(Path, Bytes);
}

}  // namespace ruvevid::test
