// The one table of the formats plughost knows. Each row is a format's name,
// its extensions, how its first bytes are recognised, what kind of file it
// is, and what plughost does with it: the writer `open` uses, the reader
// `save` uses, or why `save` does not read it. The readers, the check of
// what a save may replace, the command line's choices and its help all read
// this table; a new format is one row (and its reader or writer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plughost/host/image.h"
#include "plughost/images/byte_source.h"

namespace plughost {

class ImageDecoder;

// Every format of the table; kUnknown for what it does not know.
enum class ImageFormat {
  kUnknown, kPng, kPpm, kGimpPalette, kJascPalette, kPgm, kBmp, kGif, kJpeg, kTiff, kWebp,
  kNetpbm, kTga, kKissPalette, kKissCel, kKissFile, kRiffPalette, kAvif, kHeic, kIco, kCur,
  kJpeg2000, kPcx, kPsd, kSgi, kSunRaster, kXpm, kMiff, kDds
};

enum class FileKind {
  kImage,        // pixels
  kPaletteText,  // a palette of another editor's (text, or a RIFF palette)
  kPalette,      // a KiSS palette
  kKissFile,     // another file of a KiSS set (a cel, ...)
};

struct Format {
  ImageFormat id;
  const char* name;    // in sentences: "x.tif is a TIFF image"
  const char* option;  // for --format, or null
  std::vector<std::string> extensions;  // lower case, no dot; the first is written
  FileKind kind;
  // True when a file's first bytes are of this format; null for a format
  // known only by its extension.
  bool (*recognise)(const uint8_t* head, size_t size);
  // What open writes: the image as the file's bytes, `name` for a palette
  // text's header and `held` the colours it holds (-1: every pixel); empty
  // when the image cannot be written so. Null: open does not write it.
  std::vector<uint8_t> (*encode)(const Image& image, const std::string& name, int held);
  // What save reads it with; null when it does not.
  std::unique_ptr<ImageDecoder> (*decoder)(const ByteSource& source);
  // True for a format that stores colours only approximately: a palette
  // taken from it would not be the colours painted.
  bool lossy;
};

// How many first bytes FormatOf is handed to tell the formats with weak
// marks (ICO, CUR, PCX) from a headerless palette's 12-bit colours.
constexpr size_t kRecognisedBytes = 320;

const std::vector<Format>& Formats();

// By the extension of `path`, in any case; null when none has it.
const Format* FormatByName(const std::string& path);
// By a file's first bytes (kRecognisedBytes, fewer for a shorter file), then, for a format known only by
// its extension, by `path`; null when neither says.
const Format* FormatOf(const uint8_t* head, size_t size, const std::string& path);
const Format& FormatById(ImageFormat id);

// The format open writes to a file of this name (png, ppm, gpl, pal), or kUnknown.
ImageFormat FormatFromPath(const std::string& path);

// "png, ppm, gpl or pal": what --format takes.
std::vector<std::string> FormatOptions();
// "PNG, BMP, GIF, PPM, PGM": what save reads as images.
std::string FormatsSaveReads();
// "GIMP/JASC palettes (.gpl, .pal)": the palette texts save reads.
std::string PaletteTextsSaveReads();

// The last extension of a file's name, lower case, without the dot.
std::string ExtensionOf(const std::string& path);

}  // namespace plughost
