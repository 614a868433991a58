// PNG in every colour type and depth as libspng writes it, plain and
// interlaced: the top rows a save reads of an interlaced image are the rows
// libspng gives when it reads the whole image, and cost the rows asked for,
// not the image's height.
#include <gtest/gtest.h>
#include <spng.h>
#include <zlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "plughost/images/image_decoders.h"
#include "plughost/images/image_files.h"
#include "plughost/words/image_words.h"
#include "tests/plughost/encoded_png.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Form {
  const char* name;
  int colourType, depth, columns, rows;
};

void PrintTo(const Form& f, std::ostream* os) { *os << f.name; }

int Channels(int colourType) { return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1; }

// Rows as PNG stores them: gradients with a little noise, so that the
// writer's filter changes from row to row.
Bytes StoredRows(const Form& f) {
  const size_t rowBytes = (size_t(f.columns) * size_t(Channels(f.colourType) * f.depth) + 7) / 8;
  Bytes raw(rowBytes * size_t(f.rows));
  uint32_t state = 7;
  for (size_t r = 0; r < size_t(f.rows); ++r) {
    for (size_t i = 0; i < rowBytes; ++i) {
      state = state * 1664525u + 1013904223u;
      raw[r * rowBytes + i] = uint8_t(r % 3 == 0 ? i * 5 + r : r % 3 == 1 ? state >> 24 : r * 9);
    }
  }
  return raw;
}

Bytes Png(const Form& f, bool interlaced) {
  const spng_ihdr ihdr{uint32_t(f.columns), uint32_t(f.rows), uint8_t(f.depth), uint8_t(f.colourType),
                       0, 0, uint8_t(interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE)};
  spng_plte plte{};
  plte.n_entries = 1u << f.depth;
  for (uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
    plte.entries[i] = {uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 13), 255};
  }
  const Bytes raw = StoredRows(f);
  return plughost_test::EncodedPng(ihdr, raw.data(), raw.size(),
                                   f.colourType == SPNG_COLOR_TYPE_INDEXED ? &plte : nullptr);
}

class KeptRows : public plughost::RowSink {
 public:
  bool Row(int, const uint8_t* rgb) override {
    pixels.insert(pixels.end(), rgb, rgb + columns * 3);
    return true;
  }
  size_t columns = 0;
  Bytes pixels;
};

class InterlacedPng : public testing::TestWithParam<Form> {};

TEST_P(InterlacedPng, TopRowsAreTheWholeImagesAndCostOnlyThoseRows) {
  const Form& f = GetParam();
  const Bytes plain = Png(f, false), interlaced = Png(f, true);
  ASSERT_FALSE(plain.empty());
  ASSERT_FALSE(interlaced.empty());
  plughost::Image whole, wholeInterlaced;
  plughost::ImageFault error;
  ASSERT_TRUE(plughost::DecodeImage(plain, "plain", &whole, &error)) << plughost::ImageWords(error);
  ASSERT_TRUE(plughost::DecodeImage(interlaced, "interlaced", &wholeInterlaced, &error))
      << plughost::ImageWords(error);
  ASSERT_EQ(whole.pixels, wholeInterlaced.pixels) << "libspng reads both forms alike";

  const plughost::MemoryBytes source(interlaced);
  const auto decoder = plughost::NewPngDecoder(source);
  const plughost::ImageRefusal refuse{std::string("pic"), &error};
  ASSERT_TRUE(decoder->ReadHeader(refuse)) << plughost::ImageWords(error);
  KeptRows top;
  top.columns = size_t(f.columns);
  const int wanted = std::min(f.rows, plughost::kSavedRows);
  ASSERT_TRUE(decoder->DecodeRows(wanted, &top, refuse)) << plughost::ImageWords(error);
  const Bytes expected(whole.pixels.begin(),
                       whole.pixels.begin() + std::ptrdiff_t(wanted * f.columns * 3));
  EXPECT_EQ(top.pixels, expected);
  // Rows 0-15 lie in 2 + 2 + 2 + 4 + 4 + 8 + 8 rows of the seven passes.
  if (f.rows > wanted) {
    EXPECT_LE(decoder->rowsDecoded(), 30) << "rows unfiltered";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, InterlacedPng,
    testing::Values(Form{"Grey1", 0, 1, 37, 41}, Form{"Grey2", 0, 2, 37, 41},
                    Form{"Grey4", 0, 4, 37, 41}, Form{"Grey8", 0, 8, 37, 41},
                    Form{"Grey16", 0, 16, 37, 41}, Form{"Rgb8", 2, 8, 37, 41},
                    Form{"Rgb16", 2, 16, 37, 41}, Form{"Palette1", 3, 1, 37, 41},
                    Form{"Palette2", 3, 2, 37, 41}, Form{"Palette4", 3, 4, 37, 41},
                    Form{"Palette8", 3, 8, 37, 41}, Form{"GreyAlpha8", 4, 8, 37, 41},
                    Form{"GreyAlpha16", 4, 16, 37, 41}, Form{"Rgba8", 6, 8, 37, 41},
                    Form{"Rgba16", 6, 16, 37, 41},
                    // Narrower than a pass's step: some passes hold no bytes at all.
                    Form{"ThreeColumnsTall", 2, 8, 3, 300}, Form{"OneColumn", 0, 8, 1, 20},
                    Form{"ShorterThanTheRowsSaved", 2, 8, 9, 5}),
    [](const testing::TestParamInfo<Form>& p) { return p.param.name; });

struct Damage {
  const char* name;
  void (*spoil)(Bytes*);
  plughost::ImageSaid said;
  const char* refusal;
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class DamagedInterlacedPng : public testing::TestWithParam<Damage> {};

// The interlaced reader's own refusals, in the words libspng's are given.
TEST_P(DamagedInterlacedPng, IsRefusedInWordsThatNameTheFault) {
  Bytes png = Png(Form{"Rgb8", 2, 8, 37, 300}, true);
  GetParam().spoil(&png);
  plughost::SaveImage read;
  plughost::ImageFault error;
  EXPECT_FALSE(plughost::DecodeForSave(plughost::MemoryBytes(png), "pic", 0, &read, &error));
  EXPECT_EQ(error.said, GetParam().said);
  EXPECT_EQ(plughost::ImageWords(error), GetParam().refusal);
}

constexpr size_t kFirstIdat = 8 + 25, kFirstIdatData = kFirstIdat + 8;  // after the signature and IHDR

// The checksum of the chunk at `at` made right again.
void Rechecked(Bytes* b, size_t at) {
  const size_t length = size_t((*b)[at]) << 24 | size_t((*b)[at + 1]) << 16 |
                        size_t((*b)[at + 2]) << 8 | (*b)[at + 3];
  const uint32_t crc = uint32_t(crc32(0, b->data() + at + 4, uInt(length + 4)));
  for (size_t i = 0; i < 4; ++i) (*b)[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
}

// The image data made anew: its first row names filter 9, and no file end follows.
void FilterNine(Bytes* b) {
  Bytes rows(5 * (1 + 2) + 1000, 0);
  rows[0] = 9;
  Bytes data(compressBound(uLong(rows.size())));
  uLongf size = uLongf(data.size());
  compress(data.data(), &size, rows.data(), uLong(rows.size()));
  data.resize(size);
  b->resize(kFirstIdat);
  for (size_t i = 0; i < 4; ++i) b->push_back(uint8_t(data.size() >> (24 - 8 * i)));
  b->insert(b->end(), {'I', 'D', 'A', 'T'});
  b->insert(b->end(), data.begin(), data.end());
  b->resize(b->size() + 4);
  Rechecked(b, kFirstIdat);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedInterlacedPng,
    testing::Values(
        Damage{"CutInThePasses", [](Bytes* b) { b->resize(b->size() / 2); },
               plughost::ImageSaid::kTruncated, "pic is truncated: its PNG data stops before its end"},
        Damage{"ByteChangedInTheData", [](Bytes* b) { (*b)[kFirstIdatData + 40] ^= 0x10; },
               plughost::ImageSaid::kPngChecksum, "pic is damaged: a PNG chunk's checksum does not match"},
        Damage{"NotADeflateStream",
               [](Bytes* b) { (*b)[kFirstIdatData] = 0x7F, Rechecked(b, kFirstIdat); },
               plughost::ImageSaid::kPngDataDamaged,
               "pic is damaged: its PNG image data does not inflate (its compressed bytes are wrong)"},
        Damage{"ByteChangedBelowTheRowsRead", [](Bytes* b) { (*b)[b->size() - 20] ^= 0x10; },
               plughost::ImageSaid::kPngChecksum, "pic is damaged: a PNG chunk's checksum does not match"},
        Damage{"FilterNine", FilterNine, plughost::ImageSaid::kPngBadFilter,
               "pic is damaged: a row of its PNG image data names a filter PNG does not have"}),
    [](const testing::TestParamInfo<Damage>& p) { return p.param.name; });

}  // namespace
