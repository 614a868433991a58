// An independent reading of a KiSS palette file, written from the format's
// rules and not from the module's code: what FilterFile and an opening must
// answer for these bytes, how many bytes each read selector takes, and the
// colours the image must hold. The fuzzers, the fault-injection tests and the
// corpus test all judge the module against it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "interface/result_codes.h"

namespace palette_model {

struct Expected {
  int16_t filter = kNoError;  // FilterFile's answer
  int16_t open = kNoError;    // the first non-zero answer of an opening, or 0
  bool startFails = false;    // that answer comes from ReadStart
  int startBytes = 0;         // bytes ReadStart reads (4 for a headerless file)
  int colorBytes = 0;         // bytes ReadContinue reads, as far as the file goes
  int startAsked = 4;         // bytes ReadStart asks for: 32 with a signature
  int colorAsked = 0;         // bytes ReadContinue asks for, up to its first short read
  bool tooManyColors = false;
  std::vector<uint8_t> rgb = std::vector<uint8_t>(768, 0);  // colour k: red, green, blue
};

inline int16_t S16(const std::vector<uint8_t>& f, size_t at) {
  return static_cast<int16_t>(static_cast<uint16_t>(f[at] | f[at + 1] << 8));
}

inline bool Signed(const std::vector<uint8_t>& f) {
  return f.size() >= 4 && f[0] == 'K' && f[1] == 'i' && f[2] == 'S' && f[3] == 'S';
}

inline Expected Read(const std::vector<uint8_t>& f) {
  Expected e;
  e.filter = f.size() < 32 ? kEndOfFile : Signed(f) ? kNoError : kCannotReadFile;
  const bool headed = Signed(f);
  e.startAsked = headed ? 32 : 4;
  if (f.size() < 4 || (headed && f.size() < 32)) {
    e.open = kEndOfFile;
    e.startFails = true;
    e.startBytes = f.size() < 4 ? static_cast<int>(f.size()) : 4;
    return e;
  }
  int bits = 12, perGroup = 16, groups = 10;
  if (headed) bits = f[5], perGroup = S16(f, 8), groups = S16(f, 10);
  e.startBytes = headed ? 32 : 4;
  const int32_t product = perGroup * groups;
  e.tooManyColors = product > 256;
  if ((headed && f[4] != 16) || (bits != 12 && bits != 24) || e.tooManyColors) {
    e.open = kCannotReadFile;
    e.startFails = true;
    return e;
  }
  // 12 bits count through signed loops (nothing when either count is <= 0);
  // 24 bits take the signed product. Never more than 256 entries.
  const int entries = bits == 24 ? std::clamp(product, 0, 256)
                                 : (perGroup <= 0 || groups <= 0 ? 0 : std::min(product, 256));
  const int entryBytes = bits == 24 ? 3 : 2;
  const int first = headed ? 32 : 0;
  const int available = static_cast<int>(f.size()) - first;
  const int whole = std::min(available / entryBytes, entries);
  e.colorBytes = std::min(available, entries * entryBytes);
  if (whole < entries) e.open = kEndOfFile;
  e.colorAsked = std::min(entries, whole + 1) * entryBytes;
  for (int k = 0; k < whole; ++k) {
    const uint8_t* p = f.data() + first + entryBytes * k;
    uint8_t* out = e.rgb.data() + 3 * k;
    if (bits == 24) {
      out[0] = p[0], out[1] = p[1], out[2] = p[2];
    } else {
      out[0] = static_cast<uint8_t>((p[0] >> 4) * 17);
      out[1] = static_cast<uint8_t>((p[1] & 0x0F) * 17);
      out[2] = static_cast<uint8_t>((p[0] & 0x0F) * 17);
    }
  }
  return e;
}

}  // namespace palette_model
