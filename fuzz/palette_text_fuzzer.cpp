// A GIMP or JASC palette text, as `plughost save` reads it: every input read
// both ways, the first byte choosing nothing so that both kinds see all of
// it (a .pal that begins "RIFF" is read as a RIFF palette). Read or refused,
// the answer is whole: a 16 x 16 image and at most 256 colours (a RIFF
// palette may count up to 65535, of which 256 are read), or one short line
// naming the file, with no control character.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "plughost/images/palette_files.h"
#include "plughost/words/image_words.h"

namespace {

void RequireOneShortLine(const plughost::ImageFault& fault) {
  FUZZ_REQUIRE(fault.said != plughost::ImageSaid::kNone, "refused with no fault");
  const std::string error = plughost::ImageWords(fault);
  FUZZ_REQUIRE(error.rfind("p: line ", 0) == 0 || error == "p: the file could not be read to its end" ||
                   error.rfind("p is ", 0) == 0,
               "the refusal does not name the file and line: %s", error.c_str());
  // The name, the line number, the reason and a line quoted in 80 characters.
  FUZZ_REQUIRE(error.size() <= 200, "a refusal of %zu characters", error.size());
  for (char c : error) {
    FUZZ_REQUIRE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F,
                 "a control character in the refusal");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const plughost::MemoryBytes bytes(data, size);
  for (plughost::ImageFormat kind : {plughost::ImageFormat::kGimpPalette, plughost::ImageFormat::kJascPalette}) {
    plughost::Image image;
    int colours = -1;
    plughost::ImageFault error;
    if (plughost::DecodePaletteText(bytes, kind, "p", &image, &colours, &error)) {
      FUZZ_REQUIRE(image.rows == 16 && image.columns == 16 && image.planes == 3,
                   "a palette read as %dx%dx%d", image.rows, image.columns, image.planes);
      const bool riff = size >= 4 && std::memcmp(data, "RIFF", 4) == 0;
      FUZZ_REQUIRE(colours >= 0 && colours <= (riff ? 65535 : 256), "%d colours", colours);
    } else {
      RequireOneShortLine(error);
    }
  }
  return 0;
}
