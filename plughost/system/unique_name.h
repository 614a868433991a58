// The names of the gate's own new files and folders, shared by both
// systems' layers: the prefix and six letters or digits stirred from what
// the caller mixes in (the process, the moment, the attempt), so that no
// counter outlives a call. A name taken already is met by the exclusive
// create, and the next attempt stirs another.
#pragma once

#include <cstdint>
#include <string>

#include "plughost/system/system.h"

namespace plughost::sys {

constexpr char kNameLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

inline std::string UniqueName(const std::string& folder, uint64_t seed) {
  // splitmix64's finaliser: nearby seeds give unrelated names.
  uint64_t bits = seed + 0x9E3779B97F4A7C15u;
  bits = (bits ^ (bits >> 30)) * 0xBF58476D1CE4E5B9u;
  bits = (bits ^ (bits >> 27)) * 0x94D049BB133111EBu;
  bits ^= bits >> 31;
  std::string name = folder + kTemporaryPrefix + "XXXXXX";
  for (size_t i = name.size() - 6; i < name.size(); ++i) {
    name[i] = kNameLetters[bits % 62];
    bits /= 62;
  }
  return name;
}

}  // namespace plughost::sys
