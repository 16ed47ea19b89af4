#include <windows.h>

#include <memory>
#include <vector>

#include "platform/DriveLayer.h"
#include "platform/WideText.h"
#include "platform/Win32Files.h"

namespace ruvevid {

namespace {

constexpr DWORD kNameUnits = MAX_PATH + 1;

// The root of the volume that holds Path ("C:\", "\\server\share\", a mounted folder).
std::wstring VolumeRootOf(const std::string& Path) {
  const std::wstring Wide = LongPath(Path.empty() ? std::string(".") : Path);
  std::vector<wchar_t> Root(Wide.size() + kNameUnits, L'\0');
  if (!::GetVolumePathNameW(Wide.c_str(), Root.data(), static_cast<DWORD>(Root.size()))) return {};
  std::wstring Result(Root.data());
  // The drive functions want the plain root, with its trailing separator.
  if (Result.starts_with(L"\\\\?\\UNC\\"))
    Result = L"\\\\" + Result.substr(8);
  else if (Result.starts_with(L"\\\\?\\") && Result.size() >= 6 && Result[5] == L':')
    Result = Result.substr(4);
  if (!Result.empty() && Result.back() != L'\\') Result += L'\\';
  return Result;
}

std::wstring RootOf(const std::string& Drive) {
  std::wstring Root = Utf8ToWide(Drive);
  for (wchar_t& C : Root)
    if (C == L'/') C = L'\\';
  if (!Root.empty() && Root.back() != L'\\') Root += L'\\';
  return Root;
}

std::string Win32ErrorText(DWORD Error) {
  wchar_t* Text = nullptr;
  const DWORD Length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, Error, 0, reinterpret_cast<wchar_t*>(&Text), 0, nullptr);
  if (Length == 0 || Text == nullptr) return "error " + std::to_string(Error);
  std::wstring Message(Text, Length);
  ::LocalFree(Text);
  while (!Message.empty() && (Message.back() == L'\n' || Message.back() == L'\r'))
    Message.pop_back();
  return WideToUtf8(Message);
}

TDriveType DriveTypeOfRoot(const std::wstring& Root) {
  const UINT Type = ::GetDriveTypeW(Root.c_str());
  return Type <= DRIVE_RAMDISK ? static_cast<TDriveType>(Type) : TDriveType::dtUnknown;
}

class TWin32DriveLayer final : public IDriveLayer {
 public:
  std::optional<TDriveFacts> QueryDrive(const std::string& Path) override {
    const std::wstring Root = VolumeRootOf(Path);
    if (Root.empty()) return std::nullopt;
    TDriveFacts Facts;
    Facts.Drive = WideToUtf8(Root);
    Facts.DriveType = DriveTypeOfRoot(Root);
    wchar_t Volume[kNameUnits] = {};
    if (::GetVolumeNameForVolumeMountPointW(Root.c_str(), Volume, kNameUnits))
      Facts.Device = WideToUtf8(Volume);
    wchar_t Label[kNameUnits] = {};
    wchar_t FileSystem[kNameUnits] = {};
    if (::GetVolumeInformationW(Root.c_str(), Label, kNameUnits, nullptr, nullptr, nullptr,
                                FileSystem, kNameUnits)) {
      Facts.VolumeLabel = WideToUtf8(Label);
      Facts.FileSystem = WideToUtf8(FileSystem);
    }
    return Facts;
  }

  std::string DriveOf(const std::string& Path) override { return WideToUtf8(VolumeRootOf(Path)); }

  std::optional<TDiskSpace> DiskSpace(const std::string& Drive) override {
    ULARGE_INTEGER Available{};
    ULARGE_INTEGER Total{};
    if (Drive.empty() || !::GetDiskFreeSpaceExW(RootOf(Drive).c_str(), &Available, &Total, nullptr))
      return std::nullopt;
    TDiskSpace Space;
    Space.FreeBytes = Available.QuadPart;
    Space.TotalBytes = Total.QuadPart;
    return Space;
  }

  TWriteProbe ProbeWrite(const std::string& Drive, const std::string& Prefix) override {
    wchar_t Name[MAX_PATH + 1] = {};
    const std::wstring WidePrefix = Utf8ToWide(Prefix);
    if (::GetTempFileNameW(RootOf(Drive).c_str(), WidePrefix.c_str(), 0, Name) == 0)
      return ::GetLastError() == ERROR_WRITE_PROTECT ? TWriteProbe::wpWriteProtected
                                                     : TWriteProbe::wpWritable;
    return ::DeleteFileW(Name) ? TWriteProbe::wpWritable : TWriteProbe::wpWriteProtected;
  }

  std::optional<TVolumeInformation> VolumeInformation(const std::string& Drive,
                                                      std::string& ErrorText) override {
    wchar_t Label[kNameUnits] = {};
    wchar_t FileSystem[kNameUnits] = {};
    DWORD Serial = 0;
    DWORD MaxComponent = 0;
    DWORD Flags = 0;
    if (Drive.empty() || !::GetVolumeInformationW(RootOf(Drive).c_str(), Label, kNameUnits, &Serial,
                                                  &MaxComponent, &Flags, FileSystem, kNameUnits)) {
      ErrorText = Win32ErrorText(Drive.empty() ? ERROR_INVALID_DRIVE : ::GetLastError());
      return std::nullopt;
    }
    TVolumeInformation Volume;
    Volume.Label = WideToUtf8(Label);
    Volume.SerialNumber = Serial;
    Volume.MaxComponentLength = MaxComponent;
    Volume.FileSystemFlags = Flags;
    Volume.FileSystemName = WideToUtf8(FileSystem);
    return Volume;
  }

  TDriveType DriveTypeOf(const std::string& Drive) override {
    return Drive.empty() ? TDriveType::dtNoRootDir : DriveTypeOfRoot(RootOf(Drive));
  }
};

}  // namespace

std::unique_ptr<IDriveLayer> NewSystemDriveLayer() {
  return std::make_unique<TWin32DriveLayer>();
}

std::unique_ptr<IDriveQuery> NewSystemDriveQuery() {
  return std::make_unique<TWin32DriveLayer>();
}

}  // namespace ruvevid
