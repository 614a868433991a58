// PPM and PGM, our own reader: the first byte picks the form (P2, P3, P5 or
// P6), the rest follows its mark, so every input exercises the reader
// rather than the check of the mark. Read as `plughost save` reads it, and
// whole as the tests read it; each answer is a picture of the header's size
// or one sentence naming the file.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "plughost/images/image_files.h"
#include "plughost/words/image_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char kForms[4] = {'2', '3', '5', '6'};
  std::vector<uint8_t> file(size + 1);
  file[0] = 'P';
  file[1] = uint8_t(kForms[data[0] % 4]);
  std::copy(data + 1, data + size, file.begin() + 2);
  const plughost::MemoryBytes bytes(file);
  plughost::SaveImage top;
  plughost::ImageFault error;
  if (plughost::DecodeForSave(bytes, "pic", 0, &top, &error)) {
    FUZZ_REQUIRE(top.top.rows == std::min(top.rows, plughost::kSavedRows), "%d rows of %d kept",
                 top.top.rows, top.rows);
  } else {
    const std::string said = plughost::ImageWords(error);
    FUZZ_REQUIRE(said.rfind("pic ", 0) == 0, "the refusal does not name the file: %s",
                 said.c_str());
  }
  plughost::Image whole;
  if (plughost::DecodeImage(file, "pic", &whole, &error)) {
    FUZZ_REQUIRE(whole.planes == 3 && whole.pixels.size() == size_t(whole.rows) *
                                                                 size_t(whole.columns) * 3,
                 "a whole image of %dx%d in %zu bytes", whole.rows, whole.columns,
                 whole.pixels.size());
    // Every sample is at least one byte of the file.
    FUZZ_REQUIRE(size_t(whole.rows) * size_t(whole.columns) <= file.size(),
                 "%dx%d pixels from %zu bytes", whole.rows, whole.columns, file.size());
  }
  return 0;
}
