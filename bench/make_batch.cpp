// Writes the batches that scripts/bench.sh converts:
//   zentrow_make_batch palettes DIR COUNT   palettes 00000.kcf ... in the three
//                                           forms by turns, colours varied
//   zentrow_make_batch images DIR COUNT     16 x 16 binary PPM images 00000.ppm ...
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/sample_files.h"

namespace {

std::string Name(const std::string& dir, int i, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "/%05d.%s", i, extension);
  return dir + name;
}

std::vector<uint8_t> Palette(int i) {
  const auto seed = static_cast<uint32_t>(i);
  switch (i % 3) {
    case 0: return bench::Palette24(seed);
    case 1: return bench::Palette12(seed);
    default: return bench::PaletteHeaderless(seed);
  }
}

std::vector<uint8_t> Ppm(int i) {
  const std::string header = "P6\n16 16\n255\n";
  std::vector<uint8_t> bytes(header.begin(), header.end());
  const std::vector<uint8_t> pixels = bench::Image16(static_cast<uint32_t>(i));
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc == 4 ? argv[1] : "";
  if (kind != "palettes" && kind != "images") {
    std::fprintf(stderr, "usage: %s palettes|images DIR COUNT\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[2];
  const int count = std::atoi(argv[3]);
  for (int i = 0; i < count; ++i) {
    const bool ok = kind == "palettes" ? bench::WriteFileBytes(Name(dir, i, "kcf"), Palette(i))
                                       : bench::WriteFileBytes(Name(dir, i, "ppm"), Ppm(i));
    if (!ok) {
      std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
      return 1;
    }
  }
  return 0;
}
