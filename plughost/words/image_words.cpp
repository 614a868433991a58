#include "plughost/words/image_words.h"

#include <utility>

#include "plughost/images/formats.h"
#include "plughost/words/fill.h"

namespace plughost {

namespace {

// Every sentence of the readers, one a code. Refusals name the file;
// notes follow the file's name and a colon where they are said.
// clang-format off
constexpr struct {
  ImageSaid said;
  const char* sentence;
} kSentences[] = {
    {ImageSaid::kFormNotRead,
     "{file} is {form}, which {reader} does not read: save it as PNG and save the palette from "
     "that"},
    {ImageSaid::kJpegNotRead,
     "{file} is a JPEG, which stores colours only approximately, so a palette taken from it would "
     "not be the colours painted: save the image as PNG and save the palette from that"},
    {ImageSaid::kPaletteTextByName,
     "{file} is {form}, which {reader} reads only from a file whose name ends in .{extension}"},
    {ImageSaid::kKissPaletteNotImage,
     "{file} is {form}, not an image: open makes an image of its colours, which save reads"},
    {ImageSaid::kKissFileNotRead, "{file} is {form}, which {reader} does not read"},
    {ImageSaid::kUnreadable, "{file} could not be read"},
    {ImageSaid::kReadCutShort, "{file} could not be read to its end"},
    {ImageSaid::kEmpty, "{file} is empty"},
    {ImageSaid::kNotAnImage, "{file} is not an image {reader} reads ({formats})"},
    {ImageSaid::kNoPixels, "{file} has no pixels (its header says {columns} x {rows} pixels)"},
    {ImageSaid::kTooManyPixels,
     "{file} is {columns} x {rows} pixels, more than the {limit} {reader} reads"},
    {ImageSaid::kSideTooLong,
     "{file} is {columns} x {rows} pixels, more than the {limit} a side {reader} reads"},
    {ImageSaid::kTruncated, "{file} is truncated: its {kind} data stops before its end"},
    {ImageSaid::kUndecodable,
     "{file} is a {kind} file {reader} cannot decode: damaged, or a form of {kind} it does not "
     "read"},
    {ImageSaid::kHeldRowsTooMany,
     "{file} would need {count:MiB} MiB to hold the rows a save reads, more than the {limit:MiB} "
     "MiB {reader} allows (an interlaced or GIF image that wide and tall is read whole; save it "
     "as a plain PNG)"},
    {ImageSaid::kOutOfMemory, "{file} needs more memory than {reader} could get"},
    {ImageSaid::kTooBigForMemory, "{file} is too big for the memory at hand"},
    {ImageSaid::kFileRefused, "{text}"},
    {ImageSaid::kPngHeaderBad,
     "{file} is damaged: its PNG header (IHDR) holds values PNG does not allow"},
    {ImageSaid::kPngChecksum, "{file} is damaged: a PNG chunk's checksum does not match"},
    {ImageSaid::kPngChunkOrder,
     "{file} is damaged: its PNG chunks are not the ones, or not in the order, PNG requires"},
    {ImageSaid::kPngUnknownCritical,
     "{file} has a PNG chunk of a kind {reader} does not know and must understand to read the "
     "image"},
    {ImageSaid::kPngUnknownCriticalNamed,
     "{file} has a PNG chunk of a kind {reader} does not know and must understand to read the "
     "image ({text})"},
    {ImageSaid::kPngPaletteTooBig,
     "{file} has a PNG palette chunk past the {limit:MiB} MiB {reader} reads"},
    {ImageSaid::kPngBadFilter,
     "{file} is damaged: a row of its PNG image data names a filter PNG does not have"},
    {ImageSaid::kPngDataDamaged,
     "{file} is damaged: its PNG image data does not inflate (its compressed bytes are wrong)"},
    {ImageSaid::kBmpHeaderSize,
     "{file} is a BMP file with a header of {value} bytes, which {reader} does not read"},
    {ImageSaid::kBmpPlanes,
     "{file} is a BMP file of {value} colour planes, which {reader} does not read"},
    {ImageSaid::kBmpCoding,
     "{file} is a BMP file coded with {coding}, which {reader} does not read"},
    {ImageSaid::kBmpDepth,
     "{file} is a BMP file of {value} bits a pixel, which {reader} does not read"},
    {ImageSaid::kBmpCodingAtDepth,
     "{file} is a BMP file coded with {coding} at {count} bits a pixel, which {reader} does not "
     "read"},
    {ImageSaid::kBmpTopDownRuns,
     "{file} is a BMP file stored top row first and coded in runs, which {reader} does not read"},
    {ImageSaid::kGifNoImage, "{file} is a GIF file with no image in it"},
    {ImageSaid::kNetpbmHeaderCut, "{file} is truncated: it ends inside its header"},
    {ImageSaid::kNetpbmBadNumber,
     "{file} has a bad number at byte {at} (PPM and PGM numbers are digits only, up to {limit})"},
    {ImageSaid::kNetpbmMaxval,
     "{file} declares a maximum value of {value}, where PPM and PGM allow 1 to 65535"},
    {ImageSaid::kNetpbmFewerValues,
     "{file} is truncated: it holds fewer than the {total} values its header declares"},
    {ImageSaid::kNetpbmFewerBytes,
     "{file} is truncated: it holds {count} of the {total:byte|bytes} of pixels its header "
     "declares"},
    {ImageSaid::kNetpbmValuePastMax,
     "{file} has the value {value} where its header allows at most {limit}"},
    {ImageSaid::kNotSwatchSize,
     "{file}: a {columns} x {rows} image is not a swatch of {tile}-pixel tiles (each side must be "
     "a multiple of {side}, plus 1)"},
    {ImageSaid::kNotSwatchSizeButFits,
     "{file}: a {columns} x {rows} image is not a swatch of {tile}-pixel tiles (each side must be "
     "a multiple of {side}, plus 1); it has the size of a swatch of {fits}-pixel tiles"},
    {ImageSaid::kSwatchTileMixed,
     "{file}: tile at row {row}, column {column} is not one colour: not a swatch of {tile}-pixel "
     "tiles, or edited inside a tile"},
    {ImageSaid::kPaletteUnreadable, "{file}: the file could not be read to its end"},
    {ImageSaid::kLineTooLong,
     "{file}: line {line}: longer than {limit} characters, which no palette line is"},
    {ImageSaid::kTooManyColours, "{file}: line {line}: a palette holds at most 256 colours"},
    {ImageSaid::kNotThreeNumbers,
     "{file}: line {line}: expected three numbers (red, green, blue), found \"{text}\""},
    {ImageSaid::kNotANumber, "{file}: line {line}: \"{text}\" is not a number"},
    {ImageSaid::kNotAByte, "{file}: line {line}: {text} is not from 0 to 255"},
    {ImageSaid::kNoGimpHeader, "{file}: line {line}: a GIMP palette begins \"GIMP Palette\""},
    {ImageSaid::kNoJascHeader, "{file}: line {line}: a JASC palette begins \"JASC-PAL\""},
    {ImageSaid::kNoJascVersion, "{file}: line {line}: expected the version \"0100\""},
    {ImageSaid::kNoJascCount, "{file}: line {line}: expected the number of colours"},
    {ImageSaid::kJascCountTooLarge,
     "{file}: line {line}: {count} colours, and a palette holds at most 256"},
    {ImageSaid::kPastJascCount, "{file}: line {line}: more colours than the count on line 3"},
    {ImageSaid::kEndsBeforeCount,
     "{file}: line {line}: the file ends after {count} of its {total:colour|colours}"},
    {ImageSaid::kRiffShort,
     "{file} is cut short: a RIFF palette begins with 12 bytes, and the file has "
     "{count:byte|bytes}"},
    {ImageSaid::kRiffNotRiff, "{file} is not a RIFF palette: it does not begin \"RIFF\""},
    {ImageSaid::kRiffOtherKind,
     "{file} is a RIFF file of another kind (\"{text}\"), not a palette"},
    {ImageSaid::kRiffHeaderPastEnd,
     "{file} is cut short: its RIFF header counts {total} bytes, and the file has {count}"},
    {ImageSaid::kRiffChunkPastEnd,
     "{file} is damaged: its \"{text}\" chunk at byte {at} runs to byte {to}, past the {total} "
     "bytes its RIFF header counts"},
    {ImageSaid::kRiffNoData, "{file} is a RIFF palette without a \"data\" chunk of colours"},
    {ImageSaid::kRiffDataTooSmall,
     "{file} is damaged: its \"data\" chunk of {count:byte|bytes} has no room for the version and "
     "count of its colours"},
    {ImageSaid::kRiffVersion,
     "{file} is a RIFF palette of version {value:0x}, where {reader} reads version 0x0300"},
    {ImageSaid::kRiffDataShort,
     "{file} is damaged: its {count:colour|colours} need {total} bytes of its \"data\" chunk, "
     "which holds {value}"},
    {ImageSaid::kIndexPastTable,
     "its pixel at column {column}, row {row} names colour {value}, past its table of "
     "{total:colour|colours}: it is saved black"},
    {ImageSaid::kIndicesPastTable,
     "{count} of the pixels read name colours past its table of {total:colour|colours} (the first "
     "at column {column}, row {row}, colour {value}): they are saved black"},
    {ImageSaid::kAnimationFirstFrame,
     "it is an animation of {count:frame|frames}; only the first is read"},
    {ImageSaid::kAnimationBesideStill,
     "it is an animation of {count:frame|frames} besides its still image; only the still image is "
     "read"},
    {ImageSaid::kRunsLeaveUnpainted,
     "its runs leave {count} of the pixels read without a colour (the first at column {column}, "
     "row {row}): they are saved in its table's first colour"},
    {ImageSaid::kGifTransparent,
     "its transparent pixels (the first at column {column}, row {row}) are saved in the colour "
     "its table gives them, {colour:rgb} (GIF colour {value}): a palette has no transparency"},
    {ImageSaid::kGifUncoveredBackground,
     "its first frame leaves the screen uncovered (the first pixel at column {column}, row "
     "{row}), saved in its background colour, {colour:rgb} (GIF colour {value})"},
    {ImageSaid::kGifUncoveredBlack,
     "its first frame leaves the screen uncovered (the first pixel at column {column}, row "
     "{row}), saved in black: it has no table to name a background from"},
};
// clang-format on

// What a BMP's compression field names, the field's number in {value}.
const char* CodingName(BmpCoding coding) {
  switch (coding) {
    case BmpCoding::kRle8: return "8-bit runs (RLE8)";
    case BmpCoding::kRle4: return "4-bit runs (RLE4)";
    case BmpCoding::kBitFields: return "bit fields";
    case BmpCoding::kJpeg: return "a JPEG image inside";
    case BmpCoding::kPng: return "a PNG image inside";
    case BmpCoding::kAlphaBitFields: return "bit fields with alpha";
    case BmpCoding::kHuffman1D: return "Huffman 1D coding";
    case BmpCoding::kRle24: return "24-bit runs (RLE24)";
    case BmpCoding::kNumbered: break;
  }
  return "compression {value}";
}

// Without a name, a file refused before its format is known, or a palette
// file, is "the file"; an image, "the image".
const char* Unnamed(ImageSaid said) {
  const bool palette = said == ImageSaid::kPaletteUnreadable ||
                       (int(said) >= int(ImageSaid::kLineTooLong) &&
                        int(said) <= int(ImageSaid::kRiffDataShort));
  return palette || said == ImageSaid::kEmpty || said == ImageSaid::kNotAnImage ? "the file"
                                                                                 : "the image";
}

// "PNG" of "a PNG image": the format's own name.
std::string Kind(const Format& format) {
  const std::string name = format.name;
  const size_t first = name.find(' ') + 1, last = name.rfind(' ');
  return last > first ? name.substr(first, last - first) : name;
}

Field FaultField(const ImageFault& f, const std::string& reader, const std::string& name) {
  const Format& form = FormatById(f.form);
  if (name == "file") return Field::Text(f.file.empty() ? Unnamed(f.said) : f.file);
  if (name == "reader") return Field::Text(reader);
  if (name == "form") return Field::Text(form.name);
  if (name == "kind") return Field::Text(Kind(form));
  if (name == "extension")
    return Field::Text(form.extensions.empty() ? "" : form.extensions.front());
  if (name == "formats") return Field::Text(FormatsSaveReads());
  if (name == "text") return Field::Text(f.text);
  if (name == "coding")
    return Field::Text(
        Fill(CodingName(f.coding), [&f](const std::string&) { return Field::Number(f.value); }));
  const std::pair<const char*, int64_t> numbers[] = {
      {"columns", f.columns}, {"rows", f.rows},   {"column", f.column},
      {"row", f.row},         {"line", f.line},   {"at", f.at},
      {"to", f.to},           {"count", f.count}, {"total", f.total},
      {"limit", f.limit},     {"value", f.value}, {"tile", f.tile},
      {"side", f.tile + 1},   {"fits", f.fits},   {"colour", int64_t{f.colour}}};
  for (const auto& [key, number] : numbers)
    if (name == key) return Field::Number(number);
  return Field::Text("{" + name + "}");
}

}  // namespace

const char* ImageSentence(ImageSaid said) {
  for (const auto& row : kSentences)
    if (row.said == said) return row.sentence;
  return "";
}

std::string ImageWords(const ImageFault& fault, const std::string& reader) {
  return Fill(ImageSentence(fault.said), [&fault, &reader](const std::string& name) {
    return FaultField(fault, reader, name);
  });
}

std::string ImageWords(const ImageNotes& notes, const std::string& reader) {
  std::string line;
  for (const ImageFault& note : notes)
    line += (line.empty() ? "" : "; ") + ImageWords(note, reader);
  return line;
}

}  // namespace plughost
