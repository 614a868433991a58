// The sample palettes shipped in samples/, made here byte by byte so that
// anyone can see what they hold and a test can check the shipped files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace samples {

struct Sample {
  const char* name;  // file name in samples/
  std::vector<uint8_t> (*make)();
};

// 24-bit, 256 colours in one group: fifteen hues from dark to full to pale,
// and a grey ramp in the last row. Its header is the one the module writes,
// so saving its image gives these very bytes back.
std::vector<uint8_t> Palette24();
// 12-bit, 10 groups of 16 colours: rows 10 to 15 of its image stay black.
std::vector<uint8_t> Palette12();
// No header: 160 12-bit colours in 320 bytes, read as 10 groups of 16.
std::vector<uint8_t> Headerless();
// A doll's palette: 24-bit, 4 groups of 256 colours, more than one image
// of 16 x 16 holds, so it opens a group at a time. Group 0 is palette24's
// colours, group 1 the same at three quarters of their light, group 2 at
// half, group 3 their negative.
std::vector<uint8_t> Doll();

// A KiSS set of two cels in doll.kcf's colours: doll.cnf, which places
// them in an envelope of 160 x 120, a dress (an 8-bit cel of 40 x 60
// with an offset) and a face (the older unmarked 4-bit form, 24 x 24, index
// 0 round its corners); set 0 shows group 0, set 1 group 2.
std::vector<uint8_t> DollConfiguration();
std::vector<uint8_t> DressCel();
std::vector<uint8_t> FaceCel();

const std::vector<Sample>& All();

}  // namespace samples
