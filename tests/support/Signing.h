#pragma once
// Keys and signatures of signed updates, made at test time by the openssl command line, as a
// publisher makes them.

#include <filesystem>
#include <string>

namespace ruvevid::test {

struct TSigningKey {
  std::filesystem::path PrivateKey;  // PEM file
  std::string PublicKeyPem;
};

// A new ECDSA P-256 key pair in Folder, its files named after Name.
TSigningKey MakeSigningKey(const std::filesystem::path& Folder, const std::string& Name);

// The DER signature of File by Key (openssl dgst -sha256 -sign).
std::string SignFile(const std::filesystem::path& File, const TSigningKey& Key);

}  // namespace ruvevid::test
