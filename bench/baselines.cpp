#include "bench/baselines.h"

#include <unistd.h>

#include <cstring>

namespace bench {

namespace {

constexpr int kHeaderBytes = 32;

bool ReadAll(int fd, uint8_t* bytes, size_t n) {
  return pread(fd, bytes, n, 0) == static_cast<ssize_t>(n);
}

void Decode12(const uint8_t* entries, int count, uint8_t* image) {
  std::memset(image, 0, kImageBytes);
  for (int k = 0; k < count; ++k) {
    const uint8_t first = entries[2 * k], second = entries[2 * k + 1];
    image[3 * k + 0] = static_cast<uint8_t>((first >> 4) * 17);
    image[3 * k + 1] = static_cast<uint8_t>((second & 0x0F) * 17);
    image[3 * k + 2] = static_cast<uint8_t>((first & 0x0F) * 17);
  }
}

}  // namespace

bool BaselineFilter(int fd) {
  uint8_t header[kHeaderBytes];
  return ReadAll(fd, header, sizeof header) && std::memcmp(header, "KiSS", 4) == 0;
}

bool BaselineOpen24(int fd, uint8_t* image) {
  uint8_t file[kHeaderBytes + kImageBytes];
  if (!ReadAll(fd, file, sizeof file)) return false;
  // The file's order is the image's: red, green, blue.
  std::memcpy(image, file + kHeaderBytes, kImageBytes);
  return true;
}

bool BaselineOpen12(int fd, uint8_t* image) {
  uint8_t file[kHeaderBytes + 160 * 2];
  if (!ReadAll(fd, file, sizeof file)) return false;
  Decode12(file + kHeaderBytes, 160, image);
  return true;
}

bool BaselineOpenHeaderless(int fd, uint8_t* image) {
  uint8_t file[160 * 2];
  if (!ReadAll(fd, file, sizeof file)) return false;
  Decode12(file, 160, image);
  return true;
}

bool BaselineSave(int fd, const uint8_t* image) {
  uint8_t file[kHeaderBytes + kImageBytes] = {'K', 'i', 'S', 'S', 16, 24, 0, 0, 0, 1, 1, 0};
  std::memcpy(file + kHeaderBytes, image, kImageBytes);
  return pwrite(fd, file, sizeof file, 0) == static_cast<ssize_t>(sizeof file);
}

}  // namespace bench
