#include "support/TestPaths.h"

#include <unistd.h>

#include <cstdlib>
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
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "ruvevid-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(FPath, ec);
}

}  // namespace ruvevid::test
