// LHA archives made in the tests: level-0 headers and members stored
// unpacked ("-lh0-"), as the LHA format lays them out, with a way to spoil
// each part the readers must refuse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plughost/sets/lha_archive.h"

namespace sets_test {

struct StoredMember {
  std::string name;
  std::vector<uint8_t> bytes;
  std::string method = "-lh0-";
  int64_t length = -1;  // the header's unpacked length: the bytes' own when -1
  int crcChange = 0;    // added to the right check sum
};

// Level-0 header: size, header sum, method, packed and unpacked lengths,
// time, attribute, level, name, CRC-16; the data; a 0 byte ends the archive.
inline std::vector<uint8_t> StoredArchive(const std::vector<StoredMember>& members) {
  std::vector<uint8_t> out;
  auto put32 = [](std::vector<uint8_t>* h, uint64_t v) {
    for (int k = 0; k < 4; ++k) h->push_back(uint8_t(v >> (8 * k)));
  };
  for (const StoredMember& m : members) {
    std::vector<uint8_t> h(m.method.begin(), m.method.end());
    put32(&h, m.bytes.size());
    put32(&h, m.length < 0 ? m.bytes.size() : uint64_t(m.length));
    put32(&h, 0x00210000);  // 1 January 1980
    h.push_back(0x20);
    h.push_back(0);
    h.push_back(uint8_t(m.name.size()));
    h.insert(h.end(), m.name.begin(), m.name.end());
    const uint16_t crc = uint16_t(plughost::LhaCrc16(m.bytes.data(), m.bytes.size()) + m.crcChange);
    h.push_back(uint8_t(crc & 0xFF));
    h.push_back(uint8_t(crc >> 8));
    uint8_t sum = 0;
    for (uint8_t b : h) sum = uint8_t(sum + b);
    out.push_back(uint8_t(h.size()));
    out.push_back(sum);
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), m.bytes.begin(), m.bytes.end());
  }
  out.push_back(0);
  return out;
}

inline std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace sets_test
