#include "support/TestPaths.h"

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
#ifdef _WIN32
  const std::string File = Name + ".exe";
  constexpr fs::perms kRunnable = fs::perms::none;
#else
  const std::string& File = Name;
  constexpr fs::perms kRunnable = fs::perms::owner_exec;
#endif
  for (const fs::path& folder :
       {BuildDir() / "tools", BuildDir() / "src", BuildDir() / "tests", BuildDir()}) {
    fs::path candidate = folder / File;
    std::error_code ec;
    const fs::file_status status = fs::status(candidate, ec);
    if (!ec && fs::is_regular_file(status) && (status.permissions() & kRunnable) == kRunnable)
      return candidate;
  }
  return {};
}

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(static_cast<std::uint64_t>(seed()) << 32 | seed());
  constexpr int kAttempts = 64;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("ruvevid-test-" + std::to_string(random() % 1000000000U));
    std::error_code ec;
    // create_directory is false, without an error, when the name is taken already.
    if (fs::create_directory(candidate, ec)) {
      FPath = candidate;
      return;
    }
    if (ec) break;
  }
  throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(FPath, ec);
}

}  // namespace ruvevid::test
