#include "tests/plughost/test_files.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#if defined(_WIN32)
#include <process.h>
#define ZENTROW_GETPID _getpid
#else
#include <unistd.h>
#define ZENTROW_GETPID getpid
#endif

namespace plughost_test {

namespace fs = std::filesystem;

// The folder ZENTROW_TEST_TMP names, or the system's: the Windows tree's
// runs under wine point it at a drive other than the prefix's C:, the unix
// folders wine's Z: maps, whose volume answers fewer questions.
fs::path TempBase() {
  const char* chosen = std::getenv("ZENTROW_TEST_TMP");
  return chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::temp_directory_path();
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = TempBase() /
          ("plughost-test-" + std::to_string(ZENTROW_GETPID()) + "-" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadAll(path);
  std::string text;
  // Windows programs end their lines with CR LF.
  for (uint8_t b : bytes)
    if (b != '\r') text += static_cast<char>(b);
  return text;
}

std::string HostPath(const std::string& buildPath) {
#if defined(_WIN32)
  return "Z:" + buildPath;
#else
  return buildPath;
#endif
}

}  // namespace plughost_test
