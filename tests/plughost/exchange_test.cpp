// The host honours the exchange the module describes: rectangle, planes,
// column, row and plane steps and the channel map, reading into the
// document and answering a save, and touches no byte outside it. Driven by
// a stand-in module that describes each layout of the table.
#include <cstring>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "interface/result_codes.h"
#include "plughost/host/host.h"

namespace {

using plughost::Host;
using plughost::Image;

constexpr int kRows = 4, kColumns = 5, kPlanes = 3;
constexpr uint8_t kUntouched = 0xEE;

struct Layout {
  const char* name;
  int16_t top, left, bottom, right, planeLow, planeHigh, columnStep;
  int32_t rowStep, planeStep;
  int16_t map[3];
  int32_t bufferBytes;
};

// What the stand-in module exchanges: `bytes` goes out on a read and is
// what the host put in on a save.
Layout layout;
std::vector<uint8_t> bytes;

void Exchange(FormatBlock* b, bool reading, int16_t* result) {
  BufferId id = nullptr;
  if (b->bufferSuite->allocate(layout.bufferBytes, &id) != 0) return;
  auto* data = static_cast<uint8_t*>(b->bufferSuite->lock(id, 0));
  if (reading) {
    std::memcpy(data, bytes.data(), bytes.size());
  } else {
    std::memset(data, kUntouched, size_t(layout.bufferBytes));
  }
  b->data = data;
  b->rectTop = layout.top, b->rectLeft = layout.left;
  b->rectBottom = layout.bottom, b->rectRight = layout.right;
  b->planeLow = layout.planeLow, b->planeHigh = layout.planeHigh;
  b->columnStep = layout.columnStep, b->rowStep = layout.rowStep, b->planeStep = layout.planeStep;
  b->channelMap0 = layout.map[0], b->channelMap1 = layout.map[1], b->channelMap2 = layout.map[2];
  *result = b->advanceState();
  if (!reading) bytes.assign(data, data + layout.bufferBytes);
  b->data = nullptr;
  b->bufferSuite->free(id);
}

void ZENTROW_CALL StandIn(int16_t selector, void* block, intptr_t*, int16_t* result) {
  auto* b = static_cast<FormatBlock*>(block);
  *result = 0;
  if (selector == kSelectorReadStart) {
    b->imageMode = kImageModeRgb, b->rows = kRows, b->columns = kColumns;
    b->planes = kPlanes, b->depth = 8;
  }
  if (selector == kSelectorReadContinue) Exchange(b, true, result);
  if (selector == kSelectorWriteStart) Exchange(b, false, result);
}

Image Pattern() {
  Image image = Image::Blank(kRows, kColumns, kPlanes);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(200 - i);
  return image;
}

// Where each byte of the buffer belongs, worked out from the layout alone:
// -1 for bytes outside the exchange.
struct Place {
  int row, column, channel;
};
std::vector<Place> Places(const Layout& l) {
  std::vector<Place> places(size_t(l.bufferBytes), Place{-1, -1, -1});
  for (int r = l.top; r < l.bottom; ++r)
    for (int c = l.left; c < l.right; ++c)
      for (int k = 0; k <= l.planeHigh - l.planeLow; ++k) {
        const int64_t at = int64_t{r - l.top} * l.rowStep + int64_t{c - l.left} * l.columnStep +
                           int64_t{k} * l.planeStep;
        places[size_t(at)] = Place{r, c, k < 3 ? l.map[k] : l.planeLow + k};
      }
  return places;
}

bool InsideImage(const Place& p) {
  return p.row >= 0 && p.row < kRows && p.column >= 0 && p.column < kColumns;
}

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const Layout& c, std::ostream* os) { *os << c.name; }

class Layouts : public testing::TestWithParam<Layout> {};

TEST_P(Layouts, ReadingPutsEachByteWhereTheLayoutSays) {
  layout = GetParam();
  bytes.resize(size_t(layout.bufferBytes));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + 3);
  Host host(StandIn);
  ASSERT_EQ(host.Open(3), kNoError);
  Image expected = Image::Blank(kRows, kColumns, kPlanes);
  const std::vector<Place> places = Places(layout);
  for (size_t i = 0; i < places.size(); ++i)
    if (InsideImage(places[i])) expected.At(places[i].row, places[i].column, places[i].channel) = bytes[i];
  EXPECT_EQ(host.document().pixels, expected.pixels);
  EXPECT_TRUE(host.counts().violations.empty());
}

TEST_P(Layouts, SavingFillsEachByteFromWhereTheLayoutSays) {
  layout = GetParam();
  const Image document = Pattern();
  Host host(StandIn);
  ASSERT_EQ(host.Save(3, document), kNoError);
  ASSERT_EQ(bytes.size(), size_t(layout.bufferBytes));
  const std::vector<Place> places = Places(layout);
  for (size_t i = 0; i < places.size(); ++i) {
    const Place& p = places[i];
    const int expected = p.row < 0 ? kUntouched
                         : InsideImage(p) ? document.At(p.row, p.column, p.channel)
                                          : 0;  // asked for, but past the image
    EXPECT_EQ(bytes[i], expected) << "buffer byte " << i;
  }
  EXPECT_TRUE(host.counts().violations.empty());
}

TEST_P(Layouts, AreTracedAsDescribed) {
  layout = GetParam();
  Host host(StandIn);
  nlohmann::ordered_json seen;
  host.onTrace = [&](const std::string& event, const nlohmann::ordered_json& fields) {
    if (event == "advanceState") seen = fields;
  };
  host.Save(3, Pattern());
  const Layout& l = layout;
  EXPECT_EQ(seen["direction"], "write");
  EXPECT_EQ(seen["rect"], nlohmann::ordered_json({l.top, l.left, l.bottom, l.right}));
  EXPECT_EQ(seen["planes"], nlohmann::ordered_json({l.planeLow, l.planeHigh}));
  EXPECT_EQ(seen["columnStep"], l.columnStep);
  EXPECT_EQ(seen["rowStep"], l.rowStep);
  EXPECT_EQ(seen["planeStep"], l.planeStep);
  EXPECT_EQ(seen["channelMap"], nlohmann::ordered_json({l.map[0], l.map[1], l.map[2]}));
  EXPECT_EQ(seen["answer"], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Layouts,
    testing::Values(
        //     name            top left bot right lo hi col row plane map       bytes
        Layout{"OneRowBgr",      0, 0, 1, 5, 0, 2, 3, 15, 1, {2, 1, 0}, 15},
        Layout{"WholeImageRgb",  0, 0, 4, 5, 0, 2, 3, 15, 1, {0, 1, 2}, 60},
        Layout{"PaddedRows",     1, 1, 3, 4, 0, 2, 3, 20, 1, {0, 1, 2}, 40},
        Layout{"Planar",         0, 0, 4, 5, 0, 2, 1, 5, 20, {0, 1, 2}, 60},
        Layout{"PlanarSwapped",  0, 0, 4, 5, 0, 2, 1, 5, 20, {1, 2, 0}, 60},
        Layout{"OneChannel",     0, 0, 4, 5, 1, 1, 1, 5, 1, {1, 0, 0}, 20},
        Layout{"FourBytePixels", 0, 0, 4, 5, 0, 2, 4, 20, 1, {0, 1, 2}, 80},
        Layout{"BottomRightCorner", 3, 4, 4, 5, 0, 2, 3, 3, 1, {2, 1, 0}, 3},
        Layout{"PastTheImage",   2, 3, 6, 8, 0, 2, 3, 15, 1, {0, 1, 2}, 60}),
    [](const testing::TestParamInfo<Layout>& p) { return p.param.name; });

struct Misuse {
  const char* name;
  Layout layout;
  const char* violation;
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const Misuse& c, std::ostream* os) { *os << c.name; }

class Misuses : public testing::TestWithParam<Misuse> {};

TEST_P(Misuses, AreRefusedAndNamed) {
  layout = GetParam().layout;
  bytes.assign(size_t(layout.bufferBytes), 1);
  Host host(StandIn);
  EXPECT_NE(host.Open(3), kNoError);
  ASSERT_FALSE(host.counts().violations.empty());
  EXPECT_EQ(host.counts().violations[0], GetParam().violation);
  EXPECT_EQ(host.document().pixels, Image::Blank(kRows, kColumns, kPlanes).pixels)
      << "nothing is read from a refused exchange";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Misuses,
    testing::Values(
        Misuse{"BufferTooSmall", {"", 0, 0, 1, 5, 0, 2, 3, 15, 1, {2, 1, 0}, 14},
               "exchange outside the module's buffer"},
        Misuse{"RowsPastTheBuffer", {"", 0, 0, 2, 5, 0, 2, 3, 15, 1, {2, 1, 0}, 15},
               "exchange outside the module's buffer"},
        Misuse{"NegativeRowStep", {"", 0, 0, 2, 5, 0, 2, 3, -15, 1, {2, 1, 0}, 30},
               "negative step in an exchange"}),
    [](const testing::TestParamInfo<Misuse>& p) { return p.param.name; });

}  // namespace
