#include "archive/zip/HeaderDirectory.h"

#include "archive/base/ScopeExit.h"

namespace ruvevid {

void THeaderObj::Init() {
  FRecordSize = kZipDirEntryPackedSize;
  Clear();
}

void THeaderObj::Add(const TZipDirEntry& Entry, const void* Data, std::size_t Length) {
  const bool HasData = Data != nullptr && Length != 0;
  if (HasData) {
    const auto* Bytes = static_cast<const std::uint8_t*>(Data);
    FData.emplace_back(Bytes, Bytes + Length);
  }
  // An entry is added with its data or not at all.
  auto Undo = OnScopeExit([this, HasData] {
    if (HasData) FData.pop_back();
  });
  FEntries.push_back(Entry);
  Undo.Release();
  ++FCount;
}

TZipDirEntry& THeaderObj::GetEntry(std::int32_t Index) {
  return FEntries.at(static_cast<std::size_t>(Index));
}

const std::vector<std::uint8_t>* THeaderObj::GetData(std::int32_t Index) const {
  if (Index < 0 || static_cast<std::size_t>(Index) >= FData.size()) return nullptr;
  return &FData[static_cast<std::size_t>(Index)];
}

void THeaderObj::Clear() {
  FData.clear();
  FEntries.clear();
  FCount = 0;
}

void THeaderObj::Done() {
  Clear();
  FData.shrink_to_fit();
  FEntries.shrink_to_fit();
}

}  // namespace ruvevid
