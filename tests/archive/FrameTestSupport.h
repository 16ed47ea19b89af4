#pragma once
// Helpers for the tests of the extraction component frame: a counting application, a component
// whose ProcessArchive is a test function, an event recorder, in-memory and failing streams, and a
// reader for the first local header of a zip file made by a real zip tool.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "archive/base/Stream32.h"
#include "archive/zip/UnZip.h"
#include "platform/Application.h"
#include "support/TestPaths.h"

namespace ruvevid::test {

class TFakeApplication : public IApplication {
 public:
  void ProcessMessages() override {
    ++Pumps;
    if (OnPump) OnPump();
  }
  void Terminate() override { FTerminated = true; }
  bool Terminated() const override { return FTerminated; }
  void Pause(std::uint32_t) override {}

  int Pumps = 0;
  std::function<void()> OnPump;

 private:
  bool FTerminated = false;
};

// A TUnZip whose archive work is a test function, with the detection results settable.
class TProbeUnZip : public TUnZip {
 public:
  using TUnZip::TUnZip;
  using TProcess = std::function<void(TProbeUnZip& Self, std::unique_ptr<TStream32>& Input)>;

  void ForceArcType(TArcType Type) { FArcType = Type; }
  void ForceArchiveFile(const std::string& Name) { FArchiveFile = Name; }
  TZipFormatState& Zip() { return FZip; }

  TProcess Process;
  bool DriveOk = true;

 protected:
  void ProcessArchive(std::unique_ptr<TStream32>& Input) override {
    if (Process) Process(*this, Input);
  }
  bool CheckArchiveDrive() override { return DriveOk; }
};

// Every event of a component as one line of text, in the order fired.
class TEventLog {
 public:
  void Attach(TZipCommon& Arc) {
    Arc.OnActivate = [this](TZipCommon*) { Lines.push_back("Activate"); };
    Arc.OnDeactivate = [this](TZipCommon*) { Lines.push_back("Deactivate"); };
    Arc.OnBegin = [this](TZipCommon*, const std::string& Name, std::int32_t Count, bool&) {
      Lines.push_back("Begin " + Name + " " + std::to_string(Count));
    };
    Arc.OnEnd = [this](TZipCommon*, const std::string& Name, bool Pass) {
      Lines.push_back("End " + Name + (Pass ? " pass" : " fail"));
    };
    Arc.OnProgress = [this](TZipCommon*, std::uint8_t File, std::uint8_t Archive) {
      Lines.push_back("Progress " + std::to_string(File) + " " + std::to_string(Archive));
    };
    Arc.OnElapsedTime = [this](TZipCommon*, float) { Lines.push_back("ElapsedTime"); };
    Arc.OnError = [this](TZipCommon*, const std::string& FileName, const std::string& Extended,
                         const std::string& VolumeID, int ECode) {
      Lines.push_back("Error " + std::to_string(ECode) + " [" + FileName + "] [" + Extended +
                      "] [" + VolumeID + "]");
    };
  }
  std::vector<std::string> Lines;
};

// A growable in-memory stream.
class TMemoryStream32 : public TStream32 {
 public:
  TMemoryStream32() = default;
  explicit TMemoryStream32(std::vector<std::uint8_t> Data) : FData(std::move(Data)) {}

  const std::vector<std::uint8_t>& Data() const { return FData; }

  void SetSize(std::int64_t NewSize) override {
    FData.resize(static_cast<std::size_t>(NewSize));
    FPosition = std::min(FPosition, NewSize);
  }
  std::int32_t Read(void* Buffer, std::int32_t Count) override {
    const std::int64_t Left = static_cast<std::int64_t>(FData.size()) - FPosition;
    const auto N = static_cast<std::int32_t>(std::clamp<std::int64_t>(Left, 0, Count));
    if (N > 0) std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(N));
    FPosition += N;
    return N;
  }
  std::int32_t Write(const void* Buffer, std::int32_t Count) override {
    if (Count <= 0) return 0;
    const auto End = static_cast<std::size_t>(FPosition + Count);
    if (End > FData.size()) FData.resize(End);
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
    FPosition += Count;
    return Count;
  }
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
    std::int64_t Base = 0;
    if (Origin == TSeekOrigin::soCurrent) Base = FPosition;
    if (Origin == TSeekOrigin::soEnd) Base = static_cast<std::int64_t>(FData.size());
    FPosition = std::max<std::int64_t>(Base + Offset, 0);
    return FPosition;
  }

 private:
  std::vector<std::uint8_t> FData;
  std::int64_t FPosition = 0;
};

// A memory stream whose writes take at most Accept bytes each; the rest fails with Error
// (0: a short write with no error indication).
class TShortWriteStream32 : public TMemoryStream32 {
 public:
  TShortWriteStream32(std::int32_t Accept, int Error) : FAccept(Accept), FError(Error) {}
  std::int32_t Write(const void* Buffer, std::int32_t Count) override {
    const std::int32_t N = std::min(Count, FAccept);
    TMemoryStream32::Write(Buffer, N);
    FLastError = N < Count ? FError : 0;
    return N;
  }
  int LastWriteError() const override { return FLastError; }

 private:
  std::int32_t FAccept;
  int FError;
  int FLastError = 0;
};

inline std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

inline void WriteWholeFile(const std::filesystem::path& Path,
                           const std::vector<std::uint8_t>& Data) {
  std::ofstream Out(Path, std::ios::binary);
  Out.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

// The first entry of a zip file: its local header and where its data (with the encryption
// header of an encrypted entry) starts.
struct TFirstLocalEntry {
  TLocalHeader Header;
  std::string Name;
  std::int64_t DataOffset = 0;
};

inline TFirstLocalEntry ReadFirstLocalEntry(const std::vector<std::uint8_t>& Zip) {
  TFirstLocalEntry Entry;
  std::copy_n(Zip.begin(), TLocalHeader::kSize, Entry.Header.Bytes.begin());
  const std::size_t NameAt = TLocalHeader::kSize;
  Entry.Name.assign(reinterpret_cast<const char*>(Zip.data() + NameAt), Entry.Header.NameLength());
  Entry.DataOffset =
      static_cast<std::int64_t>(NameAt + Entry.Header.NameLength() + Entry.Header.ExtraLength());
  return Entry;
}

// Runs a shell command in Folder; its exit status.
inline int RunIn(const std::filesystem::path& Folder, const std::string& Command) {
  const std::string Line = "cd '" + Folder.string() + "' && " + Command + " >/dev/null 2>&1";
  return std::system(Line.c_str());
}

inline bool HaveTool(const std::string& Name) {
  return std::system(("command -v " + Name + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace ruvevid::test
