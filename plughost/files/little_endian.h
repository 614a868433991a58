// Little-endian fields, the one reader of them in the host: a module file's
// property list and ELF headers, BMP and GIF headers. The caller has checked
// that the bytes are there.
#pragma once

#include <cstdint>

namespace plughost {

inline uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

inline uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(ReadU16(p)) | (uint32_t(ReadU16(p + 2)) << 16);
}

inline uint64_t ReadU64(const uint8_t* p) {
  return uint64_t(ReadU32(p)) | (uint64_t(ReadU32(p + 4)) << 32);
}

}  // namespace plughost
