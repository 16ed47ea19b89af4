#pragma once
// The hand-off from the download to the extraction: the controller's item-end step and its
// handlers of the extraction component UnZip1. Only a complete download that opens as a zip with
// entries is extracted, and only into the install's staging folder; the new files replace the old
// ones in one commit once every entry has been written and checked. Then the main application is
// started and the archive deleted.

#include <cstdint>
#include <memory>
#include <string>

namespace ruvevid {

class TfrmUpdater;
class TDownLoadItem;
class TInstallTransaction;
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
  void UnZip1End(const std::string& FileName, bool CrcPassed);
  void UnZip1Error(const std::string& FileName, int ECode);
  void UnZip1Deactivate();

  TUnZip& UnZip1() { return *FUnZip1; }

 private:
  // What one extraction found out, for the decision to install.
  struct TStagingRun {
    TInstallTransaction* Install = nullptr;
    std::string Folder;
    std::uint64_t Announced = 0;  // entries the archive's end record lists
    std::uint64_t Passed = 0;     // entries staged and checked
    std::string Failure;          // the first failure's text
    bool Deactivated = false;
  };

  // Installs what the run staged, and starts the main application.
  void Install(TStagingRun& Run);
  void Fail(TStagingRun& Run, const std::string& Text);
  void Checkpoint(const char* Point) const;

  TfrmUpdater& FUpdater;
  std::unique_ptr<TUnZip> FUnZip1;
  TStagingRun* FRun = nullptr;  // the extraction under way
};

}  // namespace ruvevid
