// Throughput of the legacy decoders (shrink, reduce, implode) on real PKZIP-era entries.
//
//   legacy_bench [fixtures-zip-folder=../shared/fixtures/zip] [rounds=5]
//
// Run from the project root. Every entry of methods 1 to 6 of the archives below is decoded
// repeatedly (about 20 MB of output per method group and round) through the same seam the
// extractor binds, with block writes that only count. Rates are decoded megabytes (10^6 bytes)
// per second of thread CPU time, the median of the rounds.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/codec/LegacyDecoder.h"

namespace {

struct TEntry {
  ruvevid::TLegacyEntry Info;
  std::vector<std::uint8_t> Data;
};

std::uint32_t Le(const std::vector<std::uint8_t>& Bytes, std::size_t Offset, int Width) {
  if (Offset + static_cast<std::size_t>(Width) > Bytes.size()) throw std::runtime_error("short");
  std::uint32_t Value = 0;
  for (int I = Width - 1; I >= 0; --I) Value = (Value << 8) | Bytes[Offset + I];
  return Value;
}

// The legacy-method entries of a zip archive, from its central directory.
std::vector<TEntry> LegacyEntries(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw std::runtime_error("cannot open " + Path);
  const std::vector<std::uint8_t> Zip{std::istreambuf_iterator<char>(In),
                                      std::istreambuf_iterator<char>()};
  std::size_t End = Zip.size() - 22;
  while (Le(Zip, End, 4) != 0x06054b50) {
    if (End == 0) throw std::runtime_error("no end record in " + Path);
    --End;
  }
  std::size_t Central = Le(Zip, End + 16, 4);
  std::vector<TEntry> Entries;
  for (std::uint32_t I = 0, Count = Le(Zip, End + 10, 2); I < Count; ++I) {
    TEntry Entry;
    Entry.Info.Flags = static_cast<std::uint16_t>(Le(Zip, Central + 8, 2));
    Entry.Info.Method = Le(Zip, Central + 10, 2);
    const std::uint32_t Packed = Le(Zip, Central + 20, 4);
    Entry.Info.CompressedSize = Packed;
    Entry.Info.UnpackedSize = Le(Zip, Central + 24, 4);
    const std::size_t Local = Le(Zip, Central + 42, 4);
    const std::size_t Data = Local + 30 + Le(Zip, Local + 26, 2) + Le(Zip, Local + 28, 2);
    Entry.Data.assign(Zip.begin() + static_cast<std::ptrdiff_t>(Data),
                      Zip.begin() + static_cast<std::ptrdiff_t>(Data + Packed));
    if (ruvevid::TLegacyDecoder::HandlesMethod(Entry.Info.Method)) Entries.push_back(Entry);
    Central += 46 + Le(Zip, Central + 28, 2) + Le(Zip, Central + 30, 2) + Le(Zip, Central + 32, 2);
  }
  return Entries;
}

double ThreadSeconds() {
  timespec Now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Now);
  return static_cast<double>(Now.tv_sec) + static_cast<double>(Now.tv_nsec) * 1e-9;
}

// Decodes one entry; returns the bytes written.
std::int64_t Decode(const TEntry& Entry) {
  std::size_t Position = 0;
  std::int64_t Written = 0;
  ruvevid::TLegacyIo Io;
  Io.ReadBlock = [&](std::uint8_t* Buffer, int Count, bool) {
    const std::size_t Got = std::min(static_cast<std::size_t>(Count), Entry.Data.size() - Position);
    std::copy_n(Entry.Data.begin() + static_cast<std::ptrdiff_t>(Position), Got, Buffer);
    Position += Got;
    return static_cast<int>(Got);
  };
  Io.WriteBlock = [&](std::uint8_t*, int Count) {
    Written += Count;
    return Count;
  };
  Io.RaiseError = [](int Code) { throw std::runtime_error("error " + std::to_string(Code)); };
  ruvevid::TLegacyDecoder Legacy(Io, Entry.Info);
  Legacy.RunMethod();
  Legacy.FreeTables();
  Legacy.FlushOutput();
  return Written;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string Folder = argc > 1 ? argv[1] : "../shared/fixtures/zip";
  const int Rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  struct TGroup {
    const char* Name;
    std::vector<const char*> Files;
    std::vector<std::uint32_t> Methods;
  };
  const TGroup Groups[] = {
      {"shrink (method 1)", {"Zip.shrink.zip", "gen-a-hw-shrink.zip"}, {1}},
      {"reduce (methods 2-5)",
       {"Zip.reduce1.zip", "Zip.reduce2.zip", "gen-a-hw-reduce3.zip"},
       {2, 3, 4, 5}},
      {"implode (method 6)", {"moby-imploded.zip", "gen-a-hw-implode-4k-3trees.zip"}, {6}},
  };
  try {
    for (const TGroup& Group : Groups) {
      std::vector<TEntry> Entries;
      for (const char* File : Group.Files) {
        for (TEntry& Entry : LegacyEntries(Folder + "/" + File)) {
          if (std::find(Group.Methods.begin(), Group.Methods.end(), Entry.Info.Method) !=
              Group.Methods.end()) {
            Entries.push_back(std::move(Entry));
          }
        }
      }
      std::int64_t Once = 0;
      for (const TEntry& Entry : Entries) Once += Entry.Info.UnpackedSize;
      const int Repeats = static_cast<int>(std::max<std::int64_t>(1, 20'000'000 / Once));
      std::vector<double> Rates;
      for (int Round = 0; Round < Rounds; ++Round) {
        std::int64_t Bytes = 0;
        const double Start = ThreadSeconds();
        for (int Repeat = 0; Repeat < Repeats; ++Repeat) {
          for (const TEntry& Entry : Entries) Bytes += Decode(Entry);
        }
        Rates.push_back(static_cast<double>(Bytes) / 1e6 / (ThreadSeconds() - Start));
      }
      std::sort(Rates.begin(), Rates.end());
      std::printf("%-22s %3zu entries, %8lld bytes each pass: %7.1f MB/s (median of %d)\n",
                  Group.Name, Entries.size(), static_cast<long long>(Once), Rates[Rates.size() / 2],
                  Rounds);
    }
  } catch (const std::exception& Error) {
    std::fprintf(stderr, "legacy_bench: %s\n", Error.what());
    return 1;
  }
  return 0;
}
