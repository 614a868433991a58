// Writes the batches that scripts/bench.sh converts:
//   zentrow_make_batch palettes DIR COUNT   palettes 00000.kcf ... in the three
//                                           forms by turns, colours varied
//   zentrow_make_batch images DIR COUNT     16 x 16 binary PPM images 00000.ppm ...
//   zentrow_make_batch groups DIR COUNT     one palette, groups.kcf, of COUNT groups
//                                           of 16 24-bit colours, and beside it in
//                                           DIR/one COUNT palettes of one such group
#include <algorithm>
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

// A 24-bit palette of `groups` groups of 16 colours, group g's colours
// those of palette g of a one-group batch.
std::vector<uint8_t> Grouped(int groups) {
  const std::vector<uint8_t> first = bench::Palette24(0);
  std::vector<uint8_t> file(size_t{32} + size_t(groups) * 48);
  std::copy_n(first.begin(), 32, file.begin());
  file[8] = 16, file[9] = 0;
  file[10] = static_cast<uint8_t>(groups & 0xFF), file[11] = static_cast<uint8_t>(groups >> 8);
  for (int g = 0; g < groups; ++g) {
    const std::vector<uint8_t> one = bench::Palette24(static_cast<uint32_t>(g));
    std::copy_n(one.begin() + 32, 48, file.begin() + 32 + 48 * g);
  }
  return file;
}

// Group g of Grouped alone: its header with a group count of 1.
std::vector<uint8_t> OneGroup(const std::vector<uint8_t>& grouped, int g) {
  std::vector<uint8_t> file(32 + 48);
  std::copy_n(grouped.begin(), 32, file.begin());
  file[10] = 1, file[11] = 0;
  std::copy_n(grouped.begin() + 32 + 48 * g, 48, file.begin() + 32);
  return file;
}

bool WriteGroups(const std::string& dir, int count) {
  const std::vector<uint8_t> grouped = Grouped(count);
  if (!bench::WriteFileBytes(dir + "/groups.kcf", grouped)) return false;
  for (int g = 0; g < count; ++g) {
    if (!bench::WriteFileBytes(Name(dir + "/one", g, "kcf"), OneGroup(grouped, g))) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc == 4 ? argv[1] : "";
  if (kind != "palettes" && kind != "images" && kind != "groups") {
    std::fprintf(stderr, "usage: %s palettes|images|groups DIR COUNT\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[2];
  const int count = std::atoi(argv[3]);
  if (kind == "groups") {
    if (count >= 1 && count <= 32767 && WriteGroups(dir, count)) return 0;
    std::fprintf(stderr, "cannot write %d groups into %s and %s/one\n", count, dir.c_str(), dir.c_str());
    return 1;
  }
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
