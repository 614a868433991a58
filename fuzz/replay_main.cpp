// Replays inputs through a fuzz target without libFuzzer, so that the seeds
// and the crashers run under ctest in the normal build.
//   NAME_replay [--at-least N] PATH...
// Each PATH is a file or a folder (every file in it, in name order). A path
// that is not there, a folder with no file in it or fewer than N inputs in
// all fails the run: a replay of nothing would pass while proving nothing.
// A broken rule aborts, which fails the test too.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

void Replay(const fs::path& file) {
  std::printf("%s\n", file.string().c_str());
  std::fflush(stdout);  // the last name printed is the input that broke a rule
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

// The inputs under `where`, replayed; -1 when there is nothing to replay.
long ReplayPath(const char* where) {
  if (!fs::exists(where)) {
    std::fprintf(stderr, "replay failed: %s is not there.\n", where);
    return -1;
  }
  const std::vector<fs::path> files = Inputs(where);
  if (files.empty()) {
    std::fprintf(stderr, "replay failed: %s holds no file to replay.\n", where);
    return -1;
  }
  for (const fs::path& file : files) Replay(file);
  std::printf("%s: %zu inputs replayed\n", where, files.size());
  return static_cast<long>(files.size());
}

}  // namespace

int main(int argc, char** argv) {
  long atLeast = 1;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--at-least") == 0) {
    char* end = nullptr;
    atLeast = std::strtol(argv[2], &end, 10);
    if (*end != '\0' || atLeast < 1) {
      std::fprintf(stderr, "replay failed: --at-least takes a count of 1 or more, not %s.\n", argv[2]);
      return 2;
    }
    first = 3;
  }
  long replayed = 0;
  bool complete = true;
  for (int i = first; i < argc; ++i) {
    const long count = ReplayPath(argv[i]);
    complete = complete && count >= 0;
    if (count > 0) replayed += count;
  }
  if (!complete) return 1;
  if (replayed < atLeast) {
    std::fprintf(stderr, "replay failed: %ld inputs replayed, fewer than the %ld expected.\n",
                 replayed, atLeast);
    return 1;
  }
  std::printf("%ld inputs replayed, none broke a rule\n", replayed);
  return 0;
}
