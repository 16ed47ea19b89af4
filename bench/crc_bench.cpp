// CRC-32 throughput: the engine's CRC (carry-less multiplication where the processor has it), its
// slicing-by-8 and byte-at-a-time forms, against zlib's crc32 on the same 64 KB and 1 MB buffers of
// random bytes. See README.md for the command.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "archive/codec/Crc.h"

namespace {

std::vector<std::uint8_t> RandomBuffer(std::size_t Size) {
  std::mt19937 Gen(1234);
  std::vector<std::uint8_t> Data(Size);
  for (auto& B : Data) B = static_cast<std::uint8_t>(Gen());
  return Data;
}

void BM_Crc32Engine(benchmark::State& State) {
  const auto Data = RandomBuffer(static_cast<std::size_t>(State.range(0)));
  for (auto _ : State) {
    benchmark::DoNotOptimize(ruvevid::UpdateCrc32(ruvevid::kCrc32Start, Data.data(), Data.size()));
  }
  State.SetBytesProcessed(State.iterations() * State.range(0));
}

void BM_Crc32Slicing8(benchmark::State& State) {
  const auto Data = RandomBuffer(static_cast<std::size_t>(State.range(0)));
  for (auto _ : State) {
    benchmark::DoNotOptimize(
        ruvevid::UpdateCrc32Slicing8(ruvevid::kCrc32Start, Data.data(), Data.size()));
  }
  State.SetBytesProcessed(State.iterations() * State.range(0));
}

void BM_Crc32Bytewise(benchmark::State& State) {
  const auto Data = RandomBuffer(static_cast<std::size_t>(State.range(0)));
  for (auto _ : State) {
    benchmark::DoNotOptimize(
        ruvevid::UpdateCrc32Bytewise(ruvevid::kCrc32Start, Data.data(), Data.size()));
  }
  State.SetBytesProcessed(State.iterations() * State.range(0));
}

void BM_Crc32Zlib(benchmark::State& State) {
  const auto Data = RandomBuffer(static_cast<std::size_t>(State.range(0)));
  for (auto _ : State) {
    benchmark::DoNotOptimize(crc32(0, Data.data(), static_cast<uInt>(Data.size())));
  }
  State.SetBytesProcessed(State.iterations() * State.range(0));
}

// A check that both give the same CRC, so the benchmark never measures a wrong function.
bool SameResults() {
  const auto Data = RandomBuffer(1 << 20);
  const auto Ours = ~ruvevid::UpdateCrc32(ruvevid::kCrc32Start, Data.data(), Data.size());
  const auto Theirs = crc32(0, Data.data(), static_cast<uInt>(Data.size()));
  return Ours == Theirs;
}

}  // namespace

BENCHMARK(BM_Crc32Engine)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_Crc32Slicing8)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_Crc32Bytewise)->Arg(64 << 10)->Arg(1 << 20);
BENCHMARK(BM_Crc32Zlib)->Arg(64 << 10)->Arg(1 << 20);

int main(int argc, char** argv) {
  if (!SameResults()) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
