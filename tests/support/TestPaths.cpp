#include "support/TestPaths.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <random>
#include <stdexcept>
#include <system_error>

namespace ruvevid::test {

namespace fs = std::filesystem;

fs::path BuildDir() {
  return fs::path(RUVEVID_BUILD_DIR);
}

fs::path SourceDir() {
  return fs::path(RUVEVID_SOURCE_DIR);
}

fs::path FixturesDir() {
  fs::path candidate = SourceDir().parent_path() / "shared" / "fixtures";
  std::error_code ec;
  return fs::is_directory(candidate, ec) ? candidate : fs::path();
}

fs::path FindBuiltProgram(const std::string& Name) {
  for (const fs::path& folder :
       {BuildDir() / "tools", BuildDir() / "src", BuildDir() / "tests", BuildDir()}) {
    fs::path candidate = folder / Name;
#ifdef _WIN32
    candidate += ".exe";
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) return candidate;
#else
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
#endif
  }
  return {};
}

TempDir::TempDir() {
#ifdef _WIN32
  // No mkdtemp: a random name, taken only when the folder did not exist yet.
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() / ("ruvevid-test-" + std::to_string(random()));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      FPath = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
#else
  std::string pattern = (fs::temp_directory_path() / "ruvevid-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(FPath, ec);
}

}  // namespace ruvevid::test
