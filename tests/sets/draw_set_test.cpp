// Sets drawn as a viewer first shows them: the first cel listed on top,
// each at its object's position in the set plus its own offset, in the
// set's palette group, cut off at the envelope; cels of objects a set
// leaves out counted, not drawn.
#include "plughost/sets/draw_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plughost/sets/doll_set.h"
#include "plughost/sets/set_words.h"
#include "tests/sets/stored_archive.h"

namespace {

using sets_test::Bytes;

// A 2 x 2 cel at 8 bits of one index, with an offset.
std::vector<uint8_t> SolidCel(uint8_t index, int x, int y) {
  std::vector<uint8_t> cel = {'K', 'i', 'S', 'S', 32,         8, 0,          0,
                              2,   0,   2,   0,   uint8_t(x), 0, uint8_t(y), 0};
  cel.resize(32, 0);
  cel.insert(cel.end(), 4, index);
  return cel;
}

// Three groups of 4 24-bit colours: colour k of group g is (g, k, 100 + palette).
std::vector<uint8_t> Palette(uint8_t which) {
  std::vector<uint8_t> p = {'K', 'i', 'S', 'S', 16, 24, 0, 0, 4, 0, 3, 0};
  p.resize(32, 0);
  for (uint8_t g = 0; g < 3; ++g) {
    for (uint8_t k = 0; k < 4; ++k) p.insert(p.end(), {g, k, uint8_t(100 + which)});
  }
  return p;
}

plughost::DollSet Load(const std::string& cnf) {
  plughost::DollSet doll;
  const plughost::SetRefusal refusal = plughost::LoadSetFromArchive(
      plughost::MemoryBytes(sets_test::StoredArchive({{"s.cnf", Bytes(cnf)},
                                                      {"p0.kcf", Palette(0)},
                                                      {"p1.kcf", Palette(1)},
                                                      {"top.cel", SolidCel(1, 0, 0)},
                                                      {"under.cel", SolidCel(2, 1, 1)}})),
      "", &doll);
  EXPECT_FALSE(refusal) << plughost::SetRefusalWords("s.lzh", refusal);
  return doll;
}

std::vector<uint8_t> Pixel(const plughost::Image& image, int x, int y) {
  return {image.At(y, x, 0), image.At(y, x, 1), image.At(y, x, 2), image.At(y, x, 3)};
}

const std::vector<uint8_t> kClear = {0, 0, 0, 0};

// top.cel (object 0) at 1,1 covers 1..2; under.cel (object 1) at 1,1 with
// its offset 1,1 covers 2..3: they share pixel 2,2, where the first listed lies.
TEST(DrawSet, FirstListedOnTopAtPositionPlusOffset) {
  const plughost::SetDrawing drawn =
      DrawSet(Load("(5,5)\n%p0.kcf\n%p1.kcf\n#0 top.cel\n#1 under.cel *1\n$2 1,1 1,1\n"), 0);
  const plughost::Image& image = drawn.drawing.image;
  ASSERT_EQ(image.columns, 5);
  ASSERT_EQ(image.rows, 5);
  EXPECT_EQ(drawn.group, 2);
  EXPECT_EQ(drawn.celsDrawn, 2u);
  EXPECT_EQ(Pixel(image, 0, 0), kClear);
  EXPECT_EQ(Pixel(image, 1, 1), (std::vector<uint8_t>{2, 1, 100, 255}));  // top, palette 0
  EXPECT_EQ(Pixel(image, 2, 2), (std::vector<uint8_t>{2, 1, 100, 255}));  // top over under
  EXPECT_EQ(Pixel(image, 3, 3), (std::vector<uint8_t>{2, 2, 101, 255}));  // under, palette 1
  EXPECT_EQ(Pixel(image, 4, 4), kClear);
}

// Listed the other way, the other cel lies on top.
TEST(DrawSet, OrderOfListingDecides) {
  const plughost::SetDrawing drawn =
      DrawSet(Load("(5,5)\n%p0.kcf\n%p1.kcf\n#1 under.cel *1\n#0 top.cel\n$0 1,1 1,1\n"), 0);
  EXPECT_EQ(Pixel(drawn.drawing.image, 2, 2), (std::vector<uint8_t>{0, 2, 101, 255}));
}

// Each set its own positions and group; "*" leaves an object out; a cel
// listed for other sets is not drawn; a group past a palette's shows its first.
TEST(DrawSet, EachSetItsPositionsAndGroup) {
  const plughost::DollSet doll = Load(
      "(5,5)\n%p0.kcf\n%p1.kcf\n#0 top.cel :0 1 3\n#1 under.cel *1 :0\n"
      "$0 0,0 0,0\n$1 3,3 *\n$0\n$7 -1,-1\n");
  const plughost::SetDrawing one = DrawSet(doll, 1);
  EXPECT_EQ(one.celsDrawn, 1u);
  EXPECT_EQ(one.celsUnplaced, 0u);  // under.cel is not listed for set 1
  EXPECT_EQ(one.group, 1);
  EXPECT_EQ(Pixel(one.drawing.image, 3, 3), (std::vector<uint8_t>{1, 1, 100, 255}));
  EXPECT_EQ(Pixel(one.drawing.image, 2, 2), kClear);
  // Set 2 places no object: top.cel is not listed for it either.
  const plughost::SetDrawing two = DrawSet(doll, 2);
  EXPECT_EQ(two.celsDrawn, 0u);
  // Set 3: group 7 of 3-group palettes is group 0; at -1,-1 only the cel's
  // last pixel lies in the envelope.
  const plughost::SetDrawing three = DrawSet(doll, 3);
  EXPECT_EQ(three.group, 7);
  EXPECT_EQ(three.celsDrawn, 1u);
  EXPECT_EQ(Pixel(three.drawing.image, 0, 0), (std::vector<uint8_t>{0, 1, 100, 255}));
  EXPECT_EQ(Pixel(three.drawing.image, 1, 0), kClear);
  EXPECT_FALSE(doll.cnf.SetUsed(2));
}

TEST(DrawSet, ObjectLeftOutCountedNotDrawn) {
  const plughost::SetDrawing drawn =
      DrawSet(Load("(5,5)\n%p0.kcf\n#0 top.cel\n#1 under.cel\n$0 * 0,0\n"), 0);
  EXPECT_EQ(drawn.celsDrawn, 1u);
  EXPECT_EQ(drawn.celsUnplaced, 1u);
  EXPECT_EQ(Pixel(drawn.drawing.image, 0, 0), kClear);
  EXPECT_EQ(Pixel(drawn.drawing.image, 1, 1), (std::vector<uint8_t>{0, 2, 100, 255}));
}

// Cels wholly outside the envelope, on every side, are passed over.
TEST(DrawSet, CelsOutsideTheEnvelopeCutOff) {
  const plughost::SetDrawing drawn =
      DrawSet(Load("(5,5)\n%p0.kcf\n#0 top.cel\n#1 top.cel\n#2 top.cel\n#3 top.cel\n"
                   "$0 5,0 0,5 -2,0 0,-2\n"),
              0);
  EXPECT_EQ(drawn.celsDrawn, 0u);
  for (size_t k = 0; k < drawn.drawing.image.pixels.size(); ++k)
    ASSERT_EQ(drawn.drawing.image.pixels[k], 0) << k;
}

TEST(DrawSet, SetNumbersPastNineDrawNothing) {
  const plughost::DollSet doll = Load("(5,5)\n%p0.kcf\n#0 top.cel\n$0 0,0\n");
  EXPECT_EQ(DrawSet(doll, 10).celsDrawn, 0u);
  EXPECT_EQ(DrawSet(doll, -1).celsDrawn, 0u);
  EXPECT_EQ(DrawSet(doll, 0).celsDrawn, 1u);
}

}  // namespace
