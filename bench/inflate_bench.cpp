// Raw inflate throughput of this decoder against zlib's inflate and libdeflate on the same streams.
//
//   inflate_bench [megabytes=64] [rounds=5] [--deflate64]
//
// The corpus is mixed (text-like, binary-like, runs and incompressible stretches), compressed by
// zlib at level 6 as raw deflate. This decoder and zlib deliver their output in 32 KB pieces, as
// the entry loop of the extractor asks for it; this decoder is also timed with the whole output
// buffer at once. libdeflate (when it was found at build time) decodes the whole stream into a
// buffer of the known size, the only way it decodes. Rates are decoded megabytes (10^6 bytes) per
// second of thread CPU time, the median of the rounds; the decoders run round by round in turn,
// so a busy neighbour slows them alike. Every decoder's output is compared with the corpus once
// before the timing. With --deflate64 the same data is also packed by 7-Zip (7zz, deflate64) and
// decoded by this decoder alone (neither zlib nor libdeflate has deflate64).

#include <unistd.h>
#include <zlib.h>
#if defined(RUVEVID_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
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

// The decoders write each 32 KB piece of Out to its start, as a writer would take it from there,
// or, with Spread, each piece after the previous one (to check the output). With Whole this
// decoder gets all of Out at once.
enum class TOutput { oPieces, oSpread, oWhole };

std::size_t DecodeOurs(const TBytes& Packed, TInflateVariant Variant, TBytes& Out, TOutput How,
                       std::uint32_t& Sum) {
  ruvevid::TInflateRecord Record;
  if (ruvevid::DecoderInit(Record, Variant, -15) != 0) return 0;
  Record.NextIn = Packed.data();
  Record.AvailIn = static_cast<std::uint32_t>(Packed.size());
  int Result = 0;
  do {
    const std::size_t At = How == TOutput::oPieces ? 0 : Record.TotalOut;
    const std::size_t Room = Out.size() - At;
    Record.NextOut = Out.data() + At;
    Record.AvailOut =
        static_cast<std::uint32_t>(How == TOutput::oWhole ? Room : std::min(Room, kPiece));
    Result = ruvevid::DecoderRun(Record);
    Sum += Out[0];
  } while (Result == 0);
  const std::size_t Total = Result == 1 ? Record.TotalOut : 0;
  ruvevid::DecoderFree(Record);
  return Total;
}

std::size_t DecodeZlib(const TBytes& Packed, TBytes& Out, TOutput How, std::uint32_t& Sum) {
  z_stream Stream{};
  if (inflateInit2(&Stream, -15) != Z_OK) return 0;
  Stream.next_in = const_cast<Bytef*>(Packed.data());
  Stream.avail_in = static_cast<uInt>(Packed.size());
  int Result = Z_OK;
  do {
    const std::size_t At = How == TOutput::oPieces ? 0 : Stream.total_out;
    Stream.next_out = Out.data() + At;
    Stream.avail_out = static_cast<uInt>(std::min(Out.size() - At, kPiece));
    Result = inflate(&Stream, Z_NO_FLUSH);
    Sum += Out[0];
  } while (Result == Z_OK);
  const std::size_t Total = Result == Z_STREAM_END ? Stream.total_out : 0;
  inflateEnd(&Stream);
  return Total;
}

#if defined(RUVEVID_HAVE_LIBDEFLATE)
std::size_t DecodeLibdeflate(libdeflate_decompressor* Decompressor, const TBytes& Packed,
                             TBytes& Out, std::uint32_t& Sum) {
  std::size_t Total = 0;
  if (libdeflate_deflate_decompress(Decompressor, Packed.data(), Packed.size(), Out.data(),
                                    Out.size(), &Total) != LIBDEFLATE_SUCCESS) {
    return 0;
  }
  Sum += Out[0];
  return Total;
}
#endif

// Decoding must give the corpus back before any rate counts.
void CheckOutput(const char* Name, const TBytes& Data, const TBytes& Out, std::size_t Done) {
  if (Done != Data.size() || !std::equal(Data.begin(), Data.end(), Out.begin())) {
    std::fprintf(stderr, "%s: output differs from the corpus\n", Name);
    std::exit(1);
  }
}

// CPU time of this thread: the machine is shared, so wall time would measure the neighbours too.
double CpuSeconds() {
  timespec Now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Now);
  return static_cast<double>(Now.tv_sec) + static_cast<double>(Now.tv_nsec) * 1e-9;
}

// One timed decoder: its rate of every round so far.
struct TContender {
  const char* Name;
  std::function<std::size_t()> Run;
  std::vector<double> Rates;

  void Round(std::size_t Bytes) {
    const double Start = CpuSeconds();
    const std::size_t Done = Run();
    const double Seconds = CpuSeconds() - Start;
    if (Done != Bytes) {
      std::fprintf(stderr, "%s decoded %zu bytes, expected %zu\n", Name, Done, Bytes);
      std::exit(1);
    }
    Rates.push_back(static_cast<double>(Bytes) / 1e6 / Seconds);
  }
  double Median() const {
    std::vector<double> Sorted = Rates;
    std::sort(Sorted.begin(), Sorted.end());
    return Sorted[Sorted.size() / 2];
  }
};

// Runs the contenders in turn, Rounds times.
void RunAlternating(std::vector<TContender>& Contenders, std::size_t Bytes, int Rounds) {
  for (int Round = 0; Round < Rounds; ++Round) {
    for (TContender& Contender : Contenders) Contender.Round(Bytes);
  }
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
  TBytes Out(Data.size());
  std::uint32_t Sum = 0;
  CheckOutput("ruvevid", Data, Out,
              DecodeOurs(Packed, TInflateVariant::ivDeflate, Out, TOutput::oSpread, Sum));
  CheckOutput("ruvevid whole", Data, Out,
              DecodeOurs(Packed, TInflateVariant::ivDeflate, Out, TOutput::oWhole, Sum));
  CheckOutput("zlib", Data, Out, DecodeZlib(Packed, Out, TOutput::oSpread, Sum));
  std::vector<TContender> Contenders = {
      {"ruvevid",
       [&] { return DecodeOurs(Packed, TInflateVariant::ivDeflate, Out, TOutput::oPieces, Sum); },
       {}},
      {"zlib", [&] { return DecodeZlib(Packed, Out, TOutput::oPieces, Sum); }, {}},
      {"ruvevid whole",
       [&] { return DecodeOurs(Packed, TInflateVariant::ivDeflate, Out, TOutput::oWhole, Sum); },
       {}},
  };
#if defined(RUVEVID_HAVE_LIBDEFLATE)
  libdeflate_decompressor* Decompressor = libdeflate_alloc_decompressor();
  if (Decompressor == nullptr) return 1;
  CheckOutput("libdeflate", Data, Out, DecodeLibdeflate(Decompressor, Packed, Out, Sum));
  Contenders.push_back(
      {"libdeflate", [&] { return DecodeLibdeflate(Decompressor, Packed, Out, Sum); }, {}});
#endif
  RunAlternating(Contenders, Data.size(), Rounds);
  const double Ours = Contenders[0].Median();
  const double Zlib = Contenders[1].Median();
  const double Whole = Contenders[2].Median();
  std::printf("deflate   ruvevid %8.1f MB/s   zlib %s %8.1f MB/s   ratio %.2f\n", Ours,
              zlibVersion(), Zlib, Ours / Zlib);
#if defined(RUVEVID_HAVE_LIBDEFLATE)
  const double Libdeflate = Contenders[3].Median();
  std::printf("deflate   libdeflate %s (whole buffer) %8.1f MB/s\n", LIBDEFLATE_VERSION_STRING,
              Libdeflate);
  std::printf("          ruvevid / libdeflate: 32 KB pieces %.2f, whole buffer %.2f (%.1f MB/s)\n",
              Ours / Libdeflate, Whole / Libdeflate, Whole);
  libdeflate_free_decompressor(Decompressor);
#else
  std::printf(
      "deflate   ruvevid whole buffer %8.1f MB/s; libdeflate missing at build time "
      "(install libdeflate-dev and configure again to compare)\n",
      Whole);
#endif
  if (Deflate64) {
    const TBytes Packed64 = SevenZipDeflate64(Data);
    if (Packed64.empty()) {
      std::printf("deflate64 skipped: 7zz not available\n");
    } else {
      CheckOutput("ruvevid deflate64", Data, Out,
                  DecodeOurs(Packed64, TInflateVariant::ivDeflate64, Out, TOutput::oSpread, Sum));
      std::vector<TContender> Deflate64Runs = {
          {"ruvevid deflate64",
           [&] {
             return DecodeOurs(Packed64, TInflateVariant::ivDeflate64, Out, TOutput::oPieces, Sum);
           },
           {}}};
      RunAlternating(Deflate64Runs, Data.size(), Rounds);
      std::printf("deflate64 ruvevid %8.1f MB/s   (7-Zip deflate64 -mx=5: %zu bytes)\n",
                  Deflate64Runs[0].Median(), Packed64.size());
    }
  }
  return Sum == 0x12345678 ? 2 : 0;
}
