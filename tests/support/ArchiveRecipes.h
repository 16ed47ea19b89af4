#pragma once
// Archives at the edges of what the extraction must handle, each made by a short Python program
// (with zip and Python's zipfile) in a scratch folder that also receives their payload, f/a.txt and
// f/s/b.bin: streamed and encrypted, behind stubs, with odd end records and names, damaged in
// every way a reader must refuse. Labels such as "Zip64BehindAStub" name them.

#include <filesystem>
#include <string>

namespace ruvevid::test {

struct TArchiveRecipe {
  std::string Make;     // the Python program, run after the payload is written
  std::string Archive;  // what it makes, relative to the folder
};

// The recipe named Label; throws for an unknown label.
const TArchiveRecipe& ArchiveRecipe(const std::string& Label);

// Runs the recipe in Folder; false when it failed.
bool MakeRecipeArchive(const std::string& Label, const std::filesystem::path& Folder);

}  // namespace ruvevid::test
