// What an image file's own bytes say before stb_image decodes it: which kind
// it is, by the mark it begins with; a PNG's size; and whether it stops
// before its end, which stb_image does not always notice.
#pragma once

#include <cstdint>
#include <vector>

namespace plughost {

// kPnm is any of PPM and PGM's marks; kOther may still be a TGA, which has
// no mark of its own.
enum class ImageKind { kPng, kJpeg, kGif, kBmp, kPnm, kTga, kOther };

ImageKind ImageKindOf(const std::vector<uint8_t>& bytes);
// "PNG", "JPEG" ... as refusals name the kind; "image" for kOther.
const char* ImageKindName(ImageKind kind);

// Read here because stb_image refuses to report the size of a PNG whose
// pixels would take more than 1 GB, which would make it "not an image".
// False when the bytes hold no IHDR chunk first.
bool PngSize(const std::vector<uint8_t>& bytes, int64_t* columns, int64_t* rows);

// True when the file is shorter than its own header and blocks say it is.
// Always false for kPnm and kOther, and for forms whose length is known only
// by decoding them (run-length coded BMP and TGA). A JPEG is asked only
// after stb_image failed on it, since one may carry bytes after its end. A
// BMP or TGA is asked only once its size was allowed, so that the products
// of its header's numbers stay small.
bool ImageEndsEarly(ImageKind kind, const std::vector<uint8_t>& bytes);

}  // namespace plughost
