#include "archive/zip/HeaderName.h"

#include <vector>

#include "archive/base/Stream32.h"
#include "archive/base/StreamReads.h"
#include "archive/base/ZipHeaderCipher.h"
#include "archive/codec/ZipCipher.h"
#include "platform/CodePage.h"

namespace ruvevid {

std::string ReadHeaderName(TStream32& Stream, std::uint16_t Length, TZipCipher* Decipher) {
  std::vector<std::uint8_t> Buffer(Length);
  const std::int32_t Got = ReadSome(Stream, Buffer.data(), static_cast<std::int32_t>(Length));
  const auto Kept = static_cast<std::size_t>(Got > 0 ? Got : 0);
  if (Decipher != nullptr) DecodeZipName(Buffer.data(), Kept, *Decipher);
  std::size_t End = 0;
  while (End < Kept && Buffer[End] != 0) ++End;
  return std::string(reinterpret_cast<const char*>(Buffer.data()), End);
}

std::string TranslateEntryName(std::string_view Raw, std::uint16_t Flags, bool TranslateOemChar,
                               const TPathRules& Rules) {
  if (!TranslateOemChar) return Rules.Normalise(Raw);
  return Rules.Normalise(OemNameToUtf8(Raw, (Flags & kUtf8NameFlag) != 0));
}

}  // namespace ruvevid
