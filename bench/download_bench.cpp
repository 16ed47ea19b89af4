// Throughput of the download engine against the curl command line, both fetching the same file
// from the project's update server on the loopback interface.
//
//   download_bench [--mb SIZE] [--runs N] [--signed 1]
//
// The engine moves the body in 255-byte blocks and runs a progress handler per block that
// formats the "#,##0" KBytes text as the updater's controller does (without a window). curl runs
// as `curl -s -o FILE URL`. Each run deletes both outputs first and runs the two back to back.
// Reported: the best throughput of each, the median of the per-run ratios, and the CPU time the
// client side used (the engine's thread; curl's process), which a busy machine disturbs less.
// With --signed, the engine also hashes every block as a signed update does, and the signature
// check that follows the last byte (made with the openssl command line) is timed.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/NumberFormat.h"
#include "app/SignedUpdate.h"
#include "download/WinHTTPDownload.h"
#include "server/UpdateServer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration Time) {
  return std::chrono::duration<double>(Time).count();
}

double ThreadCpuSeconds() {
  timespec Now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Now);
  return static_cast<double>(Now.tv_sec) + static_cast<double>(Now.tv_nsec) / 1e9;
}

double CpuSeconds(const rusage& Usage) {
  return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
         static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

// Wall-clock and CPU seconds of one download; a negative wall time when the file came out wrong.
// Check: the seconds the signature check took after the last byte (signed runs only).
struct Timing {
  double Wall = -1;
  double Cpu = 0;
  double Check = 0;
};

// A key pair and the file's signature, made as a publisher makes them.
struct Signing {
  std::string PublicKey;
  std::string Signature;
};

std::string ReadAll(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}

Signing SignFile(const fs::path& Folder, const fs::path& File) {
  const std::string In = "cd '" + Folder.string() + "' && ";
  const std::string Command =
      In + "openssl ecparam -name prime256v1 -genkey -noout -out key.pem && " +
      "openssl pkey -in key.pem -pubout -out key.pub && openssl dgst -sha256 -sign key.pem " +
      "-out file.sig '" + File.string() + "'";
  if (std::system(Command.c_str()) != 0) throw std::runtime_error("openssl failed");
  return {ReadAll(Folder / "key.pub"), ReadAll(Folder / "file.sig")};
}

void WriteTestFile(const fs::path& Path, std::size_t Bytes) {
  std::vector<char> Chunk(1 << 20);
  for (std::size_t I = 0; I < Chunk.size(); ++I) Chunk[I] = static_cast<char>((I * 131) >> 3);
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  for (std::size_t Done = 0; Done < Bytes; Done += Chunk.size()) {
    Out.write(Chunk.data(), static_cast<std::streamsize>(std::min(Chunk.size(), Bytes - Done)));
  }
  if (!Out) throw std::runtime_error("cannot write " + Path.string());
}

std::uintmax_t SizeOf(const fs::path& Path) {
  std::error_code Error;
  const std::uintmax_t Size = fs::file_size(Path, Error);
  return Error ? 0 : Size;
}

Timing RunEngine(const std::string& Url, const fs::path& Folder, std::uintmax_t Expected,
                 const Signing* Signed) {
  fs::remove(Folder / "big.bin");
  const char Separator = ruvevid::UserThousandsSeparator();
  std::size_t TextBytes = 0;  // keeps the formatting from being optimised away
  const double CpuBegin = ThreadCpuSeconds();
  const Clock::time_point Begin = Clock::now();
  ruvevid::TWinHTTPDownload Download;
  ruvevid::TDownLoadItem* Item = Download.DownLoadItems().Add();
  Item->SetURL(Url);
  Item->SetLocalDir(Folder.string());
  Download.OnItemDownloadProgress = [&](ruvevid::TWinHTTPDownload*, ruvevid::TDownLoadItem* AItem,
                                        std::int32_t Current, std::int32_t) {
    const std::string Text = ruvevid::FormatKBytes(Current, Separator) + " / " +
                             ruvevid::FormatKBytes(AItem->FileSize, Separator) + " KBytes";
    TextBytes += Text.size();
  };
  ruvevid::TSignedUpdate Update(Signed != nullptr ? Signed->PublicKey : std::string());
  if (Signed != nullptr) {
    Update.Begin(Signed->Signature);
    Download.OnItemData = [&Update](ruvevid::TWinHTTPDownload*, ruvevid::TDownLoadItem*,
                                    const void* Data,
                                    std::size_t Count) { Update.Absorb(Data, Count); };
  }
  Download.Download();
  const Clock::time_point LastByte = Clock::now();
  if (Signed != nullptr && Update.Check() != ruvevid::TSignatureVerdict::svValid) return {};
  const Clock::time_point Checked = Clock::now();
  const Timing Taken{Seconds(Checked - Begin), ThreadCpuSeconds() - CpuBegin,
                     Seconds(Checked - LastByte)};
  if (TextBytes == 0 || SizeOf(Folder / "big.bin") != Expected) return {};
  return Taken;
}

Timing RunCurl(const std::string& Url, const fs::path& Folder, std::uintmax_t Expected) {
  const fs::path Output = Folder / "curl.bin";
  fs::remove(Output);
  std::vector<std::string> Arguments = {"curl", "-s", "-o", Output.string(), Url};
  std::vector<char*> Argv;
  for (std::string& Argument : Arguments) Argv.push_back(Argument.data());
  Argv.push_back(nullptr);
  const Clock::time_point Begin = Clock::now();
  pid_t Child = -1;
  if (::posix_spawnp(&Child, "curl", nullptr, nullptr, Argv.data(), environ) != 0) return {};
  int Status = 0;
  rusage Usage{};
  ::wait4(Child, &Status, 0, &Usage);
  const Timing Taken{Seconds(Clock::now() - Begin), CpuSeconds(Usage)};
  if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0 || SizeOf(Output) != Expected) return {};
  return Taken;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t Megabytes = 200;
  int Runs = 3;
  bool Signed = false;
  for (int Index = 1; Index + 1 < argc; Index += 2) {
    const std::string_view Option = argv[Index];
    if (Option == "--mb") Megabytes = std::strtoul(argv[Index + 1], nullptr, 10);
    if (Option == "--runs") Runs = std::max(1, std::atoi(argv[Index + 1]));
    if (Option == "--signed") Signed = std::atoi(argv[Index + 1]) != 0;
  }
  const std::uintmax_t Bytes = Megabytes * 1000 * 1000;
  const double Size = static_cast<double>(Bytes) / 1e6;

  char Pattern[] = "/tmp/ruvevid-download-bench-XXXXXX";
  if (::mkdtemp(Pattern) == nullptr) return 1;
  const fs::path Folder = Pattern;
  int Exit = 0;
  try {
    fs::create_directory(Folder / "srv");
    WriteTestFile(Folder / "srv" / "big.bin", Bytes);
    ruvevid::UpdateServer Server(Folder / "srv");
    Server.Start(0);
    const std::string Url = "http://127.0.0.1:" + std::to_string(Server.Port()) + "/big.bin";

    std::printf("file: %ju bytes from %s, %d runs%s\n", Bytes, Url.c_str(), Runs,
                Signed ? ", hashed and its signature checked" : "");
    const Signing Signature = Signed ? SignFile(Folder, Folder / "srv" / "big.bin") : Signing{};
    double WorstCheck = 0;
    RunCurl(Url, Folder, Bytes);  // warm-up: the file is in the page cache from here on
    Timing BestEngine{1e9, 1e9};
    Timing BestCurl{1e9, 1e9};
    std::vector<double> Ratios;
    for (int Run = 1; Run <= Runs; ++Run) {
      const Timing Engine = RunEngine(Url, Folder, Bytes, Signed ? &Signature : nullptr);
      WorstCheck = std::max(WorstCheck, Engine.Check);
      const Timing Curl = RunCurl(Url, Folder, Bytes);
      if (Engine.Wall < 0 || Curl.Wall < 0) throw std::runtime_error("a download came out wrong");
      std::printf(
          "run %d: engine %.3f s (%.0f MB/s, CPU %.3f s), curl %.3f s (%.0f MB/s, CPU %.3f s)\n",
          Run, Engine.Wall, Size / Engine.Wall, Engine.Cpu, Curl.Wall, Size / Curl.Wall, Curl.Cpu);
      BestEngine = {std::min(BestEngine.Wall, Engine.Wall), std::min(BestEngine.Cpu, Engine.Cpu)};
      BestCurl = {std::min(BestCurl.Wall, Curl.Wall), std::min(BestCurl.Cpu, Curl.Cpu)};
      Ratios.push_back(Curl.Wall / Engine.Wall);
    }
    std::sort(Ratios.begin(), Ratios.end());
    std::printf("engine (255-byte blocks, progress text per block): best %.0f MB/s, CPU %.3f s\n",
                Size / BestEngine.Wall, BestEngine.Cpu);
    std::printf("curl -s -o FILE URL:                               best %.0f MB/s, CPU %.3f s\n",
                Size / BestCurl.Wall, BestCurl.Cpu);
    std::printf("throughput ratio engine / curl: best %.2f, median of runs %.2f (target >= 0.80)\n",
                BestCurl.Wall / BestEngine.Wall, Ratios[Ratios.size() / 2]);
    if (Signed) {
      std::printf("signature check after the last byte: at most %.2f ms (target <= 200 ms)\n",
                  WorstCheck * 1000);
    }
  } catch (const std::exception& Error) {
    std::fprintf(stderr, "download_bench: %s\n", Error.what());
    Exit = 1;
  }
  std::error_code Ignored;
  fs::remove_all(Folder, Ignored);
  return Exit;
}
