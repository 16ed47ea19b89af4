#pragma once
// A folder's files as a map from relative name to bytes: what a program folder holds, compared
// byte for byte; and stored zip archives made from such a set by real zip tools.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ruvevid::test {

// The bytes of the file Path; throws when it cannot be opened, so that a missing file never
// passes for an empty one.
std::string ReadBytes(const std::filesystem::path& Path);
std::vector<std::uint8_t> ReadByteVector(const std::filesystem::path& Path);

// Makes Path hold exactly Bytes, creating the folders above it; throws when it cannot.
void WriteBytes(const std::filesystem::path& Path, std::string_view Bytes);
void WriteBytes(const std::filesystem::path& Path, const std::vector<std::uint8_t>& Bytes);

// Relative name ('/' between components) to the file's bytes.
using TFileSet = std::map<std::string, std::string>;

// Every regular file below Folder, except those whose relative name is in Ignore. Folders,
// links and other entries are listed with "<folder>", "<link>" or "<other>" as their bytes, so an
// extra one shows in a comparison.
TFileSet ReadFileSet(const std::filesystem::path& Folder, const std::set<std::string>& Ignore = {});

// Writes the files below Folder; the ones named in Executable get u+x (and g+x, o+x).
void WriteFileSet(const std::filesystem::path& Folder, const TFileSet& Files,
                  const std::set<std::string>& Executable = {});

// A stored (method 0) zip archive of Files, made by a real tool: Info-ZIP zip on this system
// (Unix permissions recorded, so executables stay executable), or Python's zipfile writing MS-DOS
// attributes only, as archives made on Windows carry them. Throws when the tool fails.
enum class TZipMaker { zmInfoZip, zmWindows };
void MakeStoredZip(const TFileSet& Files, const std::set<std::string>& Executable, TZipMaker Maker,
                   const std::filesystem::path& Archive);

// Size bytes that look random and hardly compress, the same for the same Seed.
std::string NoiseBytes(std::size_t Size, std::uint32_t Seed);

// Runs a Python 3 program in Folder; true when it exited with 0.
bool RunPython(const std::filesystem::path& Folder, const std::string& Program);

// Flips one byte of the first occurrence of Needle in the file Path (a stored entry's data, say).
void DamageFirst(const std::filesystem::path& Path, const std::string& Needle);

}  // namespace ruvevid::test
