#pragma once
// One queued download (TDownLoadItem) and the ordered collection that owns them (TDownLoadItems).

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ConvertError.h"

namespace ruvevid {

// Raised by the collection for an index outside 0 .. Count - 1.
class EListError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

// Minimal stand-in for the component framework's persistent object: a class name and Assign.
class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual std::string ClassName() const = 0;
  // Copies from Source; the base refuses every source with EConvertError("Cannot assign a %s to a
  // %s").
  virtual void Assign(const TPersistent* Source);
};

class TDownLoadItems;

// How the last attempt at an item ended.
enum class TDownloadOutcome {
  doNotTried,     // not attempted yet
  doOk,           // every byte the length announced is in the file
  doUnreachable,  // no response: host unknown, connection refused, no reply
  doHttpError,    // the final status is outside 2xx (HttpStatus); no file was made
  doCut,          // the connection ended before the body did
  doStalled,      // the server stopped sending (the transport's stall rule)
  doNoLength,     // no usable Content-Length; no file was made
  doStopped,      // Stop ended the transfer
  doWriteFailed   // the file could not be created or written (ErrorCode holds the system error)
};

// A short name of an outcome for logs and tools ("ok", "http-error", ...).
const char* OutcomeName(TDownloadOutcome Outcome);

class TDownLoadItem : public TPersistent {
 public:
  explicit TDownLoadItem(TDownLoadItems* Collection);
  ~TDownLoadItem() override = default;

#ifdef _WIN32
  static constexpr char PathSeparator = '\\';
#else
  static constexpr char PathSeparator = '/';
#endif
  // Dir followed by one Separator unless its last character already is that separator (any other
  // character, the other platform's separator included, does not count). An empty Dir stays
  // empty: it names the current folder, never the root.
  static std::string WithTrailingSeparator(const std::string& Dir, char Separator);

  std::string ClassName() const override {
    return "TDownLoadItem";
  }
  void Assign(const TPersistent* Source) override;

  TDownLoadItems* Collection() const {
    return FCollection;
  }
  int Index() const;

  // Adds "http://" when the text holds no "://" and derives FileName from the last "/".
  void SetURL(const std::string& Value);
  const std::string& URL() const {
    return FURL;
  }
  // Stores the folder with one PathSeparator appended when its last character is not one.
  void SetLocalDir(const std::string& Value);
  const std::string& LocalDir() const {
    return FLocalDir;
  }
  std::string FullFileName() const {
    return FLocalDir + FileName;
  }

  std::string FileName;
  std::string ContentType;
  std::int32_t FileSize = 0;
  void* Data = nullptr;  // the owner's; never read by the download engine

  // Filled by each attempt, for the owner to read at the item's end.
  TDownloadOutcome Outcome = TDownloadOutcome::doNotTried;
  int HttpStatus = 0;  // the final response's status; 0 when none came
  int ErrorCode = 0;   // the system error of doWriteFailed

 private:
  TDownLoadItems* FCollection;
  std::string FURL;
  std::string FLocalDir;
};

class TDownLoadItems : public TPersistent {
 public:
  explicit TDownLoadItems(void* Owner = nullptr);
  ~TDownLoadItems() override;
  TDownLoadItems(const TDownLoadItems&) = delete;
  TDownLoadItems& operator=(const TDownLoadItems&) = delete;

  std::string ClassName() const override { return "TDownLoadItems"; }

  TDownLoadItem* Add();
  TDownLoadItem* Items(int Index) const;  // throws EListError outside 0 .. Count - 1
  int Count() const { return static_cast<int>(FItems.size()); }
  void Clear();
  int IndexOf(const TDownLoadItem* Item) const;

 private:
  std::vector<std::unique_ptr<TDownLoadItem>> FItems;
};

}  // namespace ruvevid
