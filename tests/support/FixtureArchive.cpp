#include "support/FixtureArchive.h"

#include <array>
#include <fstream>
#include <regex>
#include <stdexcept>

#include "support/FileSet.h"

namespace ruvevid::test {

std::vector<TFixtureEntry> ReadFixtureArchive(const std::filesystem::path& Path) {
  const std::string Zip = ReadBytes(Path);
  std::vector<TFixtureEntry> Entries;
  for (const TZipListEntry& Listed : ListZipEntries(Zip)) {
    TFixtureEntry Entry;
    static_cast<TZipListEntry&>(Entry) = Listed;
    Entry.Compressed = EntryData(Zip, Listed);
    Entries.push_back(std::move(Entry));
  }
  return Entries;
}

std::map<std::string, std::vector<TManifestEntry>> ReadManifest(const std::filesystem::path& Path) {
  // The manifest is written one key per line: archive keys indented by two spaces, entry keys by
  // four. Only the keys needed here are picked up.
  std::ifstream In(Path);
  if (!In) throw std::runtime_error("cannot open " + Path.string());
  static const std::regex ArchiveFile(R"re(^  "file": "(.*)",?$)re");
  static const std::regex EntryField(R"re(^    "(name|method|size|crc32|sha256)": (.*?),?$)re");
  std::map<std::string, std::vector<TManifestEntry>> Manifest;
  std::vector<TManifestEntry>* Current = nullptr;
  std::string Line;
  std::smatch Match;
  while (std::getline(In, Line)) {
    if (std::regex_match(Line, Match, ArchiveFile)) {
      Current = &Manifest[Match[1].str()];
    } else if (Current != nullptr && std::regex_match(Line, Match, EntryField)) {
      const std::string Key = Match[1].str();
      std::string Value = Match[2].str();
      if (Value.size() >= 2 && Value.front() == '"') Value = Value.substr(1, Value.size() - 2);
      if (Key == "name") {
        Current->push_back({});
        Current->back().Name = Value;
      } else if (Current->empty()) {
        continue;
      } else if (Key == "method") {
        Current->back().Method = std::stoi(Value);
      } else if (Key == "size") {
        Current->back().Size = std::stoull(Value);
      } else if (Key == "crc32") {
        Current->back().Crc32 = static_cast<std::uint32_t>(std::stoul(Value, nullptr, 16));
      } else if (Key == "sha256" && Value != "null") {
        Current->back().Sha256 = Value;
      }
    }
  }
  return Manifest;
}

std::string Sha256Hex(const std::vector<std::uint8_t>& Data) {
  static constexpr std::array<std::uint32_t, 64> K = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
      0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
      0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
      0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
      0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
      0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
      0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
      0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
      0xc67178f2};
  std::array<std::uint32_t, 8> H = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::vector<std::uint8_t> Message = Data;
  const std::uint64_t BitLength = static_cast<std::uint64_t>(Data.size()) * 8;
  Message.push_back(0x80);
  while (Message.size() % 64 != 56) Message.push_back(0);
  for (int I = 7; I >= 0; --I) Message.push_back(static_cast<std::uint8_t>(BitLength >> (8 * I)));
  const auto Rotr = [](std::uint32_t X, int N) { return (X >> N) | (X << (32 - N)); };
  for (std::size_t Block = 0; Block < Message.size(); Block += 64) {
    std::array<std::uint32_t, 64> W{};
    for (int T = 0; T < 16; ++T) {
      W[T] = static_cast<std::uint32_t>(Message[Block + 4 * T]) << 24 |
             static_cast<std::uint32_t>(Message[Block + 4 * T + 1]) << 16 |
             static_cast<std::uint32_t>(Message[Block + 4 * T + 2]) << 8 |
             Message[Block + 4 * T + 3];
    }
    for (int T = 16; T < 64; ++T) {
      const std::uint32_t S0 = Rotr(W[T - 15], 7) ^ Rotr(W[T - 15], 18) ^ (W[T - 15] >> 3);
      const std::uint32_t S1 = Rotr(W[T - 2], 17) ^ Rotr(W[T - 2], 19) ^ (W[T - 2] >> 10);
      W[T] = W[T - 16] + S0 + W[T - 7] + S1;
    }
    std::array<std::uint32_t, 8> V = H;
    for (int T = 0; T < 64; ++T) {
      const std::uint32_t S1 = Rotr(V[4], 6) ^ Rotr(V[4], 11) ^ Rotr(V[4], 25);
      const std::uint32_t Ch = (V[4] & V[5]) ^ (~V[4] & V[6]);
      const std::uint32_t T1 = V[7] + S1 + Ch + K[T] + W[T];
      const std::uint32_t S0 = Rotr(V[0], 2) ^ Rotr(V[0], 13) ^ Rotr(V[0], 22);
      const std::uint32_t Maj = (V[0] & V[1]) ^ (V[0] & V[2]) ^ (V[1] & V[2]);
      const std::uint32_t T2 = S0 + Maj;
      V = {T1 + T2, V[0], V[1], V[2], V[3] + T1, V[4], V[5], V[6]};
    }
    for (int I = 0; I < 8; ++I) H[I] += V[I];
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string Hex;
  for (const std::uint32_t Word : H) {
    for (int I = 28; I >= 0; I -= 4) Hex += kHex[(Word >> I) & 0xF];
  }
  return Hex;
}

}  // namespace ruvevid::test
