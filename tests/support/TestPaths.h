#pragma once
// Where the tests find the build's programs, the shared fixtures and a scratch folder.

#include <filesystem>
#include <string>

namespace ruvevid::test {

std::filesystem::path BuildDir();
std::filesystem::path SourceDir();
// The shared fixtures folder beside the project (../shared/fixtures); empty when absent.
std::filesystem::path FixturesDir();
// Finds an executable built by the project (ruvevid-unzip, ruvevid-update-server, ...).
std::filesystem::path FindBuiltProgram(const std::string& Name);

// A fresh folder that is removed, with everything in it, when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return FPath; }
  std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }

 private:
  std::filesystem::path FPath;
};

}  // namespace ruvevid::test
