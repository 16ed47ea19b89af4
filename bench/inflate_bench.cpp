// Raw inflate throughput of this decoder against zlib's inflate on the same streams.
//
//   inflate_bench [megabytes=64] [rounds=5] [--deflate64]
//
// The corpus is mixed (text-like, binary-like, runs and incompressible stretches), compressed by
// zlib at level 6 as raw deflate. Both decoders deliver their output in 32 KB pieces, as the
// entry loop of the extractor asks for it. Rates are decoded megabytes (10^6 bytes) per second
// of thread CPU time, the median of the rounds. With --deflate64 the same data is also packed by
// 7-Zip (7zz, deflate64) and decoded by this decoder alone (zlib has no deflate64).

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/codec/Inflate.h"

namespace {

using TBytes = std::vector<std::uint8_t>;
using ruvevid::TInflateVariant;

constexpr std::size_t kPiece = 32768;

TBytes MakeCorpus(std::size_t Size) {
  std::mt19937 Random(42);
  static const char* const kWords[] = {"update ", "label ",  "maker ",   "archive ", "the ",
                                       "of ",     "window ", "deflate ", "zip ",     "entry ",
                                       "stream ", "and ",    "a ",       "block\n",  "code "};
  TBytes Data;
  Data.reserve(Size);
  while (Data.size() < Size) {
    const std::size_t Part = 4096 + Random() % 60000;
    switch (Random() % 8) {
      case 0:
      case 1:
      case 2:  // text
        for (std::size_t I = 0; I < Part / 6; ++I) {
          const char* Word = kWords[Random() % std::size(kWords)];
          Data.insert(Data.end(), Word, Word + std::strlen(Word));
        }
        break;
      case 3:
      case 4: {  // structured binary
        std::uint32_t Value = Random();
        for (std::size_t I = 0; I < Part / 4; ++I) {
          Value += Random() % 64;
          for (int Byte = 0; Byte < 4; ++Byte)
            Data.push_back(static_cast<std::uint8_t>(Value >> (8 * Byte)));
        }
        break;
      }
      case 5:  // runs
        for (std::size_t Made = 0; Made < Part;) {
          const std::size_t Run = 1 + Random() % 300;
          Data.insert(Data.end(), Run, static_cast<std::uint8_t>(Random() % 3));
          Made += Run;
        }
        break;
      case 6:  // incompressible
        for (std::size_t I = 0; I < Part; ++I) Data.push_back(static_cast<std::uint8_t>(Random()));
        break;
      default:  // a repeat of something earlier
        if (Data.size() > 100000) {
          const std::size_t From = Data.size() - 1 - Random() % 30000 - Part % 2000;
          for (std::size_t I = 0; I < Part % 20000; ++I) Data.push_back(Data[From + I]);
        }
        break;
    }
  }
  Data.resize(Size);
  return Data;
}

TBytes ZlibRawDeflate(const TBytes& Data, int Level) {
  z_stream Stream{};
  deflateInit2(&Stream, Level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  TBytes Out(deflateBound(&Stream, static_cast<uLong>(Data.size())));
  Stream.next_in = const_cast<Bytef*>(Data.data());
  Stream.avail_in = static_cast<uInt>(Data.size());
  Stream.next_out = Out.data();
  Stream.avail_out = static_cast<uInt>(Out.size());
  deflate(&Stream, Z_FINISH);
  Out.resize(Stream.total_out);
  deflateEnd(&Stream);
  return Out;
}

// Both decoders write each 32 KB piece to the same place, as a writer would take it from there.
std::size_t DecodeOurs(const TBytes& Packed, TInflateVariant Variant, TBytes& Piece,
                       std::uint32_t& Sum) {
  ruvevid::TInflateRecord Record;
  if (ruvevid::DecoderInit(Record, Variant, -15) != 0) return 0;
  Record.NextIn = Packed.data();
  Record.AvailIn = static_cast<std::uint32_t>(Packed.size());
  int Result = 0;
  do {
    Record.NextOut = Piece.data();
    Record.AvailOut = kPiece;
    Result = ruvevid::DecoderRun(Record);
    Sum += Piece[0];
  } while (Result == 0);
  const std::size_t Total = Result == 1 ? Record.TotalOut : 0;
  ruvevid::DecoderFree(Record);
  return Total;
}

std::size_t DecodeZlib(const TBytes& Packed, TBytes& Piece, std::uint32_t& Sum) {
  z_stream Stream{};
  if (inflateInit2(&Stream, -15) != Z_OK) return 0;
  Stream.next_in = const_cast<Bytef*>(Packed.data());
  Stream.avail_in = static_cast<uInt>(Packed.size());
  int Result = Z_OK;
  do {
    Stream.next_out = Piece.data();
    Stream.avail_out = kPiece;
    Result = inflate(&Stream, Z_NO_FLUSH);
    Sum += Piece[0];
  } while (Result == Z_OK);
  const std::size_t Total = Result == Z_STREAM_END ? Stream.total_out : 0;
  inflateEnd(&Stream);
  return Total;
}

// CPU time of this thread: the machine is shared, so wall time would measure the neighbours too.
double CpuSeconds() {
  timespec Now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Now);
  return static_cast<double>(Now.tv_sec) + static_cast<double>(Now.tv_nsec) * 1e-9;
}

template <typename TRun>
double MedianMBps(std::size_t Bytes, int Rounds, TRun Run) {
  std::vector<double> Rates;
  for (int Round = 0; Round < Rounds; ++Round) {
    const double Start = CpuSeconds();
    const std::size_t Done = Run();
    const double Seconds = CpuSeconds() - Start;
    if (Done != Bytes) {
      std::fprintf(stderr, "decoded %zu bytes, expected %zu\n", Done, Bytes);
      std::exit(1);
    }
    Rates.push_back(static_cast<double>(Bytes) / 1e6 / Seconds);
  }
  std::sort(Rates.begin(), Rates.end());
  return Rates[Rates.size() / 2];
}

// Packs Data with 7-Zip's deflate64 and returns the raw stream of the single entry (empty when
// 7zz is missing).
TBytes SevenZipDeflate64(const TBytes& Data) {
  const std::string Dir = "/tmp/inflate_bench_" + std::to_string(::getpid());
  if (std::system(("mkdir -p " + Dir).c_str()) != 0) return {};
  {
    std::ofstream Out(Dir + "/corpus.bin", std::ios::binary);
    Out.write(reinterpret_cast<const char*>(Data.data()),
              static_cast<std::streamsize>(Data.size()));
  }
  const std::string Command =
      "cd " + Dir + " && 7zz a -tzip -mm=Deflate64 -mx=5 c.zip corpus.bin > /dev/null 2>&1";
  TBytes Zip;
  if (std::system(Command.c_str()) == 0) {
    std::ifstream In(Dir + "/c.zip", std::ios::binary);
    Zip.assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
  }
  std::system(("rm -rf " + Dir).c_str());
  if (Zip.size() < 30) return {};
  const auto Le16 = [&](std::size_t At) {
    return static_cast<std::size_t>(Zip[At] | (Zip[At + 1] << 8));
  };
  const std::size_t Packed = Le16(18) | (Le16(20) << 16);
  const std::size_t Start = 30 + Le16(26) + Le16(28);
  if (Start + Packed > Zip.size()) return {};
  return TBytes(Zip.begin() + static_cast<std::ptrdiff_t>(Start),
                Zip.begin() + static_cast<std::ptrdiff_t>(Start + Packed));
}

}  // namespace

int main(int Argc, char** Argv) {
  std::size_t Megabytes = 64;
  int Rounds = 5;
  bool Deflate64 = false;
  int Position = 0;
  for (int I = 1; I < Argc; ++I) {
    if (std::strcmp(Argv[I], "--deflate64") == 0) {
      Deflate64 = true;
    } else if (Position++ == 0) {
      Megabytes = std::strtoul(Argv[I], nullptr, 10);
    } else {
      Rounds = std::atoi(Argv[I]);
    }
  }
  const TBytes Data = MakeCorpus(Megabytes << 20);
  const TBytes Packed = ZlibRawDeflate(Data, 6);
  std::printf("corpus %zu bytes, zlib level 6: %zu bytes (%.1f%%), %d rounds, median\n",
              Data.size(), Packed.size(),
              100.0 * static_cast<double>(Packed.size()) / static_cast<double>(Data.size()),
              Rounds);
  TBytes Piece(kPiece);
  std::uint32_t Sum = 0;
  const double Ours = MedianMBps(Data.size(), Rounds, [&] {
    return DecodeOurs(Packed, TInflateVariant::ivDeflate, Piece, Sum);
  });
  const double Zlib =
      MedianMBps(Data.size(), Rounds, [&] { return DecodeZlib(Packed, Piece, Sum); });
  std::printf("deflate   ruvevid %8.1f MB/s   zlib %s %8.1f MB/s   ratio %.2f\n", Ours,
              zlibVersion(), Zlib, Ours / Zlib);
  if (Deflate64) {
    const TBytes Packed64 = SevenZipDeflate64(Data);
    if (Packed64.empty()) {
      std::printf("deflate64 skipped: 7zz not available\n");
    } else {
      const double Ours64 = MedianMBps(Data.size(), Rounds, [&] {
        return DecodeOurs(Packed64, TInflateVariant::ivDeflate64, Piece, Sum);
      });
      std::printf("deflate64 ruvevid %8.1f MB/s   (7-Zip deflate64 -mx=5: %zu bytes)\n", Ours64,
                  Packed64.size());
    }
  }
  return Sum == 0x12345678 ? 2 : 0;
}
