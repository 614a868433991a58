// Writes the sample palettes into a directory:
//   make_samples samples/
#include <cstdio>
#include <string>

#include "tests/plughost/sample_palettes.h"

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc == 2 ? stdout : stderr, "usage: make_samples DIR\n"
                 "Writes the sample palettes of samples/ into DIR.\n");
    return argc == 2 ? 0 : 2;
  }
  for (const samples::Sample& s : samples::All()) {
    const std::string path = std::string(argv[1]) + "/" + s.name;
    const std::vector<uint8_t> bytes = s.make();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    const bool ok = out != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out != nullptr && std::fclose(out) != 0) return 3;
    if (!ok) {
      std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
      return 3;
    }
    std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
  }
  return 0;
}
