// Fetches one URL into a folder with the updater's download engine and prints its events.
//
//   ruvevid-download [--all] URL DIR
//
// One line per event: download-begin, item-header NAME SIZE TYPE, item-begin NAME SIZE,
// progress CURRENT TOTAL (each whole percent; every block with --all), item-end NAME,
// download-stop, download-end, and last error-msg TEXT (the engine's ErrorMsg, may be empty).
// Exits with 0 when the whole body of a 2xx response is in the file, 1 otherwise (an error
// status, a body cut short or stalled, no usable length, a file that cannot be written: the
// outcome is named on the standard error stream), 2 on wrong arguments.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "download/WinHTTPDownload.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: ruvevid-download [--all] URL DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool EveryBlock = false;
  int First = 1;
  if (argc > 1 && std::string_view(argv[1]) == "--all") {
    EveryBlock = true;
    First = 2;
  }
  if (argc - First != 2) return Usage();

  ruvevid::TWinHTTPDownload Downloader;
  ruvevid::TDownLoadItem* Item = Downloader.DownLoadItems().Add();
  Item->SetURL(argv[First]);
  Item->SetLocalDir(argv[First + 1]);

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
  if (Item->Outcome == ruvevid::TDownloadOutcome::doOk) return 0;
  std::fflush(stdout);
  std::fprintf(stderr, "ruvevid-download: %s", ruvevid::OutcomeName(Item->Outcome));
  if (Item->HttpStatus != 0) std::fprintf(stderr, " (HTTP %d)", Item->HttpStatus);
  std::fputc('\n', stderr);
  return 1;
}
