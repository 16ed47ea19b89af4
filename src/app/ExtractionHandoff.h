#pragma once
// The hand-off from the download to the extraction: the controller's item-end step and its
// handlers of the extraction component UnZip1, which follow the extraction in the two gauges,
// start the main application and delete the archive.

#include <cstdint>
#include <memory>
#include <string>

namespace ruvevid {

class TfrmUpdater;
class TDownLoadItem;
class TUnZip;

// Fixed values of the hand-off.
inline constexpr const char* kMainApplication = "Ruvevid.exe";
inline constexpr const char* kTextDownloaded = "을 다운받았습니다.";
inline constexpr const char* kTextExtracting = "의 압축을 풀고 있는 중입니다....";
inline constexpr const char* kTextFolderMissing =
    " 폴더가 존재하지 않아서 압축을 풀 수 없습니다....";
inline constexpr const char* kTextExtracted = "압축을 풀었습니다. 설치를 진행합니다.";

class TExtractionHandoff {
 public:
  explicit TExtractionHandoff(TfrmUpdater& Updater);
  ~TExtractionHandoff();
  TExtractionHandoff(const TExtractionHandoff&) = delete;
  TExtractionHandoff& operator=(const TExtractionHandoff&) = delete;

  // The item-end step, run for every item the download component attempted.
  void ItemDownloadEnd(TDownLoadItem& Item);

  void UnZip1Begin(const std::string& FileName, int Count, bool& Extract);
  void UnZip1Progress(std::uint8_t ProgressByFile, std::uint8_t ProgressByArchive);
  void UnZip1Deactivate();

  TUnZip& UnZip1() { return *FUnZip1; }

 private:
  TfrmUpdater& FUpdater;
  std::unique_ptr<TUnZip> FUnZip1;
};

}  // namespace ruvevid
