// Cels of every form read pixel for pixel, every way a cel can be wrong
// refused with its fields and in words, and cels drawn in a palette's group.
#include "kiss/cel.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kiss/group_colours.h"
#include "plughost/sets/doll_set.h"
#include "plughost/sets/draw_set.h"
#include "plughost/sets/set_words.h"

namespace {

void Put16(std::vector<uint8_t>* bytes, size_t at, int value) {
  (*bytes)[at] = uint8_t(value & 0xFF);
  (*bytes)[at + 1] = uint8_t(value >> 8);
}

// A marked cel's header and then `rows` as they are.
std::vector<uint8_t> MarkedCel(int mark, int bits, int width, int height, int x, int y,
                               const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> bytes(32 + rows.size());
  std::copy(rows.begin(), rows.end(), bytes.begin() + 32);
  bytes[0] = 'K', bytes[1] = 'i', bytes[2] = 'S', bytes[3] = 'S';
  bytes[4] = uint8_t(mark);
  bytes[5] = uint8_t(bits);
  Put16(&bytes, 8, width);
  Put16(&bytes, 10, height);
  Put16(&bytes, 12, x);
  Put16(&bytes, 14, y);
  return bytes;
}

std::vector<uint8_t> UnmarkedCel(int width, int height, const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> bytes(4 + rows.size());
  std::copy(rows.begin(), rows.end(), bytes.begin() + 4);
  Put16(&bytes, 0, width);
  Put16(&bytes, 2, height);
  return bytes;
}

struct FormCase {
  const char* name;
  std::vector<uint8_t> file;
  CelForm form;
  int bits, width, height, x, y;
  std::vector<uint8_t> pixels;
};

class CelForms : public testing::TestWithParam<FormCase> {};

TEST_P(CelForms, ReadPixelForPixel) {
  const FormCase& c = GetParam();
  Cel cel;
  const CelRefusal refusal = ReadCel(c.file, &cel);
  ASSERT_FALSE(refusal) << plughost::CelRefusalWords("cel", refusal);
  EXPECT_EQ(cel.form, c.form);
  EXPECT_EQ(cel.bits, c.bits);
  EXPECT_EQ(cel.width, c.width);
  EXPECT_EQ(cel.height, c.height);
  EXPECT_EQ(cel.xOffset, c.x);
  EXPECT_EQ(cel.yOffset, c.y);
  EXPECT_EQ(cel.pixels, c.pixels);
}

INSTANTIATE_TEST_SUITE_P(Cels, CelForms,
                         testing::Values(
                             // 3 pixels a row end on a whole byte: the fourth half-byte is padding.
                             FormCase{"marked_4_bits_odd_width",
                                      MarkedCel(32, 4, 3, 2, 5, 7, {0x12, 0x3F, 0x45, 0x6F}),
                                      CelForm::kMarked,
                                      4,
                                      3,
                                      2,
                                      5,
                                      7,
                                      {1, 2, 3, 4, 5, 6}},
                             FormCase{"marked_8_bits",
                                      MarkedCel(32, 8, 2, 2, 300, 0, {0, 255, 17, 1}),
                                      CelForm::kMarked,
                                      8,
                                      2,
                                      2,
                                      300,
                                      0,
                                      {0, 255, 17, 1}},
                             // Blue, green, red, alpha in the file; red, green, blue, alpha read.
                             FormCase{"marked_32_bits",
                                      MarkedCel(33, 32, 2, 1, 0, 1, {1, 2, 3, 4, 5, 6, 7, 0}),
                                      CelForm::kMarked,
                                      32,
                                      2,
                                      1,
                                      0,
                                      1,
                                      {3, 2, 1, 4, 7, 6, 5, 0}},
                             FormCase{"marked_32_bits_mark_32",
                                      MarkedCel(32, 32, 1, 1, 0, 0, {10, 20, 30, 255}),
                                      CelForm::kMarked,
                                      32,
                                      1,
                                      1,
                                      0,
                                      0,
                                      {30, 20, 10, 255}},
                             FormCase{"unmarked_4_bits",
                                      UnmarkedCel(2, 2, {0xA0, 0x0B}),
                                      CelForm::kUnmarked,
                                      4,
                                      2,
                                      2,
                                      0,
                                      0,
                                      {10, 0, 0, 11}},
                             // Bytes after the last row are passed over.
                             FormCase{"marked_with_bytes_after",
                                      MarkedCel(32, 8, 1, 1, 0, 0, {9, 1, 2, 3}),
                                      CelForm::kMarked,
                                      8,
                                      1,
                                      1,
                                      0,
                                      0,
                                      {9}}),
                         [](const testing::TestParamInfo<FormCase>& p) {
                           return std::string(p.param.name);
                         });

struct RefusalCase {
  const char* name;
  std::vector<uint8_t> file;
  CelFault fault;
  const char* words;  // what the sentence says after the file's name
};

class CelRefusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(CelRefusals, RefusedInOneSentence) {
  const RefusalCase& c = GetParam();
  Cel cel;
  const CelRefusal refusal = ReadCel(c.file, &cel);
  EXPECT_EQ(refusal.fault, c.fault);
  EXPECT_TRUE(cel.pixels.empty());
  EXPECT_EQ(plughost::CelRefusalWords("a.cel", refusal), std::string("a.cel ") + c.words);
}

INSTANTIATE_TEST_SUITE_P(
    Cels, CelRefusals,
    testing::Values(
        RefusalCase{"no_bytes",
                    {},
                    CelFault::kFewBytes,
                    "is cut: a cel's header takes 4 bytes and it has 0"},
        RefusalCase{"header_cut",
                    {'K', 'i', 'S', 'S', 32, 8},
                    CelFault::kFewBytes,
                    "is cut: a cel's header takes 32 bytes and it has 6"},
        RefusalCase{"palette_mark", MarkedCel(16, 8, 1, 1, 0, 0, {1}), CelFault::kMark,
                    "is a KiSS file of mark 16, not a cel"},
        RefusalCase{
            "bits_24", MarkedCel(32, 24, 1, 1, 0, 0, {1, 2, 3}), CelFault::kBits,
            "is a cel of 24 bits a pixel, which plughost does not read (it reads 4, 8 and 32)"},
        RefusalCase{"no_width", MarkedCel(32, 8, 0, 5, 0, 0, {}), CelFault::kNoPixels,
                    "is a cel of 0 x 5 pixels: it has no pixels"},
        RefusalCase{"unmarked_no_height", UnmarkedCel(4, 0, {}), CelFault::kNoPixels,
                    "is a cel of 4 x 0 pixels: it has no pixels"},
        RefusalCase{"too_wide", MarkedCel(32, 8, 8193, 1, 0, 0, std::vector<uint8_t>(8193)),
                    CelFault::kTooLarge,
                    "is a cel of 8193 x 1 pixels, more than the 8192 a side and 16777216 pixels "
                    "plughost reads"},
        RefusalCase{"too_many_pixels", MarkedCel(32, 4, 8192, 8192, 0, 0, {}), CelFault::kTooLarge,
                    "is a cel of 8192 x 8192 pixels, more than the 8192 a side and 16777216 "
                    "pixels plughost reads"},
        RefusalCase{"cut_in_the_last_row", MarkedCel(32, 8, 3, 2, 0, 0, {1, 2, 3, 4, 5}),
                    CelFault::kCut,
                    "is cut: its 3 x 2 pixels at 8 bits take 38 bytes and it has 37"},
        RefusalCase{"cut_32_bits", MarkedCel(33, 32, 2, 2, 0, 0, std::vector<uint8_t>(12)),
                    CelFault::kCut,
                    "is cut: its 2 x 2 pixels at 32 bits take 48 bytes and it has 44"},
        RefusalCase{"unmarked_cut", UnmarkedCel(3, 3, {0x11, 0x11, 0x11, 0x11, 0x11}),
                    CelFault::kCut,
                    "is cut: its 3 x 3 pixels at 4 bits take 10 bytes and it has 9"}),
    [](const testing::TestParamInfo<RefusalCase>& p) { return std::string(p.param.name); });

// Every length short of a whole cel is refused as cut, none read.
TEST(Cels, EveryCutLengthRefused) {
  const std::vector<uint8_t> whole = MarkedCel(32, 4, 5, 3, 1, 1, std::vector<uint8_t>(9, 0x12));
  Cel cel;
  ASSERT_FALSE(ReadCel(whole, &cel));
  for (size_t size = 0; size < whole.size(); ++size) {
    const CelRefusal refusal = ReadCel(whole.data(), size, &cel);
    EXPECT_TRUE(refusal.fault == CelFault::kCut || refusal.fault == CelFault::kFewBytes) << size;
  }
}

// A palette of 12-bit colours, 16 to a group, `groups` groups: entry k of
// group g is red g, green k, blue 15 - k (4 bits each).
std::vector<uint8_t> Palette12(int groups) {
  std::vector<uint8_t> file(32);
  file[0] = 'K', file[1] = 'i', file[2] = 'S', file[3] = 'S';
  file[4] = 16, file[5] = 12;
  Put16(&file, 8, 16);
  Put16(&file, 10, groups);
  for (int g = 0; g < groups; ++g) {
    for (int k = 0; k < 16; ++k) {
      file.push_back(uint8_t(g << 4 | (15 - k)));
      file.push_back(uint8_t(k));
    }
  }
  return file;
}

struct GroupCase {
  const char* name;
  int groups;
  int asked;
  int shown;  // the group whose colours are drawn
};

class CelGroups : public testing::TestWithParam<GroupCase> {};

TEST_P(CelGroups, DrawnInTheGroupsColours) {
  const GroupCase& c = GetParam();
  Cel cel;
  ASSERT_FALSE(ReadCel(MarkedCel(32, 4, 3, 1, 0, 0, {0x01, 0xF0}), &cel));
  GroupColours colours;
  ASSERT_FALSE(plughost::CelColours(Palette12(c.groups), c.asked, &colours));
  EXPECT_EQ(colours.group, c.shown);
  const plughost::Drawing drawn = plughost::DrawCel(cel, colours);
  ASSERT_EQ(drawn.image.planes, 4);
  ASSERT_EQ(drawn.image.columns, 3);
  const uint8_t red = uint8_t(17 * c.shown);
  // Index 0: transparent. Index 1: red g, green 1, blue 14. Index 15.
  const std::vector<uint8_t> expected = {0, 0, 0, 0, red, 17, 14 * 17, 255, red, 255, 0, 255};
  EXPECT_EQ(drawn.image.pixels, expected);
  EXPECT_EQ(drawn.pastColours, 0);
}

INSTANTIATE_TEST_SUITE_P(Cels, CelGroups,
                         testing::Values(GroupCase{"group_0", 10, 0, 0},
                                         GroupCase{"group_9", 10, 9, 9},
                                         // Groups a palette lacks are its first group's.
                                         GroupCase{"group_past_the_palettes", 3, 5, 0}),
                         [](const testing::TestParamInfo<GroupCase>& p) {
                           return std::string(p.param.name);
                         });

// An 8-bit cel over a 16-colour group: indices past it are drawn black and counted.
TEST(Cels, IndicesPastTheGroupDrawnBlack) {
  Cel cel;
  ASSERT_FALSE(ReadCel(MarkedCel(32, 8, 3, 1, 0, 0, {15, 16, 200}), &cel));
  GroupColours colours;
  ASSERT_FALSE(plughost::CelColours(Palette12(1), 0, &colours));
  const plughost::Drawing drawn = plughost::DrawCel(cel, colours);
  EXPECT_EQ(drawn.pastColours, 2);
  const std::vector<uint8_t> expected = {0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  EXPECT_EQ(drawn.image.pixels, expected);
}

// A cel of colours takes no palette: its alpha is its own.
TEST(Cels, ColourCelDrawnWithItsAlpha) {
  Cel cel;
  ASSERT_FALSE(ReadCel(MarkedCel(33, 32, 2, 1, 0, 0, {1, 2, 3, 128, 9, 9, 9, 0}), &cel));
  const plughost::Drawing drawn = plughost::DrawCel(cel, GroupColours{});
  const std::vector<uint8_t> expected = {3, 2, 1, 128, 0, 0, 0, 0};
  EXPECT_EQ(drawn.image.pixels, expected);
}

TEST(Cels, CutPaletteRefused) {
  std::vector<uint8_t> palette = Palette12(2);
  palette.resize(palette.size() - 20);  // group 1 cut
  GroupColours colours;
  EXPECT_FALSE(plughost::CelColours(palette, 0, &colours));
  const GroupColoursRefusal refusal = plughost::CelColours(palette, 1, &colours);
  EXPECT_EQ(refusal.fault, GroupColoursFault::kCut);
  EXPECT_EQ(refusal.needed, 32u + 32u + 32u);
  EXPECT_EQ(refusal.size, 76u);
}

// A cel file opened through the gate: read whole, or refused naming it.
TEST(Cels, OpenedFromAFile) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("cel-" + std::to_string(testing::UnitTest::GetInstance()->random_seed()) + ".cel");
  const std::vector<uint8_t> whole = MarkedCel(32, 8, 2, 1, 3, 4, {7, 0});
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(whole.data()), std::streamsize(whole.size()));
  Cel cel;
  ASSERT_FALSE(plughost::OpenCel(path.string(), &cel));
  EXPECT_EQ(cel.pixels, (std::vector<uint8_t>{7, 0}));
  EXPECT_EQ(cel.xOffset, 3);
  std::filesystem::resize_file(path, whole.size() - 1);
  const plughost::SetRefusal cut = plughost::OpenCel(path.string(), &cel);
  EXPECT_EQ(cut.fault, plughost::SetFault::kCel);
  EXPECT_EQ(plughost::SetRefusalWords(path.string(), cut),
            path.string() + " is cut: its 2 x 1 pixels at 8 bits take 34 bytes and it has 33");
  std::filesystem::remove(path);
  EXPECT_EQ(plughost::OpenCel(path.string(), &cel).fault, plughost::SetFault::kOpen);
}

}  // namespace
