// A PNG as libspng writes it from rows already in PNG's form (packed
// indices or samples, 16-bit ones in the machine's own order), with a
// palette when one is given: what the reader tests feed the readers.
#pragma once

#include <spng.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace plughost_test {

inline std::vector<uint8_t> EncodedPng(spng_ihdr ihdr, const void* rows, size_t size,
                                       const spng_plte* palette = nullptr) {
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_set_ihdr(ctx, &ihdr);
  if (palette != nullptr) spng_set_plte(ctx, const_cast<spng_plte*>(palette));
  std::vector<uint8_t> png;
  if (spng_encode_image(ctx, rows, size, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) == 0) {
    size_t length = 0;
    int code = 0;
    auto* buffer = static_cast<uint8_t*>(spng_get_png_buffer(ctx, &length, &code));
    png.assign(buffer, buffer + length);
    std::free(buffer);
  }
  spng_ctx_free(ctx);
  return png;
}

}  // namespace plughost_test
