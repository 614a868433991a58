// Palettes for other editors: GIMP palettes (.gpl, read by GIMP, Krita,
// Inkscape and Aseprite) and JASC-PAL palettes (.pal), and, read only, the
// binary RIFF palettes Windows tools also name .pal. A palette image is
// 16 x 16 colours, row by row, so its 256 entries are written in order;
// read back, a palette file becomes such an image, 16 colours to a row, the
// entries it lacks black.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plughost/host/image.h"
#include "plughost/images/byte_source.h"
#include "plughost/images/formats.h"
#include "plughost/images/image_fault.h"

namespace plughost {

// `kind` is the palette's row of the table of formats: kGimpPalette,
// kJascPalette or, to read, kRiffPalette. A .pal is read as a RIFF palette
// when it begins "RIFF", whichever of the two kinds is asked.

// The image's pixels, row by row, as a palette file; `name` goes into the
// GIMP palette's header. Only the first `held` colours when the palette
// holds fewer than the image shows (-1: every pixel). Empty for an image
// that is not RGB.
std::vector<uint8_t> EncodePaletteText(const Image& image, ImageFormat kind,
                                       const std::string& name, int held = -1);

// A palette file as a 16 x 16 image, read a line at a time: what is held
// does not grow with the file. Lines may end in LF, CR LF or CR, and a UTF-8
// byte-order mark is skipped. False with the fault naming the file, the
// line and what was wrong (more than 256 colours, a malformed line, shortened
// to at most 80 characters, a number outside 0 to 255, a line longer than
// kMaxLineBytes). *colours is how many the file held.
// A RIFF palette is read by its header, its chunks' heads and the first 256
// colours of its "data" chunk, nothing more; one of more than 256 colours
// is read as its first 256 (*colours says how many it held). Refused,
// naming the file, when it is cut short, of another kind than
// "PAL ", or its sizes or count do not fit.
bool DecodePaletteText(const ByteSource& source, ImageFormat kind, const std::string& name,
                       Image* image, int* colours, ImageFault* fault);
bool DecodePaletteText(const std::vector<uint8_t>& bytes, ImageFormat kind, const std::string& name,
                       Image* image, int* colours, ImageFault* fault);

}  // namespace plughost
