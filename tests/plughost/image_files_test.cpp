// Image files: what is written reads back pixel for pixel, what cannot be
// read is refused with its reason, a save reads only the rows it hands the
// module, and a swatch gives back exactly the colours it was made of, or
// refuses.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "plughost/images/image_files.h"
#include "plughost/words/image_words.h"
#include "tests/plughost/encoded_png.h"

namespace {

using plughost::Image;
using plughost::ImageFormat;

Image Pattern(int rows, int columns, int planes) {
  Image image = Image::Blank(rows, columns, planes);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 37 + i / 7);
  return image;
}

struct FormatCase {
  const char* path;
  ImageFormat format;
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.path; }

class Formats : public testing::TestWithParam<FormatCase> {};

TEST_P(Formats, FollowTheExtensionInAnyCase) {
  EXPECT_EQ(plughost::FormatFromPath(GetParam().path), GetParam().format) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Formats,
    testing::Values(FormatCase{"a.png", ImageFormat::kPng}, FormatCase{"A.PNG", ImageFormat::kPng},
                    FormatCase{"dir.x/a.ppm", ImageFormat::kPpm},
                    FormatCase{"C:\\x\\a.Ppm", ImageFormat::kPpm},
                    FormatCase{"a.jpg", ImageFormat::kUnknown},
                    FormatCase{"png", ImageFormat::kUnknown},
                    FormatCase{"dir.png/a", ImageFormat::kUnknown},
                    FormatCase{"a.png.kcf", ImageFormat::kUnknown}));

// What a file is by its first bytes, then, for a format that has no mark
// of its own, by its name: the one recognition the readers and the check
// of what a save may replace share.
struct RecognisedCase {
  const char* name;
  std::string head;
  const char* path;
  ImageFormat format;
};

void PrintTo(const RecognisedCase& c, std::ostream* os) { *os << c.name; }

// A PCX header of 16 x 16 pixels at 8 bits a pixel, its 16-colour table
// every byte `ega` (many writers leave it 0).
std::string PcxHead(char ega, char version = 5) {
  std::string h(128, '\0');
  h[0] = '\x0A', h[1] = version, h[2] = 1, h[3] = 8, h[8] = h[10] = 15, h[12] = h[14] = 72;
  std::fill(h.begin() + 16, h.begin() + 64, ega);
  h[65] = 1, h[66] = 16, h[68] = 1;
  return h;
}

class Recognised : public testing::TestWithParam<RecognisedCase> {};

TEST_P(Recognised, ByTheFirstBytesThenTheName) {
  const RecognisedCase& c = GetParam();
  const plughost::Format* format = plughost::FormatOf(
      reinterpret_cast<const uint8_t*>(c.head.data()), c.head.size(), c.path);
  EXPECT_EQ(format != nullptr ? format->id : ImageFormat::kUnknown, c.format);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Recognised,
    testing::Values(
        RecognisedCase{"Png", std::string("\x89PNG\r\n\x1A\n", 8), "a.kcf", ImageFormat::kPng},
        RecognisedCase{"PngCutInItsMark", std::string("\x89PNG\r\n", 6), "a.kcf", ImageFormat::kUnknown},
        RecognisedCase{"Gif89", "GIF89a..", "a", ImageFormat::kGif},
        RecognisedCase{"GifOfNoVersion", "GIF8", "a", ImageFormat::kUnknown},
        RecognisedCase{"Bmp", "BM......", "a", ImageFormat::kBmp},
        RecognisedCase{"PlainPpm", "P3\n1 1", "a", ImageFormat::kPpm},
        RecognisedCase{"BinaryPgm", "P5 1 1", "a", ImageFormat::kPgm},
        RecognisedCase{"Pbm", "P1\n", "a", ImageFormat::kNetpbm},
        RecognisedCase{"TextBeginningP1", "P1ease", "a", ImageFormat::kUnknown},
        RecognisedCase{"Jpeg", "\xFF\xD8\xFF\xE0", "a.png", ImageFormat::kJpeg},
        RecognisedCase{"TiffLittle", std::string("II*\0", 4), "a", ImageFormat::kTiff},
        RecognisedCase{"TiffBig", std::string("MM\0*", 4), "a", ImageFormat::kTiff},
        RecognisedCase{"Webp", std::string("RIFF\4\0\0\0WEBP", 12), "a", ImageFormat::kWebp},
        RecognisedCase{"RiffPalette", std::string("RIFF\4\0\0\0PAL ", 12), "a.png", ImageFormat::kRiffPalette},
        RecognisedCase{"RiffOfAnotherKind", std::string("RIFF\4\0\0\0WAVE", 12), "a.pal", ImageFormat::kUnknown},
        RecognisedCase{"Avif", std::string("\0\0\0\x1C" "ftypavif\0\0\0\0avifmif1miaf", 28), "a", ImageFormat::kAvif},
        RecognisedCase{"AvifUnderTheGenericBrand", std::string("\0\0\0\x18" "ftypmif1\0\0\0\0mif1avif", 24), "a", ImageFormat::kAvif},
        RecognisedCase{"Heic", std::string("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24), "a", ImageFormat::kHeic},
        RecognisedCase{"GenericHeifIsHeic", std::string("\0\0\0\x18" "ftypmif1\0\0\0\0mif1heic", 24), "a", ImageFormat::kHeic},
        RecognisedCase{"Mp4VideoIsNoImage", std::string("\0\0\0\x18" "ftypisom\0\0\2\0isomiso2", 24), "a", ImageFormat::kUnknown},
        RecognisedCase{"Jpeg2000", std::string("\0\0\0\x0CjP  \r\n\x87\n", 12), "a", ImageFormat::kJpeg2000},
        RecognisedCase{"Jpeg2000Codestream", "\xFF\x4F\xFF\x51\0\x2F", "a", ImageFormat::kJpeg2000},
        RecognisedCase{"Psd", std::string("8BPS\0\1", 6), "a", ImageFormat::kPsd},
        RecognisedCase{"SunRaster", "\x59\xA6\x6A\x95", "a", ImageFormat::kSunRaster},
        RecognisedCase{"Xpm", "/* XPM */\nstatic char", "a", ImageFormat::kXpm},
        RecognisedCase{"Miff", "id=ImageMagick  version=1.0\n", "a", ImageFormat::kMiff},
        RecognisedCase{"Dds", std::string("DDS \x7C\0\0\0", 8), "a", ImageFormat::kDds},
        RecognisedCase{"TextBeginningDds", "DDS notes", "a", ImageFormat::kUnknown},
        RecognisedCase{"Ico", std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x68\4\0\0\x16\0\0\0", 22), "a", ImageFormat::kIco},
        RecognisedCase{"IcoOfNoImages", std::string("\0\0\1\0\0\0\x10\x10\0\0\1\0\x20\0\x68\4\0\0\x16\0\0\0", 22), "a", ImageFormat::kUnknown},
        RecognisedCase{"IcoOfAnUnknownDepth", std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x21\0\x68\4\0\0\x16\0\0\0", 22), "a", ImageFormat::kUnknown},
        RecognisedCase{"HeaderlessPaletteLaidOutAsAnIcon", std::string("\0\0\1\0\1\0\x08\x08\0\0\1\0\x08\0\x08\1\0\0\x16\0\0\0", 22), "a.kcf", ImageFormat::kUnknown},
        RecognisedCase{"Cur", std::string("\0\0\2\0\1\0\x20\x20\0\0\5\0\5\0\x30\1\0\0\x16\0\0\0", 22), "a", ImageFormat::kCur},
        RecognisedCase{"Pcx", PcxHead('\x80'), "a", ImageFormat::kPcx},
        RecognisedCase{"PcxOfAnUnknownVersion", PcxHead('\x80', 1), "a", ImageFormat::kUnknown},
        RecognisedCase{"HeaderlessPaletteLaidOutAsAPcx", PcxHead('\0'), "a.kcf", ImageFormat::kUnknown},
        RecognisedCase{"Sgi", std::string("\x01\xDA\x01\x01\0\x03\0\x10", 8), "a", ImageFormat::kSgi},
        RecognisedCase{"SgiOfFourDimensions", std::string("\x01\xDA\x01\x01\0\x04\0\x10", 8), "a", ImageFormat::kUnknown},
        RecognisedCase{"TgaByItsHeader", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\x20\0\x10\0\x18\x20", 18), "t.kcf", ImageFormat::kTga},
        RecognisedCase{"MappedTga", std::string("\0\1\1\0\0\x10\0\x18\0\0\0\0\4\0\4\0\x08\0", 18), "a", ImageFormat::kTga},
        RecognisedCase{"TgaNameOnBytesOfNoTga", std::string("\0\0\2\0", 4), "A.TGA", ImageFormat::kUnknown},
        RecognisedCase{"TgaOfAnUnknownDepth", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\x20\0\x10\0\x11\x20", 18), "a", ImageFormat::kUnknown},
        RecognisedCase{"GimpPalette", "GIMP Palette\n", "a", ImageFormat::kGimpPalette},
        RecognisedCase{"JascAfterAByteOrderMark", "\xEF\xBB\xBFJASC-PAL", "a", ImageFormat::kJascPalette},
        RecognisedCase{"KissPalette", std::string("KiSS\x10\x18", 6), "a.png", ImageFormat::kKissPalette},
        RecognisedCase{"KissCel", std::string("KiSS\x20\x04", 6), "a.kcf", ImageFormat::kKissCel},
        RecognisedCase{"KissOfAnotherMark", std::string("KiSS\x05", 5), "a", ImageFormat::kKissFile},
        RecognisedCase{"HeaderlessPaletteIsNoneOfThem", std::string("\x12\x03\x45\x06", 4), "a.kcf", ImageFormat::kUnknown}),
    [](const testing::TestParamInfo<RecognisedCase>& p) { return p.param.name; });

struct RoundTrip {
  const char* name;
  ImageFormat format;
  int rows, columns, planes;
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.name; }

class RoundTrips : public testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTrips, ReadBackAsRgbPixelForPixel) {
  const RoundTrip& c = GetParam();
  const Image image = Pattern(c.rows, c.columns, c.planes);
  const std::vector<uint8_t> bytes = plughost::EncodeImage(image, c.format);
  ASSERT_FALSE(bytes.empty());
  Image back;
  plughost::ImageFault error;
  ASSERT_TRUE(plughost::DecodeImage(bytes, &back, &error)) << plughost::ImageWords(error);
  ASSERT_EQ(back.rows, c.rows);
  ASSERT_EQ(back.columns, c.columns);
  ASSERT_EQ(back.planes, 3);
  for (int r = 0; r < c.rows; ++r) {
    for (int col = 0; col < c.columns; ++col) {
      for (int k = 0; k < 3; ++k) {
        // Grey is spread to all three channels.
        ASSERT_EQ(back.At(r, col, k), image.At(r, col, c.planes == 1 ? 0 : k))
            << "pixel " << r << "," << col << " channel " << k;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, RoundTrips,
                         testing::Values(RoundTrip{"Png16", ImageFormat::kPng, 16, 16, 3},
                                         RoundTrip{"PngWide", ImageFormat::kPng, 3, 41, 3},
                                         RoundTrip{"PngGrey", ImageFormat::kPng, 9, 5, 1},
                                         RoundTrip{"Ppm16", ImageFormat::kPpm, 16, 16, 3},
                                         RoundTrip{"PpmTall", ImageFormat::kPpm, 40, 2, 3},
                                         RoundTrip{"PgmGrey", ImageFormat::kPpm, 4, 4, 1}),
                         [](const testing::TestParamInfo<RoundTrip>& p) { return p.param.name; });

TEST(Encode, WritesThePpmHeaderAndRawRows) {
  const Image image = Pattern(2, 3, 3);
  const std::vector<uint8_t> bytes = plughost::EncodeImage(image, ImageFormat::kPpm);
  const std::string header = "P6\n3 2\n255\n";
  ASSERT_EQ(bytes.size(), header.size() + 18);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + long(header.size())), header);
  EXPECT_TRUE(std::equal(image.pixels.begin(), image.pixels.end(), bytes.begin() + long(header.size())));
}

TEST(Encode, RefusesWhatItCannotWrite) {
  EXPECT_TRUE(plughost::EncodeImage(Image{}, ImageFormat::kPng).empty());
  EXPECT_TRUE(plughost::EncodeImage(Pattern(2, 2, 2), ImageFormat::kPng).empty());
  EXPECT_TRUE(plughost::EncodeImage(Pattern(2, 2, 3), ImageFormat::kUnknown).empty());
}

TEST(Decode, SaysWhyItCannotRead) {
  Image image;
  plughost::ImageFault error;
  EXPECT_FALSE(plughost::DecodeImage({}, &image, &error));
  EXPECT_EQ(error.said, plughost::ImageSaid::kEmpty);
  EXPECT_EQ(plughost::ImageWords(error), "the file is empty");
  EXPECT_FALSE(plughost::DecodeImage({'K', 'i', 'S', 'S', 16, 24}, &image, &error));
  EXPECT_EQ(error.said, plughost::ImageSaid::kKissPaletteNotImage);
  EXPECT_EQ(error.form, ImageFormat::kKissPalette);
  EXPECT_NE(plughost::ImageWords(error).find("not an image"), std::string::npos) << plughost::ImageWords(error);
}

using Bytes = std::vector<uint8_t>;

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

Bytes Cut(Bytes bytes, size_t count) {
  bytes.resize(bytes.size() - count);
  return bytes;
}

// A row of red, green and blue: nine bytes, so a BMP row carries padding.
Image RedGreenBlue() {
  Image image = Image::Blank(1, 3, 3);
  for (int c = 0; c < 3; ++c) image.At(0, c, c) = 255;
  return image;
}

Bytes Encoded(ImageFormat format) { return plughost::EncodeImage(RedGreenBlue(), format); }

void PutLE(Bytes* b, size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) (*b)[at + size_t(i)] = uint8_t(value >> (8 * i));
}

// A 24-bit BMP of `rows` rows stored bottom-up (or top-down for a negative
// count), each row's pixels blue, green, red as `pixel` gives them.
Bytes Bmp24(int columns, int rows, void (*pixel)(int row, int column, uint8_t rgb[3])) {
  const int height = rows < 0 ? -rows : rows;
  const size_t stride = (size_t(columns) * 3 + 3) / 4 * 4;
  Bytes b(54 + stride * size_t(height), 0);
  b[0] = 'B', b[1] = 'M';
  PutLE(&b, 2, uint32_t(b.size()), 4);
  PutLE(&b, 10, 54, 4);
  PutLE(&b, 14, 40, 4);
  PutLE(&b, 18, uint32_t(columns), 4);
  PutLE(&b, 22, uint32_t(rows), 4);
  PutLE(&b, 26, 1, 2);
  PutLE(&b, 28, 24, 2);
  for (int r = 0; r < height; ++r) {
    const int stored = rows < 0 ? r : height - 1 - r;
    for (int c = 0; c < columns; ++c) {
      uint8_t rgb[3];
      pixel(r, c, rgb);
      for (int k = 0; k < 3; ++k) b[54 + size_t(stored) * stride + size_t(c) * 3 + size_t(2 - k)] = rgb[k];
    }
  }
  return b;
}

void RedGreenBluePixel(int, int column, uint8_t rgb[3]) {
  for (int k = 0; k < 3; ++k) rgb[k] = k == column ? 255 : 0;
}

// Row r is grey level 10 r: which row came out where shows.
void RowLevel(int row, int, uint8_t rgb[3]) { rgb[0] = rgb[1] = rgb[2] = uint8_t(row * 10); }

Bytes Bmp() { return Bmp24(3, 1, RedGreenBluePixel); }

// Red, green and blue, 3 x 1, as ImageMagick writes it (stb's own JPEG
// writer shifts negative numbers, which UBSan stops at).
Bytes Jpeg() {
  return Bytes{
    0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43, 0x00, 0x03, 0x02, 0x02, 0x03, 0x02, 0x02, 0x03,
    0x03, 0x03, 0x03, 0x04, 0x03, 0x03, 0x04, 0x05, 0x08, 0x05, 0x05, 0x04, 0x04, 0x05, 0x0a, 0x07,
    0x07, 0x06, 0x08, 0x0c, 0x0a, 0x0c, 0x0c, 0x0b, 0x0a, 0x0b, 0x0b, 0x0d, 0x0e, 0x12, 0x10, 0x0d,
    0x0e, 0x11, 0x0e, 0x0b, 0x0b, 0x10, 0x16, 0x10, 0x11, 0x13, 0x14, 0x15, 0x15, 0x15, 0x0c, 0x0f,
    0x17, 0x18, 0x16, 0x14, 0x18, 0x12, 0x14, 0x15, 0x14, 0xff, 0xdb, 0x00, 0x43, 0x01, 0x03, 0x04,
    0x04, 0x05, 0x04, 0x05, 0x09, 0x05, 0x05, 0x09, 0x14, 0x0d, 0x0b, 0x0d, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0xff, 0xc0,
    0x00, 0x11, 0x08, 0x00, 0x01, 0x00, 0x03, 0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
    0x01, 0xff, 0xc4, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0xff, 0xc4, 0x00, 0x1b, 0x10, 0x00, 0x00, 0x07, 0x01,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x04, 0x05,
    0x07, 0x36, 0x74, 0xb4, 0xff, 0xc4, 0x00, 0x15, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x08, 0xff, 0xc4, 0x00, 0x1d, 0x11,
    0x00, 0x00, 0x05, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x03, 0x04, 0x05, 0xb4, 0x07, 0x35, 0x37, 0x72, 0x74, 0xff, 0xda, 0x00, 0x0c, 0x03, 0x01,
    0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3f, 0x00, 0x17, 0xcd, 0x17, 0xf5, 0x18, 0x1b, 0xf8, 0x88,
    0x16, 0xa5, 0x05, 0xc7, 0x6d, 0xfb, 0x28, 0x92, 0x70, 0x38, 0xf5, 0x7d, 0x76, 0xec, 0x59, 0x28,
    0xe1, 0xff, 0xd9,
  };
}

// Uncompressed true colour, 2 x 1, stored blue-green-red: red, then blue.
Bytes Tga() {
  return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 0, 0, 255, 255, 0, 0};
}

// 1 x 1: a table of two colours, one image coding colour 0, the trailer.
Bytes Gif() {
  return {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0,  // screen, with a table
          255, 0, 0, 0, 0, 0,                                    // red, black
          ',', 0, 0, 0, 0, 1, 0, 1, 0, 0,                        // the image
          2, 2, 0x44, 0x01, 0,                                   // its one pixel: colour 0
          ';'};
}

// A PNG whose IHDR claims 20000 x 20000: all a size check may read.
Bytes HugePng() {
  Bytes b = Encoded(ImageFormat::kPng);
  for (size_t at : {size_t{16}, size_t{20}}) {  // width, height: 20000, big-endian
    b[at + 2] = 0x4E;
    b[at + 3] = 0x20;
  }
  return b;
}

// 16384 x 16384 at 16 bits a channel, with one byte of pixel data: it once
// made the decoder ask for gigabytes, get nothing and crash on the reason.
Bytes Png16384Square() {
  const char* hex =
      "89504e470d0a1a0a0000000d4948445200004000000040001006000000f958ccc700000001494441540028387de8"
      "0000000049454e44ae426082";
  Bytes b;
  for (const char* at = hex; *at != '\0'; at += 2) b.push_back(uint8_t(std::stoi(std::string(at, 2), nullptr, 16)));
  return b;
}

// Gif() with a second frame of colour 1 (black) after the first.
Bytes GifTwoFrames() {
  Bytes b = Gif();
  b.pop_back();  // the trailer
  const Bytes frame = {',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0, ';'};
  b.insert(b.end(), frame.begin(), frame.end());
  return b;
}

// 1 x 3, interlaced: the data holds rows 0, 2, 1 in that order, as colours
// 1 0 1, so the bottom row is red only when the rows are put in their places.
Bytes GifInterlaced() {
  return {'G', 'I', 'F', '8', '9', 'a', 1, 0, 3, 0, 0x80, 0, 0, 255, 0, 0, 0, 0, 0,
          ',', 0, 0, 0, 0, 1, 0, 3, 0, 0x40,
          2, 2, 0x0C, 0x52, 0, ';'};
}

// `png` with a chunk of `type` and `data` after its header chunk.
// A 1 x 1 grey PNG of 16 bits a sample, as libspng writes it.
Bytes GreyPng16(uint16_t sample) {
  return plughost_test::EncodedPng({1, 1, 16, SPNG_COLOR_TYPE_GRAYSCALE, 0, 0, SPNG_INTERLACE_NONE},
                                   &sample, sizeof sample);
}

// A 16 x `rows` PNG of 4-bit indices 0 to 15 in each row into a palette of 4 colours.
Bytes PngOfFourColoursIndexedToFifteen(uint32_t rows, bool interlaced) {
  spng_plte plte{};
  plte.n_entries = 4;
  for (uint32_t i = 0; i < 4; ++i) plte.entries[i] = {uint8_t(i * 80), 10, 20, 255};
  Bytes indices(size_t{rows} * 8);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t((i % 8) * 0x22 + 0x01);
  const spng_ihdr ihdr{16, rows, 4, SPNG_COLOR_TYPE_INDEXED, 0, 0,
                       uint8_t(interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE)};
  return plughost_test::EncodedPng(ihdr, indices.data(), indices.size(), &plte);
}

Bytes WithChunk(Bytes png, const char* type, const Bytes& data) {
  Bytes chunk(4 + 4);
  for (int i = 0; i < 4; ++i) chunk[size_t(i)] = uint8_t(data.size() >> (24 - 8 * i));
  chunk.insert(chunk.begin() + 4, type, type + 4);
  chunk.resize(8);
  chunk.insert(chunk.end(), data.begin(), data.end());
  const uint32_t crc = uint32_t(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4)));
  for (int i = 0; i < 4; ++i) chunk.push_back(uint8_t(crc >> (24 - 8 * i)));
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());  // after the signature and IHDR
  return png;
}

Bytes PngWithManyTextChunks() {
  Bytes png = Encoded(ImageFormat::kPng);
  for (int i = 0; i < 1001; ++i) png = WithChunk(png, "tEXt", {});
  return png;
}

// An animation's control chunk (3 frames), and a frame's before the image
// data when it is the first frame.
Bytes Apng(bool imageIsFirstFrame) {
  Bytes png = Encoded(ImageFormat::kPng);
  if (imageIsFirstFrame) png = WithChunk(png, "fcTL", Bytes(26, 0));
  return WithChunk(png, "acTL", {0, 0, 0, 3, 0, 0, 0, 0});
}

// A 3 x 3 screen (black behind) with a 2 x 2 red frame at column 1, row 1;
// with `transparent`, its red is the transparent colour.
Bytes GifFrameOffCorner(bool transparent) {
  return {'G', 'I', 'F', '8', '9', 'a', 3, 0, 3, 0, 0xF0, 0, 0, 255, 0, 0, 0, 0, 0,
          '!', 0xF9, 4, uint8_t(transparent ? 1 : 0), 0, 0, 0, 0,
          ',', 1, 0, 1, 0, 2, 0, 2, 0, 0, 2, 2, 0x84, 0x51, 0, ';'};
}

// A BMP of 4- or 8-bit indices into black, red and green, coded in runs
// (compression 1 or 2) as `data` gives them, stored bottom row first.
Bytes BmpRuns(int bits, int columns, int rows, const Bytes& data) {
  Bytes b(54, 0);
  const Bytes table = {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0};
  b.insert(b.end(), table.begin(), table.end());
  b.insert(b.end(), data.begin(), data.end());
  b[0] = 'B', b[1] = 'M';
  PutLE(&b, 2, uint32_t(b.size()), 4);
  PutLE(&b, 10, 54 + uint32_t(table.size()), 4);
  PutLE(&b, 14, 40, 4);
  PutLE(&b, 18, uint32_t(columns), 4);
  PutLE(&b, 22, uint32_t(rows), 4);
  PutLE(&b, 26, 1, 2);
  PutLE(&b, 28, uint32_t(bits), 2);
  PutLE(&b, 30, bits == 8 ? 1 : 2, 4);
  PutLE(&b, 46, 3, 4);
  return b;
}

// 4 x 3: a red bottom row; 0 1 2 as they stand, then a black run; a move
// right past the top row's first pixel, then green to its end.
Bytes BmpRle8() {
  return BmpRuns(8, 4, 3, {4, 1, 0, 0, 0, 3, 0, 1, 2, 0, 1, 0, 0, 0, 0, 2, 1, 0, 3, 2, 0, 1});
}

// 4 x 2: red and green in turn below, then 2 1 1 0 as they stand.
Bytes BmpRle4() { return BmpRuns(4, 4, 2, {4, 0x12, 0, 0, 0, 4, 0x21, 0x10, 0, 1}); }

// Bmp() with OS/2 2.x's 64-byte header in place of Windows' 40 bytes.
Bytes BmpOs2(uint32_t compression) {
  Bytes b = Bmp();
  b.insert(b.begin() + 54, 24, 0);
  PutLE(&b, 10, 78, 4);
  PutLE(&b, 14, 64, 4);
  PutLE(&b, 30, compression, 4);
  return b;
}

struct DecodeCase {
  const char* name;
  Bytes (*bytes)();
  // Part of the message, or for an image read "read COLUMNS x ROWS, last pixel R G B".
  const char* outcome;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class Decodes : public testing::TestWithParam<DecodeCase> {};

TEST_P(Decodes, ReadOrAreRefusedWithTheirReason) {
  Image image;
  plughost::ImageFault fault;
  std::string outcome;
  if (!plughost::DecodeImage(GetParam().bytes(), "pic", &image, &fault)) {
    outcome = plughost::ImageWords(fault);
  } else {
    outcome = "read " + std::to_string(image.columns) + " x " + std::to_string(image.rows) +
              ", last pixel";
    for (int k = 0; k < 3; ++k) outcome += " " + std::to_string(image.pixels.end()[k - 3]);
  }
  EXPECT_NE(outcome.find(GetParam().outcome), std::string::npos) << outcome;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Decodes,
    testing::Values(
        DecodeCase{"P3WithComments",
                   [] { return Text("P3\n# by hand\n2 1 # wide\n255\n255 0 0\t0 128 255\n"); },
                   "read 2 x 1, last pixel 0 128 255"},
        DecodeCase{"P2GreySpread", [] { return Text("P2 2 2 255 0 64\n255 128"); },
                   "read 2 x 2, last pixel 128 128 128"},
        DecodeCase{"P3Maxval15", [] { return Text("P3 1 1 15 15 8 0"); },
                   "read 1 x 1, last pixel 255 136 0"},
        DecodeCase{"P5SixteenBitBigEndian", [] { return Text("P5 1 1 65535\n\x80\x01"); },
                   "read 1 x 1, last pixel 128 128 128"},
        // One rule for 16-bit samples: the high byte, in PPM/PGM as in PNG.
        DecodeCase{"P5SixteenBitTakesItsHighByte", [] { return Text("P5 1 1 65535\n\x10\xFF"); },
                   "read 1 x 1, last pixel 16 16 16"},
        DecodeCase{"PngSixteenBitTakesItsHighByte", [] { return GreyPng16(0x10FF); },
                   "read 1 x 1, last pixel 16 16 16"},
        DecodeCase{"Bmp", Bmp, "read 3 x 1, last pixel 0 0 255"},
        DecodeCase{"BmpTopDown", [] { return Bmp24(3, -1, RedGreenBluePixel); },
                   "read 3 x 1, last pixel 0 0 255"},
        DecodeCase{"BmpTallTopDown", [] { return Bmp24(1, -16, RowLevel); },
                   "read 1 x 16, last pixel 150 150 150"},
        DecodeCase{"BmpTallBottomUp", [] { return Bmp24(1, 16, RowLevel); },
                   "read 1 x 16, last pixel 150 150 150"},
        DecodeCase{"BmpTwoPlanes", [] { Bytes b = Bmp(); b[26] = 2; return b; },
                   "pic is a BMP file of 2 colour planes, which plughost does not read"},
        DecodeCase{"BmpRunsOfTheWrongDepth", [] { Bytes b = Bmp(); b[30] = 1; return b; },
                   "pic is a BMP file coded with 8-bit runs (RLE8) at 24 bits a pixel"},
        DecodeCase{"BmpJpegInside", [] { Bytes b = Bmp(); b[30] = 4; return b; },
                   "pic is a BMP file coded with a JPEG image inside, which plughost does not read"},
        // As such files are written: a bit count of 0.
        DecodeCase{"BmpPngInsideOfNoBitCount", [] { Bytes b = Bmp(); b[30] = 5, b[28] = 0; return b; },
                   "pic is a BMP file coded with a PNG image inside, which plughost does not read"},
        DecodeCase{"BmpHeaderOfUnknownSize", [] { Bytes b = Bmp(); b[14] = 41; return b; },
                   "pic is a BMP file with a header of 41 bytes"},
        DecodeCase{"BmpRle8", BmpRle8, "read 4 x 3, last pixel 255 0 0"},
        DecodeCase{"BmpRle4", BmpRle4, "read 4 x 2, last pixel 0 255 0"},
        DecodeCase{"BmpRle8Truncated", [] { return Cut(BmpRle8(), 3); }, "pic is truncated"},
        DecodeCase{"BmpOs2", [] { return BmpOs2(0); }, "read 3 x 1, last pixel 0 0 255"},
        DecodeCase{"BmpOs2Huffman", [] { return BmpOs2(3); },
                   "pic is a BMP file coded with Huffman 1D coding, which plughost does not read"},
        DecodeCase{"PngWithAnEmptyExifChunk", [] { return WithChunk(Encoded(ImageFormat::kPng), "eXIf", {}); },
                   "read 3 x 1, last pixel 0 0 255"},
        DecodeCase{"PngWithAThousandTextChunks", PngWithManyTextChunks, "read 3 x 1, last pixel 0 0 255"},
        DecodeCase{"PngWithACriticalChunkOfNoKnownKind",
                   [] { return WithChunk(Encoded(ImageFormat::kPng), "QUUX", {1, 2}); },
                   "pic has a PNG chunk of a kind plughost does not know and must understand to "
                   "read the image (QUUX)"},
        DecodeCase{"GifFrameOffTheCorner", [] { return GifFrameOffCorner(false); },
                   "read 3 x 3, last pixel 255 0 0"},
        DecodeCase{"TgaIsNotRead", Tga,
                   "pic is a TGA image, which plughost does not read: save it as PNG and save "
                   "the palette from that"},
        DecodeCase{"TiffNamedInItsRefusal", [] { return Bytes{'I', 'I', '*', 0, 8, 0, 0, 0}; },
                   "pic is a TIFF image, which plughost does not read: save it as PNG"},
        DecodeCase{"IcoNamedByMoreThanItsFirst16Bytes",
                   [] { return Bytes{0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0x68, 4, 0, 0, 22, 0, 0, 0}; },
                   "pic is a Windows icon, which plughost does not read"},
        DecodeCase{"JascPaletteByAnotherName", [] { return Text("JASC-PAL\r\n0100\r\n1\r\n1 2 3\r\n"); },
                   "pic is a JASC palette, which plughost reads only from a file whose name ends in .pal"},
        DecodeCase{"RiffPaletteByAnotherName",
                   [] { return Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'P', 'A', 'L', ' '}; },
                   "pic is a RIFF palette, which plughost reads only from a file whose name ends in .pal"},
        DecodeCase{"Gif", Gif, "read 1 x 1, last pixel 255 0 0"},
        DecodeCase{"P3Truncated", [] { return Text("P3 2 1 255 1 2 3 4"); }, "pic is truncated"},
        DecodeCase{"P3AboveMaxval", [] { return Text("P3 1 1 15 16 0 0"); },
                   "pic has the value 16"},
        DecodeCase{"P3BadNumber", [] { return Text("P3 1 1 255 12x 0 0"); },
                   "pic has a bad number at byte 11"},
        DecodeCase{"P6Truncated", [] { return Cut(Encoded(ImageFormat::kPpm), 1); },
                   "pic is truncated"},
        DecodeCase{"PngTruncated", [] { return Cut(Encoded(ImageFormat::kPng), 1); },
                   "pic is truncated"},
        DecodeCase{"JpegIsRefusedForItsColours", Jpeg,
                   "pic is a JPEG, which stores colours only approximately"},
        DecodeCase{"JpegTruncated", [] { return Cut(Jpeg(), 2); },
                   "save the image as PNG and save the palette from that"},
        DecodeCase{"P5SidesPastFourBillion", [] { return Text("P5 4294967295 4294967295 1\n"); },
                   "pic is 4294967295 x 4294967295 pixels, more than the 268435456"},
        DecodeCase{"PngOf16384SquareWithOneByteOfPixels", Png16384Square, "pic is truncated"},
        DecodeCase{"GifAnimated", GifTwoFrames, "read 1 x 1, last pixel 255 0 0"},
        DecodeCase{"GifInterlaced", GifInterlaced, "read 1 x 3, last pixel 255 0 0"},
        DecodeCase{"GifLzwCodePastTheTable", [] { Bytes b = Gif(); b[31] = 0x07; return b; },
                   "pic is a GIF file plughost cannot decode"},
        DecodeCase{"GifOfOnlyATrailer",
                   [] { Bytes b = Gif(); b.resize(19); b.push_back(';'); return b; },
                   "pic is a GIF file with no image in it"},
        DecodeCase{"BmpTruncated", [] { return Cut(Bmp(), 1); }, "pic is truncated"},
        DecodeCase{"TgaTruncated", [] { return Cut(Tga(), 1); }, "pic is a TGA image, which plughost does not read"},
        DecodeCase{"GifTruncated", [] { return Cut(Gif(), 1); }, "pic is truncated"},
        DecodeCase{"PngOf20000Square", HugePng,
                   "pic is 20000 x 20000 pixels, more than the 268435456 plughost reads"},
        DecodeCase{"PngOfTheWidestSizePngAllows",
                   [] {
                     Bytes b = Encoded(ImageFormat::kPng);
                     std::copy_n(Bytes{0x7F, 0xFF, 0xFF, 0xFF}.begin(), 4, b.begin() + 16);
                     return b;
                   },
                   "pic is 2147483647 x 1 pixels, more than the 32767 a side plughost reads"},
        DecodeCase{"KissPaletteIsNoImage", [] { return Text("KiSS\x10\x18 a palette"); },
                   "pic is a KiSS palette, not an image: open makes an image of its colours"},
        DecodeCase{"NotAnImage", [] { return Text("colours, 16 to a row"); },
                   "pic is not an image plughost reads (PNG, BMP, GIF, PPM, PGM)"}),
    [](const testing::TestParamInfo<DecodeCase>& p) { return p.param.name; });

// Grey level 10 r in row r (mod 256), `rows` rows of `columns`; with
// `noise`, every column but the last is noise, which compresses badly.
Image Rows(int rows, int columns, bool noise = false) {
  Image image = Image::Blank(rows, columns, 3);
  uint32_t state = 1;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      for (int k = 0; k < 3; ++k) {
        state = state * 1664525u + 1013904223u;
        image.At(r, c, k) = noise && c + 1 < columns ? uint8_t(state >> 24) : uint8_t(r * 10);
      }
    }
  }
  return image;
}

Bytes TallPng() { return plughost::EncodeImage(Rows(3000, 40, true), ImageFormat::kPng); }

// A swatch of 3 x 20 tiles of 2 pixels: more rows of tiles than a save reads.
Image TallSwatch() { return plughost::MakeSwatch(Rows(20, 3), 2); }

Bytes SwatchPng(void (*spoil)(Image&)) {
  Image swatch = TallSwatch();
  spoil(swatch);
  return plughost::EncodeImage(swatch, ImageFormat::kPng);
}

// A 16384 x 16384 screen with one red pixel in its corner, in 35 bytes.
Bytes GifOfHugeScreen() {
  Bytes b = Gif();
  b[6] = b[8] = 0;
  b[7] = b[9] = 0x40;
  return b;
}

struct SaveCase {
  const char* name;
  Bytes (*bytes)();
  int tile;
  // Part of the refusal, or "kept ROWS rows of COLUMNS x ROWS, last pixel R G B" and the note.
  const char* outcome;
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

class Saves : public testing::TestWithParam<SaveCase> {};

TEST_P(Saves, ReadOnlyTheRowsTheModuleIsHanded) {
  const SaveCase& c = GetParam();
  const Bytes bytes = c.bytes();
  plughost::SaveImage read;
  plughost::ImageFault fault;
  std::string outcome;
  if (!plughost::DecodeForSave(plughost::MemoryBytes(bytes), "pic", c.tile, &read, &fault)) {
    outcome = plughost::ImageWords(fault);
  } else {
    const Image& top = read.top;
    outcome = "kept " + std::to_string(top.rows) + " rows of " + std::to_string(read.columns) +
              " x " + std::to_string(read.rows) + ", last pixel";
    for (int k = 0; k < 3; ++k) outcome += " " + std::to_string(top.pixels.end()[k - 3]);
    ASSERT_EQ(top.columns, read.columns) << "every column is kept";
    outcome += read.notes.empty() ? "" : "; " + plughost::ImageWords(read.notes);
  }
  EXPECT_NE(outcome.find(c.outcome), std::string::npos) << outcome;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Saves,
    testing::Values(
        SaveCase{"TallPng", TallPng, 0, "kept 16 rows of 40 x 3000, last pixel 150 150 150"},
        // Below the rows read, the image data is checked without being inflated.
        SaveCase{"TallPngCutBelowItsTopRows", [] { Bytes b = TallPng(); return Cut(b, b.size() / 2); },
                 0, "pic is truncated: its PNG data stops before its end"},
        SaveCase{"TallPngDamagedBelowItsTopRows", [] { Bytes b = TallPng(); b[b.size() - 20] ^= 0x10; return b; },
                 0, "pic is damaged: a PNG chunk's checksum does not match"},
        SaveCase{"ShortPngCut", [] { return Cut(Encoded(ImageFormat::kPng), 1); }, 0,
                 "pic is truncated"},
        SaveCase{"PngOf16384SquareWithOneByteOfPixels", Png16384Square, 0, "pic is truncated"},
        SaveCase{"BmpBottomUp", [] { return Bmp24(2, 40, RowLevel); }, 0,
                 "kept 16 rows of 2 x 40, last pixel 150 150 150"},
        SaveCase{"BmpTopDown", [] { return Bmp24(2, -40, RowLevel); }, 0,
                 "kept 16 rows of 2 x 40, last pixel 150 150 150"},
        SaveCase{"PpmTall", [] { return plughost::EncodeImage(Rows(300, 2), ImageFormat::kPpm); },
                 0, "kept 16 rows of 2 x 300, last pixel 150 150 150"},
        SaveCase{"GifAnimatedSaysSo", GifTwoFrames, 0,
                 "kept 1 rows of 1 x 1, last pixel 255 0 0; it is an animation of 2 frames; "
                 "only the first is read"},
        SaveCase{"GifOfHugeScreenInFewBytes", GifOfHugeScreen, 0,
                 "kept 16 rows of 16384 x 16384, last pixel 255 0 0"},
        // The screen the frame leaves takes the background colour its table names.
        SaveCase{"GifBackgroundNamed", GifOfHugeScreen, 0,
                 "its first frame leaves the screen uncovered (the first pixel at column 1, row 0), saved "
                 "in its background colour, ff0000 (GIF colour 0)"},
        SaveCase{"GifIndexPastItsTable", [] { Bytes b = Gif(); b[b.size() - 4] = 0x5C; return b; }, 0,
                 "kept 1 rows of 1 x 1, last pixel 0 0 0; its pixel at column 0, row 0 names colour 3, past "
                 "its table of 2 colours: it is saved black"},
        SaveCase{"JpegRefused", Jpeg, 0, "save the image as PNG"},
        SaveCase{"ApngFirstFrameSaysSo", [] { return Apng(true); }, 0,
                 "kept 1 rows of 3 x 1, last pixel 0 0 255; it is an animation of 3 frames; "
                 "only the first is read"},
        SaveCase{"ApngStillImageSaysSo", [] { return Apng(false); }, 0,
                 "it is an animation of 3 frames besides its still image; only the still image is read"},
        SaveCase{"GifTransparentKeepsItsTableColour", [] { return GifFrameOffCorner(true); }, 0,
                 "kept 3 rows of 3 x 3, last pixel 255 0 0; its transparent pixels (the first at "
                 "column 1, row 1) are saved in the colour its table gives them, ff0000 (GIF "
                 "colour 0): a palette has no transparency"},
        SaveCase{"BmpRle8SaysWhatItsRunsSkip", BmpRle8, 0,
                 "kept 3 rows of 4 x 3, last pixel 255 0 0; its runs leave 1 of the pixels read "
                 "without a colour (the first at column 0, row 0)"},
        // Indices past the colour table are black, and said.
        SaveCase{"BmpIndexPastItsTable", [] { Bytes b = BmpRuns(8, 4, 1, {0, 1, 2, 9}); b[30] = 0; return b; }, 0,
                 "last pixel 0 0 0; its pixel at column 3, row 0 names colour 9, past its table of 3 colours: "
                 "it is saved black"},
        SaveCase{"BmpRle8IndicesPastItsTable", [] { return BmpRuns(8, 4, 1, {4, 7, 0, 1}); }, 0,
                 "4 of the pixels read name colours past its table of 3 colours (the first at column 0, "
                 "row 0, colour 7): they are saved black"},
        SaveCase{"PngIndexPastItsPalette", [] { return PngOfFourColoursIndexedToFifteen(1, false); }, 0,
                 "kept 1 rows of 16 x 1, last pixel 0 0 0; 12 of the pixels read name colours past its "
                 "table of 4 colours (the first at column 4, row 0, colour 4): they are saved black"},
        SaveCase{"InterlacedPngIndexPastItsPalette", [] { return PngOfFourColoursIndexedToFifteen(3, true); }, 0,
                 "kept 3 rows of 16 x 3, last pixel 0 0 0; 36 of the pixels read name colours past its "
                 "table of 4 colours (the first at column 4, row 0, colour 4): they are saved black"},
        SaveCase{"TallInterlacedPngIndexPastItsPalette", [] { return PngOfFourColoursIndexedToFifteen(40, true); }, 0,
                 "kept 16 rows of 16 x 40, last pixel 0 0 0; 192 of the pixels read name colours past its "
                 "table of 4 colours (the first at column 4, row 0, colour 4): they are saved black"},
        SaveCase{"SwatchTopRowsOfTiles", [] { return SwatchPng([](Image&) {}); }, 2,
                 "kept 16 rows of 3 x 20, last pixel 150 150 150"},
        SaveCase{"SwatchEditedBelowWhatIsSaved",
                 [] { return SwatchPng([](Image& s) { s.At(55, 2, 0) ^= 1; }); }, 2,
                 "kept 16 rows of 3 x 20"},
        SaveCase{"SwatchEditedInASavedTile",
                 [] { return SwatchPng([](Image& s) { s.At(8, 5, 0) ^= 1; }); }, 2,
                 "pic: tile at row 2, column 1 is not one colour"},
        SaveCase{"SwatchSizeCheckedBeforeThePixels",
                 [] { Bytes b = SwatchPng([](Image&) {}); return Cut(b, b.size() - 40); }, 3,
                 "pic: a 10 x 61 image is not a swatch of 3-pixel tiles"}),
    [](const testing::TestParamInfo<SaveCase>& p) { return p.param.name; });

TEST(Swatch, MakesTilesInsideAThinGrid) {
  const Image image = Pattern(2, 3, 3);
  const Image swatch = plughost::MakeSwatch(image, 4);
  ASSERT_EQ(swatch.rows, 2 * 5 + 1);
  ASSERT_EQ(swatch.columns, 3 * 5 + 1);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(swatch.At(0, 0, k), plughost::kGridLevel);
    EXPECT_EQ(swatch.At(5, 7, k), plughost::kGridLevel) << "grid line between tile rows";
    EXPECT_EQ(swatch.At(7, 5, k), plughost::kGridLevel) << "grid line between tile columns";
    EXPECT_EQ(swatch.At(10, 15, k), plughost::kGridLevel) << "outer edge";
    EXPECT_EQ(swatch.At(1, 1, k), image.At(0, 0, k));
    EXPECT_EQ(swatch.At(4, 4, k), image.At(0, 0, k));
    EXPECT_EQ(swatch.At(9, 14, k), image.At(1, 2, k));
  }
}

TEST(Swatch, ReadsBackTheColoursItWasMadeOf) {
  for (int tile : {1, 2, 8, 13}) {
    const Image image = Pattern(16, 16, 3);
    Image back;
    plughost::ImageFault error;
    ASSERT_TRUE(plughost::ReadSwatch(plughost::MakeSwatch(image, tile), tile, &back, &error))
        << plughost::ImageWords(error);
    EXPECT_EQ(back.rows, 16);
    EXPECT_EQ(back.columns, 16);
    EXPECT_EQ(back.pixels, image.pixels) << "tile " << tile;
  }
}

struct BadSwatch {
  const char* name;
  int tile;             // read with this tile size
  void (*spoil)(Image&);
  const char* mentions;
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const BadSwatch& c, std::ostream* os) { *os << c.name; }

class BadSwatches : public testing::TestWithParam<BadSwatch> {};

TEST_P(BadSwatches, AreRefusedWithAReason) {
  const BadSwatch& c = GetParam();
  Image swatch = plughost::MakeSwatch(Pattern(16, 16, 3), 8);
  c.spoil(swatch);
  Image back;
  plughost::ImageFault error;
  EXPECT_FALSE(plughost::ReadSwatch(swatch, c.tile, &back, &error));
  const std::string said = plughost::ImageWords(error);
  EXPECT_NE(said.find(c.mentions), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadSwatches,
    testing::Values(BadSwatch{"OtherTileSize", 7, [](Image&) {}, "not a swatch of 7"},
                    BadSwatch{"EditedInsideATile", 8,
                              [](Image& s) { s.At(20, 30, 1) ^= 1; }, "row 2, column 3"},
                    BadSwatch{"Cropped", 8,
                              [](Image& s) { s = plughost::MakeSwatch(Pattern(16, 16, 3), 8);
                                             s.columns -= 1;
                                             s.pixels.resize(size_t(s.rows * s.columns * 3)); },
                              "not a swatch"},
                    BadSwatch{"TooSmall", 200, [](Image&) {}, "not a swatch"}),
    [](const testing::TestParamInfo<BadSwatch>& p) { return p.param.name; });

}  // namespace
