// KiSS cels, marked and unmarked: each input is read as a cel and, when
// read, drawn in a 16-colour group; either a picture of the header's size,
// each pixel from the file's bytes, or one sentence naming the file.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "kiss/cel.h"
#include "plughost/sets/draw_set.h"
#include "plughost/sets/set_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Cel cel;
  const CelRefusal refusal = ReadCel(data, size, &cel);
  if (refusal) {
    const std::string words = plughost::CelRefusalWords("a.cel", refusal);
    FUZZ_REQUIRE(words.rfind("a.cel ", 0) == 0, "the refusal does not name the file: %s",
                 words.c_str());
    FUZZ_REQUIRE(cel.pixels.empty(), "a refused cel kept %zu bytes", cel.pixels.size());
    return 0;
  }
  const size_t pixels = size_t(cel.width) * size_t(cel.height);
  FUZZ_REQUIRE(cel.pixels.size() == pixels * (cel.bits == 32 ? 4 : 1),
               "%dx%d at %d bits in %zu bytes", cel.width, cel.height, cel.bits, cel.pixels.size());
  // Every pixel is at least half a byte of the file.
  FUZZ_REQUIRE(pixels <= 2 * size, "%zu pixels from %zu bytes", pixels, size);
  GroupColours colours;
  colours.count = 16;
  const plughost::Drawing drawn = plughost::DrawCel(cel, colours);
  FUZZ_REQUIRE(
      drawn.image.rows == cel.height && drawn.image.columns == cel.width && drawn.image.planes == 4,
      "a %dx%d cel drawn %dx%d", cel.width, cel.height, drawn.image.columns, drawn.image.rows);
  FUZZ_REQUIRE(cel.bits != 4 || drawn.pastColours == 0, "4-bit indices past 16 colours");
  return 0;
}
