#include "download/DownloadItem.h"

#include <algorithm>

namespace ruvevid {

const char* OutcomeName(TDownloadOutcome Outcome) {
  switch (Outcome) {
    case TDownloadOutcome::doNotTried:
      return "not-tried";
    case TDownloadOutcome::doOk:
      return "ok";
    case TDownloadOutcome::doUnreachable:
      return "unreachable";
    case TDownloadOutcome::doHttpError:
      return "http-error";
    case TDownloadOutcome::doCut:
      return "cut";
    case TDownloadOutcome::doStalled:
      return "stalled";
    case TDownloadOutcome::doNoLength:
      return "no-length";
    case TDownloadOutcome::doStopped:
      return "stopped";
    case TDownloadOutcome::doWriteFailed:
      return "write-failed";
  }
  return "unknown";
}

void TPersistent::Assign(const TPersistent* Source) {
  const std::string SourceName = Source != nullptr ? Source->ClassName() : "nil";
  throw EConvertError("Cannot assign a " + SourceName + " to a " + ClassName());
}

TDownLoadItem::TDownLoadItem(TDownLoadItems* Collection) : FCollection(Collection) {}

void TDownLoadItem::Assign(const TPersistent* Source) {
  const auto* Item = dynamic_cast<const TDownLoadItem*>(Source);
  if (Item == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  // Stored values as they stand: the URL setter is not run, so FileName is the source's own.
  FURL = Item->FURL;
  FLocalDir = Item->FLocalDir;
  FileSize = Item->FileSize;
  FileName = Item->FileName;
}

int TDownLoadItem::Index() const {
  return FCollection != nullptr ? FCollection->IndexOf(this) : -1;
}

void TDownLoadItem::SetURL(const std::string& Value) {
  FURL = Value;
  if (FURL.find("://") == std::string::npos) FURL = "http://" + FURL;
  // The scheme guarantees a '/', so the search always succeeds.
  FileName = FURL.substr(FURL.rfind('/') + 1);
}

std::string TDownLoadItem::WithTrailingSeparator(const std::string& Dir, char Separator) {
  if (Dir.empty() || Dir.back() == Separator) return Dir;
  return Dir + Separator;
}

void TDownLoadItem::SetLocalDir(const std::string& Value) {
  FLocalDir = WithTrailingSeparator(Value, PathSeparator);
}

TDownLoadItems::TDownLoadItems(void* /*Owner: not used by the collection*/) {}

TDownLoadItems::~TDownLoadItems() = default;

TDownLoadItem* TDownLoadItems::Add() {
  FItems.push_back(std::make_unique<TDownLoadItem>(this));
  return FItems.back().get();
}

TDownLoadItem* TDownLoadItems::Items(int Index) const {
  if (Index < 0 || Index >= Count()) {
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  }
  return FItems[static_cast<std::size_t>(Index)].get();
}

void TDownLoadItems::Clear() {
  FItems.clear();
}

int TDownLoadItems::IndexOf(const TDownLoadItem* Item) const {
  const auto Found = std::find_if(FItems.begin(), FItems.end(),
                                  [Item](const auto& Owned) { return Owned.get() == Item; });
  return Found == FItems.end() ? -1 : static_cast<int>(Found - FItems.begin());
}

}  // namespace ruvevid
