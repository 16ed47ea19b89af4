// The main of a fuzz target built without libFuzzer: runs the target once over every file named
// on the command line or found in the folders named, and, with --entries METHODS FOLDER, over the
// compressed data of the entries of those methods in every zip file of FOLDER (a folder that does
// not exist is skipped with a note, so a checkout without the shared fixtures still runs).
//
//   fuzz_inflate corpus/inflate --entries 8 ../shared/fixtures/zip

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "archive/base/LittleEndian.h"

namespace fs = std::filesystem;

namespace ruvevid::fuzz {

std::vector<std::vector<std::uint8_t>> EntryStreams(const fs::path& Zip,
                                                    const std::vector<int>& Methods) {
  std::ifstream In(Zip, std::ios::binary);
  const std::vector<std::uint8_t> Bytes{std::istreambuf_iterator<char>(In), {}};
  std::vector<std::vector<std::uint8_t>> Streams;
  // Every central header; the local header it names gives where the data starts.
  for (std::size_t At = 0; At + 46 <= Bytes.size(); ++At) {
    if (GetLE32(&Bytes[At]) != 0x02014B50u) continue;
    const int Method = GetLE16(&Bytes[At + 10]);
    const std::uint16_t Flags = GetLE16(&Bytes[At + 8]);
    const std::size_t Packed = GetLE32(&Bytes[At + 20]);
    const std::size_t Local = GetLE32(&Bytes[At + 42]);
    if ((Flags & 1) != 0 || std::find(Methods.begin(), Methods.end(), Method) == Methods.end())
      continue;
    if (Local + 30 > Bytes.size() || GetLE32(&Bytes[Local]) != 0x04034B50u) continue;
    const std::size_t Data = Local + 30 + GetLE16(&Bytes[Local + 26]) + GetLE16(&Bytes[Local + 28]);
    if (Data > Bytes.size() || Packed > Bytes.size() - Data) continue;
    std::vector<std::uint8_t> Stream{static_cast<std::uint8_t>(Method * 8 + (Flags & 6))};
    Stream.insert(Stream.end(), Bytes.begin() + static_cast<std::ptrdiff_t>(Data),
                  Bytes.begin() + static_cast<std::ptrdiff_t>(Data + Packed));
    Streams.push_back(std::move(Stream));
  }
  return Streams;
}

}  // namespace ruvevid::fuzz

namespace {

std::size_t Run(const std::vector<std::uint8_t>& Input) {
  LLVMFuzzerTestOneInput(Input.data(), Input.size());
  return 1;
}

std::vector<fs::path> FilesOf(const fs::path& Where) {
  std::vector<fs::path> Files;
  if (fs::is_regular_file(Where)) Files.push_back(Where);
  if (fs::is_directory(Where)) {
    for (const auto& Item : fs::recursive_directory_iterator(Where))
      if (Item.is_regular_file()) Files.push_back(Item.path());
  }
  std::sort(Files.begin(), Files.end());
  return Files;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t Inputs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string Arg = argv[i];
    if (Arg == "--entries" && i + 2 < argc) {
      std::vector<int> Methods;
      std::stringstream List(argv[++i]);
      for (std::string Method; std::getline(List, Method, ',');)
        Methods.push_back(std::stoi(Method));
      const fs::path Folder = argv[++i];
      if (!fs::is_directory(Folder)) {
        std::printf("skipped: %s is absent\n", Folder.c_str());
        continue;
      }
      for (const fs::path& Zip : FilesOf(Folder))
        for (const auto& Stream : ruvevid::fuzz::EntryStreams(Zip, Methods)) Inputs += Run(Stream);
      continue;
    }
    if (!fs::exists(Arg)) {
      std::printf("skipped: %s is absent\n", Arg.c_str());
      continue;
    }
    for (const fs::path& File : FilesOf(Arg)) {
      std::ifstream In(File, std::ios::binary);
      Inputs += Run({std::istreambuf_iterator<char>(In), {}});
    }
  }
  std::printf("%zu inputs replayed\n", Inputs);
  return Inputs > 0 ? 0 : 1;
}
