#pragma once
// A small tmpfs mounted over a folder in a mount namespace of this process's own, for tests that
// need a disk that fills up. Mounting needs the right to make a mount namespace (root, as CI runs
// the tests); where that is refused the test says why and skips.

#include <cstddef>
#include <filesystem>
#include <string>

namespace ruvevid::test {

class TPrivateTmpfs {
 public:
  TPrivateTmpfs() = default;
  ~TPrivateTmpfs();
  TPrivateTmpfs(const TPrivateTmpfs&) = delete;
  TPrivateTmpfs& operator=(const TPrivateTmpfs&) = delete;

  // Mounts a tmpfs of Bytes over Folder; false with the reason in Why when it cannot.
  bool Mount(const std::filesystem::path& Folder, std::size_t Bytes, std::string& Why);

 private:
  std::filesystem::path FMounted;
};

}  // namespace ruvevid::test
