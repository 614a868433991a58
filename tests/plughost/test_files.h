// Files for the host's tests: a fresh directory per test, whole-file reads
// and writes, and the built module's path as the program under test sees it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plughost_test {

// A new empty directory, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const;  // sorted

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadText(const std::string& path);  // without carriage returns

// A build path turned into one this platform opens: wine maps / to Z:.
std::string HostPath(const std::string& buildPath);

}  // namespace plughost_test
