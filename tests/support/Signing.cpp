#include "support/Signing.h"

#include <cstdlib>
#include <stdexcept>

#include "support/FileSet.h"

namespace ruvevid::test {

namespace fs = std::filesystem;

namespace {

void Run(const std::string& Command) {
  if (std::system((Command + " 2>/dev/null").c_str()) != 0)
    throw std::runtime_error("failed: " + Command);
}

}  // namespace

TSigningKey MakeSigningKey(const fs::path& Folder, const std::string& Name) {
  TSigningKey Key;
  Key.PrivateKey = Folder / (Name + ".pem");
  const fs::path Public = Folder / (Name + ".pub.pem");
  Run("openssl ecparam -name prime256v1 -genkey -noout -out '" + Key.PrivateKey.string() + "'");
  Run("openssl pkey -in '" + Key.PrivateKey.string() + "' -pubout -out '" + Public.string() + "'");
  Key.PublicKeyPem = ReadBytes(Public);
  return Key;
}

std::string SignFile(const fs::path& File, const TSigningKey& Key) {
  const fs::path Signature = File.string() + ".sig-made";
  Run("openssl dgst -sha256 -sign '" + Key.PrivateKey.string() + "' -out '" + Signature.string() +
      "' '" + File.string() + "'");
  std::string Bytes = ReadBytes(Signature);
  fs::remove(Signature);
  return Bytes;
}

}  // namespace ruvevid::test
