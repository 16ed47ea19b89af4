#include "support/PrivateTmpfs.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

namespace ruvevid::test {

namespace {

// Once per process: a mount namespace of its own, whose mounts nobody else sees.
bool OwnMountNamespace(std::string& Why) {
  static const std::string Failure = [] {
    if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return std::string("private mounts: ") + std::strerror(errno);
    return std::string();
  }();
  Why = Failure;
  return Failure.empty();
}

}  // namespace

TPrivateTmpfs::~TPrivateTmpfs() {
  if (!FMounted.empty()) ::umount2(FMounted.c_str(), MNT_DETACH);
}

bool TPrivateTmpfs::Mount(const std::filesystem::path& Folder, std::size_t Bytes,
                          std::string& Why) {
  if (!OwnMountNamespace(Why)) return false;
  const std::string Options = "size=" + std::to_string(Bytes) + ",mode=0755";
  if (::mount("tmpfs", Folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, Options.c_str()) != 0) {
    Why = std::string("mount: ") + std::strerror(errno);
    return false;
  }
  FMounted = Folder;
  return true;
}

}  // namespace ruvevid::test
