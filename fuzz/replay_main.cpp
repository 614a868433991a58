// Replays inputs through a fuzz target without libFuzzer, so that the seeds
// and the crashers run under ctest in the normal build. Arguments are files
// or folders (every file in them, in name order); a folder that is not there
// is reported and skipped. A broken rule aborts, which fails the test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> Inputs(const fs::path& where) {
  std::vector<fs::path> files;
  if (fs::is_regular_file(where)) files.push_back(where);
  if (fs::is_directory(where)) {
    for (const auto& entry : fs::directory_iterator(where)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path where(argv[i]);
    if (!fs::exists(where)) {
      std::printf("skipping %s: not present\n", argv[i]);
      continue;
    }
    const std::vector<fs::path> files = Inputs(where);
    for (const fs::path& file : files) {
      std::printf("%s\n", file.string().c_str());
      std::fflush(stdout);  // the last name printed is the input that broke a rule
      std::ifstream in(file, std::ios::binary);
      const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%s: %zu inputs replayed\n", argv[i], files.size());
    replayed += static_cast<int>(files.size());
  }
  std::printf("%d inputs replayed, none broke a rule\n", replayed);
  return 0;
}
