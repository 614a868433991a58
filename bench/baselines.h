// The least each measured operation could cost, for the ratios: the same
// file read with one read call at its start (or the same 800 bytes written
// with one write call) and decoded (encoded) by the simplest loop, straight
// between the file's bytes and a 16 x 16 RGB image of 768 bytes.
#pragma once

#include <cstdint>

namespace bench {

constexpr int kImageBytes = 16 * 16 * 3;

// The first 32 bytes; true when they begin "KiSS".
bool BaselineFilter(int fd);
// 800 bytes: header, then 256 colours red, green, blue.
bool BaselineOpen24(int fd, uint8_t* image);
// 352 bytes: header, then 160 twelve-bit colours; the rest of the image black.
bool BaselineOpen12(int fd, uint8_t* image);
// 320 bytes: 160 twelve-bit colours from byte 0; the rest black.
bool BaselineOpenHeaderless(int fd, uint8_t* image);
// The 800-byte palette of the image, written at the start of the file.
bool BaselineSave(int fd, const uint8_t* image);

}  // namespace bench
