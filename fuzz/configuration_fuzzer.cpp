// KiSS configurations: every input read as a .cnf; what is read stays within
// the limits, every note names a line of the text, and every note's words
// name the file.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "kiss/configuration.h"
#include "plughost/sets/set_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Configuration cnf = ReadConfiguration(data, size);
  const long lines = 1 + std::count(data, data + size, '\n') + std::count(data, data + size, '\r');
  for (const CnfNote& note : cnf.notes) {
    FUZZ_REQUIRE(note.line >= 1 && note.line <= lines, "a note at line %d of %ld", note.line,
                 lines);
    const std::string words = plughost::ConfigurationNoteWords("a.cnf", note);
    FUZZ_REQUIRE(words.rfind("a.cnf, line ", 0) == 0, "a note that does not name the file: %s",
                 words.c_str());
  }
  FUZZ_REQUIRE(cnf.width >= 1 && cnf.width <= kMaxEnvelopeSide && cnf.height >= 1 &&
                   cnf.height <= kMaxEnvelopeSide,
               "an envelope of %dx%d", cnf.width, cnf.height);
  FUZZ_REQUIRE(cnf.cels.size() <= kMaxCelLines && cnf.palettes.size() <= kMaxPaletteLines,
               "%zu cels, %zu palettes", cnf.cels.size(), cnf.palettes.size());
  for (const CnfCel& cel : cnf.cels) {
    FUZZ_REQUIRE(cel.object >= 0 && cel.object < kMaxObjects && !cel.file.empty() &&
                     cel.palette >= 0 && size_t(cel.palette) < kMaxPaletteLines &&
                     cel.sets <= 0x3FF,
                 "a cel of object %d, palette %d, sets %x", cel.object, cel.palette, cel.sets);
  }
  for (const CnfSet& set : cnf.sets) {
    FUZZ_REQUIRE(set.positions.size() <= size_t(kMaxObjects), "%zu positions",
                 set.positions.size());
    for (const CnfPosition& at : set.positions) {
      FUZZ_REQUIRE(
          !at.placed || (std::abs(at.x) <= kMaxCoordinate && std::abs(at.y) <= kMaxCoordinate),
          "a position of %d,%d", at.x, at.y);
    }
  }
  return 0;
}
