#include <iconv.h>

#include <cerrno>
#include <memory>

#include "platform/CodePage.h"

namespace ruvevid {

namespace {

struct TIconvCloser {
  void operator()(void* Handle) const { ::iconv_close(static_cast<iconv_t>(Handle)); }
};

}  // namespace

std::optional<std::string> ConvertToUtf8(std::string_view Text, const char* FromCodePage) {
  iconv_t Raw = ::iconv_open("UTF-8", FromCodePage);
  if (Raw == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::unique_ptr<void, TIconvCloser> Handle(Raw);
  std::string Input(Text);
  // Every code page byte becomes at most 4 bytes of UTF-8.
  std::string Output(Input.size() * 4 + 4, '\0');
  char* In = Input.data();
  std::size_t InLeft = Input.size();
  char* Out = Output.data();
  std::size_t OutLeft = Output.size();
  if (::iconv(Raw, &In, &InLeft, &Out, &OutLeft) == static_cast<std::size_t>(-1)) {
    return std::nullopt;
  }
  if (InLeft != 0) return std::nullopt;
  Output.resize(Output.size() - OutLeft);
  return Output;
}

}  // namespace ruvevid
