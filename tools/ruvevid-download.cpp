// Fetches one URL into a folder with the updater's download engine and prints its events.
//
//   ruvevid-download [--all] [--pubkey FILE] URL DIR
//
// One line per event: download-begin, item-header NAME SIZE TYPE, item-begin NAME SIZE,
// progress CURRENT TOTAL (each whole percent; every block with --all), item-end NAME,
// download-stop, download-end, and last error-msg TEXT (the engine's ErrorMsg, may be empty).
// Exits with 0 when the whole body of a 2xx response is in the file, 1 otherwise (an error
// status, a body cut short or stalled, no usable length, a file that cannot be written: the
// outcome is named on the standard error stream), 2 on wrong arguments.
//
// With --pubkey, URL + ".sig" is fetched first and the file must carry that signature (ECDSA
// P-256 / SHA-256, DER) by the PEM public key in FILE, as the updater built with that key
// requires: a file whose signature is missing or does not verify is deleted, and the exit status
// is 1. Operators check what they publish with it.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "download/WinHTTPDownload.h"
#include "platform/UpdateSignature.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: ruvevid-download [--all] [--pubkey FILE] URL DIR\n");
  return 2;
}

int Refuse(const char* Why) {
  std::fflush(stdout);
  std::fprintf(stderr, "ruvevid-download: %s\n", Why);
  return 1;
}

bool ReadText(const std::string& Path, std::string& Text) {
  std::ifstream In(Path, std::ios::binary);
  Text.assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
  return In.good() || In.eof();
}

}  // namespace

int main(int argc, char** argv) {
  bool EveryBlock = false;
  std::string PublicKey;
  std::vector<std::string> Plain;
  for (int I = 1; I < argc; ++I) {
    const std::string_view Arg = argv[I];
    if (Arg == "--all") {
      EveryBlock = true;
    } else if (Arg == "--pubkey") {
      if (I + 1 >= argc || !ReadText(argv[++I], PublicKey) || PublicKey.empty()) return Usage();
    } else {
      Plain.emplace_back(Arg);
    }
  }
  if (Plain.size() != 2) return Usage();

  ruvevid::TWinHTTPDownload Downloader;
  ruvevid::TDownLoadItem* Item = Downloader.DownLoadItems().Add();
  Item->SetURL(Plain[0]);
  Item->SetLocalDir(Plain[1]);

  std::string Signature;
  ruvevid::TSha256 Hash;
  if (!PublicKey.empty()) {
    const ruvevid::TFetchedText Fetched = Downloader.FetchToMemory(Item->URL() + ".sig", 1024);
    if (Fetched.Outcome != ruvevid::TDownloadOutcome::doOk || Fetched.Body.size() > 1024) {
      return Refuse("no signature beside the file");
    }
    Signature = Fetched.Body;
    Downloader.OnItemData = [&Hash](ruvevid::TWinHTTPDownload*, ruvevid::TDownLoadItem*,
                                    const void* Data,
                                    std::size_t Count) { Hash.Update(Data, Count); };
  }

  using ruvevid::TDownLoadItem;
  using ruvevid::TWinHTTPDownload;
  std::int64_t LastPercent = -1;
  Downloader.OnDownloadBegin = [](TWinHTTPDownload*) { std::puts("download-begin"); };
  Downloader.OnItemGetHeader = [](TWinHTTPDownload*, TDownLoadItem* AItem) {
    std::printf("item-header %s %d %s\n", AItem->FileName.c_str(), AItem->FileSize,
                AItem->ContentType.c_str());
  };
  Downloader.OnItemDownloadBegin = [&LastPercent](TWinHTTPDownload*, TDownLoadItem* AItem) {
    LastPercent = -1;
    std::printf("item-begin %s %d\n", AItem->FileName.c_str(), AItem->FileSize);
  };
  Downloader.OnItemDownloadProgress = [&](TWinHTTPDownload*, TDownLoadItem*, std::int32_t Current,
                                          std::int32_t Total) {
    const std::int64_t Percent = Total > 0 ? std::int64_t{Current} * 100 / Total : 0;
    if (!EveryBlock && Percent == LastPercent) return;
    LastPercent = Percent;
    std::printf("progress %d %d\n", Current, Total);
  };
  Downloader.OnItemDownloadEnd = [](TWinHTTPDownload*, TDownLoadItem* AItem) {
    std::printf("item-end %s\n", AItem->FileName.c_str());
  };
  Downloader.OnDownloadStop = [](TWinHTTPDownload*) { std::puts("download-stop"); };
  Downloader.OnDownloadEnd = [](TWinHTTPDownload*) { std::puts("download-end"); };

  try {
    Downloader.Download();
  } catch (const std::exception& Error) {
    std::printf("error-msg %s\n", Downloader.ErrorMsg().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "ruvevid-download: %s\n", Error.what());
    return 1;
  }
  std::printf("error-msg %s\n", Downloader.ErrorMsg().c_str());
  if (Item->Outcome == ruvevid::TDownloadOutcome::doOk && !PublicKey.empty() &&
      ruvevid::VerifySha256Signature(PublicKey, Hash.Final(), Signature) !=
          ruvevid::TSignatureVerdict::svValid) {
    std::remove(Item->FullFileName().c_str());
    return Refuse("the signature does not verify: the file is deleted");
  }
  if (Item->Outcome == ruvevid::TDownloadOutcome::doOk) return 0;
  std::fflush(stdout);
  std::fprintf(stderr, "ruvevid-download: %s", ruvevid::OutcomeName(Item->Outcome));
  if (Item->HttpStatus != 0) std::fprintf(stderr, " (HTTP %d)", Item->HttpStatus);
  std::fputc('\n', stderr);
  return 1;
}
