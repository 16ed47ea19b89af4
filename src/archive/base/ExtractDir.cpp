// The ExtractDir setter. This first version keeps the value with a trailing separator; the output
// folder rules replace it.

#include "archive/base/ZipCommon.h"

namespace ruvevid {

void TZipCommon::SetExtractDir(const std::string& Value) {
  FExtractDir = Value;
  if (!FExtractDir.empty() && FExtractDir.back() != '/') FExtractDir += '/';
}

}  // namespace ruvevid
