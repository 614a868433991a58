// An image file as `plughost save` reads it: its top rows, then the same
// bytes as a swatch of the tile size the last byte gives. Read, the rows
// are at most 16 and every column is there, and what was read goes out as
// PNG and comes back pixel for pixel; refused, the answer is one sentence
// naming the file.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "plughost/images/image_files.h"
#include "plughost/words/image_words.h"

namespace {

void RequireRefusal(const plughost::ImageFault& fault) {
  FUZZ_REQUIRE(fault.said != plughost::ImageSaid::kNone, "refused with no fault");
  const std::string error = plughost::ImageWords(fault);
  FUZZ_REQUIRE(error.rfind("pic ", 0) == 0 || error.rfind("pic: ", 0) == 0 ||
                   error.rfind("the file ", 0) == 0,
               "the refusal does not name the file: %s", error.c_str());
  FUZZ_REQUIRE(error.find('\n') == std::string::npos, "a refusal of more than one line");
}

void RequireRoundTrip(const plughost::Image& top) {
  const std::vector<uint8_t> png = plughost::EncodeImage(top, plughost::ImageFormat::kPng);
  FUZZ_REQUIRE(!png.empty(), "the rows read could not be written as PNG");
  plughost::Image back;
  plughost::ImageFault error;
  FUZZ_REQUIRE(plughost::DecodeImage(png, "again", &back, &error), "%s",
               plughost::ImageWords(error).c_str());
  FUZZ_REQUIRE(back.pixels == top.pixels, "the PNG written reads back other pixels");
}

void ReadForSave(const plughost::ByteSource& bytes, int tile) {
  plughost::SaveImage read;
  plughost::ImageFault error;
  if (!plughost::DecodeForSave(bytes, "pic", tile, &read, &error)) {
    RequireRefusal(error);
    return;
  }
  const plughost::Image& top = read.top;
  FUZZ_REQUIRE(top.rows >= 1 && top.rows <= plughost::kSavedRows && top.rows <= read.rows,
               "%d rows kept of %d", top.rows, read.rows);
  FUZZ_REQUIRE(top.columns == read.columns && top.planes == 3 &&
                   top.pixels.size() == size_t(top.rows) * size_t(top.columns) * 3,
               "kept %dx%dx%d in %zu bytes of %d columns", top.rows, top.columns, top.planes,
               top.pixels.size(), read.columns);
  if (top.pixels.size() <= 3 * 4096) RequireRoundTrip(top);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const plughost::MemoryBytes bytes(data, size);
  ReadForSave(bytes, 0);
  if (size > 0) ReadForSave(bytes, 1 + data[size - 1] % 8);
  return 0;
}
