// Image files: what is written reads back pixel for pixel, and a swatch
// gives back exactly the colours it was made of, or refuses.
#include <gtest/gtest.h>

#include "plughost/image_files.h"

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

struct RoundTrip {
  const char* name;
  ImageFormat format;
  int rows, columns, planes;
};

class RoundTrips : public testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTrips, ReadBackAsRgbPixelForPixel) {
  const RoundTrip& c = GetParam();
  const Image image = Pattern(c.rows, c.columns, c.planes);
  const std::vector<uint8_t> bytes = plughost::EncodeImage(image, c.format);
  ASSERT_FALSE(bytes.empty());
  Image back;
  std::string error;
  ASSERT_TRUE(plughost::DecodeImage(bytes, &back, &error)) << error;
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
  std::string error;
  EXPECT_FALSE(plughost::DecodeImage({}, &image, &error));
  EXPECT_EQ(error, "the file is empty");
  EXPECT_FALSE(plughost::DecodeImage({'K', 'i', 'S', 'S', 16, 24}, &image, &error));
  EXPECT_NE(error.find("not an image"), std::string::npos) << error;
}

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
    std::string error;
    ASSERT_TRUE(plughost::ReadSwatch(plughost::MakeSwatch(image, tile), tile, &back, &error))
        << error;
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

class BadSwatches : public testing::TestWithParam<BadSwatch> {};

TEST_P(BadSwatches, AreRefusedWithAReason) {
  const BadSwatch& c = GetParam();
  Image swatch = plughost::MakeSwatch(Pattern(16, 16, 3), 8);
  c.spoil(swatch);
  Image back;
  std::string error;
  EXPECT_FALSE(plughost::ReadSwatch(swatch, c.tile, &back, &error));
  EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
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
