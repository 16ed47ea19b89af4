#include "archive/zip/HeaderDirectory.h"

#include <new>

namespace ruvevid {

void THeaderObj::Init() {
  FRecordSize = kZipDirEntryPackedSize;
  Clear();
}

bool THeaderObj::Add(const TZipDirEntry& Entry, const void* Data, std::size_t Length) {
  try {
    if (Data != nullptr && Length != 0) {
      const auto* Bytes = static_cast<const std::uint8_t*>(Data);
      FData.emplace_back(Bytes, Bytes + Length);
    }
    try {
      FEntries.push_back(Entry);
    } catch (...) {
      if (Data != nullptr && Length != 0) FData.pop_back();
      throw;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  ++FCount;
  return true;
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
