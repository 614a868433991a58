// GIMP, JASC and RIFF palettes: what a malformed one is refused with, and
// that a palette image goes out and comes back as the same colours.
#include <ostream>

#include <algorithm>

#include <gtest/gtest.h>

#include "plughost/images/palette_files.h"
#include "plughost/words/image_words.h"

namespace {

using plughost::DecodePaletteText;
using plughost::EncodePaletteText;
using plughost::Image;
using plughost::ImageFormat;

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::string Colours(int n, const char* end = "\n") {
  std::string text;
  for (int k = 0; k < n; ++k) text += std::to_string(k % 256) + " 1 2" + end;
  return text;
}

// A RIFF palette of `count` colours, entry k (k, 1, 2); `entries` of them in
// its "data" chunk (-1: `count`), after a chunk `before` of 3 bytes when
// it is set.
std::string Riff(int count, int entries = -1, const char* before = nullptr) {
  if (entries < 0) entries = count;
  const auto le = [](uint32_t v, int n) {
    std::string b;
    for (int k = 0; k < n; ++k) b += char((v >> (8 * k)) & 0xFF);
    return b;
  };
  std::string data = le(0x0300, 2) + le(uint32_t(count), 2);
  for (int k = 0; k < entries; ++k) data += std::string{char(k % 256), 1, 2, 0};
  std::string chunks = before == nullptr ? "" : std::string(before) + le(3, 4) + "abc" + '\0';
  chunks += "data" + le(uint32_t(data.size()), 4) + data;
  return "RIFF" + le(uint32_t(4 + chunks.size()), 4) + "PAL " + chunks;
}

// The bytes of `text` with `at` set to `value`, or cut to `size` bytes.
std::string Set(std::string text, size_t at, char value) { return text[at] = value, text; }
std::string Cut(std::string text, size_t size) { return text.resize(size), text; }

struct DecodeCase {
  const char* name;
  ImageFormat kind;
  std::string text;
  const char* says;  // empty: read, with `colours` colours
  int colours;
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class PaletteDecodes : public testing::TestWithParam<DecodeCase> {};

TEST_P(PaletteDecodes, ReadOrRefuseWithTheLine) {
  const DecodeCase& c = GetParam();
  Image image;
  int colours = -1;
  plughost::ImageFault fault;
  const bool read = DecodePaletteText(Bytes(c.text), c.kind, "p", &image, &colours, &fault);
  const std::string error = plughost::ImageWords(fault);
  if (*c.says != '\0') {
    EXPECT_FALSE(read);
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_LE(error.size(), 140u) << "a bad line is quoted short";
    return;
  }
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(colours, c.colours);
  ASSERT_EQ(image.rows, 16);
  ASSERT_EQ(image.columns, 16);
  EXPECT_EQ(image.At(15, 15, 0), c.colours >= 256 ? 255 : 0) << "the entries it lacks are black";
}

const DecodeCase kDecodeCases[] = {
    {"GimpFull", ImageFormat::kGimpPalette, "GIMP Palette\nName: x\nColumns: 16\n#\n" + Colours(256), "",
     256},
    {"GimpFewWithNamesAndComments", ImageFormat::kGimpPalette,
     "GIMP Palette\r\nName: x\r\n# a comment\r\n\r\n  1   2   3\tRed\r\n4 5 6 Blue\r\n", "", 2},
    {"GimpTooMany", ImageFormat::kGimpPalette, "GIMP Palette\n" + Colours(257),
     "line 258: a palette holds at most 256 colours", 0},
    {"GimpNoHeader", ImageFormat::kGimpPalette, Colours(3), "line 1: a GIMP palette begins", 0},
    {"GimpValueTooLarge", ImageFormat::kGimpPalette, "GIMP Palette\n1 2 3\n1 256 3\n",
     "line 3: 256 is not from 0 to 255", 0},
    {"GimpNotANumber", ImageFormat::kGimpPalette, "GIMP Palette\n1 2 x3\n", "line 2: \"x3\" is not a number",
     0},
    {"GimpTwoNumbers", ImageFormat::kGimpPalette, "GIMP Palette\n1 2\n", "line 2: expected three numbers",
     0},
    {"JascFull", ImageFormat::kJascPalette, "JASC-PAL\r\n0100\r\n256\r\n" + Colours(256, "\r\n"), "", 256},
    {"JascFew", ImageFormat::kJascPalette, "JASC-PAL\n0100\n3\n" + Colours(3), "", 3},
    {"JascCountTooLarge", ImageFormat::kJascPalette, "JASC-PAL\n0100\n300\n" + Colours(300),
     "line 3: 300 colours, and a palette holds at most 256", 0},
    {"JascShort", ImageFormat::kJascPalette, "JASC-PAL\n0100\n4\n" + Colours(3),
     "the file ends after 3 of its 4 colours", 0},
    {"JascExtra", ImageFormat::kJascPalette, "JASC-PAL\n0100\n2\n" + Colours(3),
     "line 6: more colours than the count", 0},
    {"JascBadVersion", ImageFormat::kJascPalette, "JASC-PAL\n0200\n1\n1 2 3\n", "line 2: expected", 0},
    {"JascNegative", ImageFormat::kJascPalette, "JASC-PAL\n0100\n1\n-1 2 3\n",
     "line 4: -1 is not from 0 to 255", 0},
    {"RiffPalette", ImageFormat::kJascPalette, Riff(16), "", 16},
    {"RiffPaletteFull", ImageFormat::kJascPalette, Riff(256), "", 256},
    {"RiffPaletteAfterAnotherChunk", ImageFormat::kJascPalette, Riff(3, -1, "LIST"), "", 3},
    {"RiffPaletteOfMoreThan256ReadsTheFirst", ImageFormat::kJascPalette, Riff(300), "", 300},
    {"RiffPaletteOfNoColours", ImageFormat::kJascPalette, Riff(0), "", 0},
    {"RiffCountPastItsData", ImageFormat::kJascPalette, Riff(5, 4),
     "p is damaged: its 5 colours need 24 bytes of its \"data\" chunk, which holds 20", 0},
    {"RiffCutShort", ImageFormat::kJascPalette, Cut(Riff(4), 30),
     "p is cut short: its RIFF header counts 40 bytes, and the file has 30", 0},
    {"RiffHeaderCutShort", ImageFormat::kJascPalette, std::string("RIFF\x10\0\0", 7),
     "p is cut short: a RIFF palette begins with 12 bytes, and the file has 7", 0},
    {"RiffChunkPastTheFile", ImageFormat::kJascPalette, Set(Riff(4), 17, 1),
     "p is damaged: its \"data\" chunk at byte 12 runs to byte 296, past the 40 bytes its RIFF "
     "header counts", 0},
    {"RiffOfAnotherKind", ImageFormat::kJascPalette, Set(Riff(1), 8, 'W'),
     "p is a RIFF file of another kind (\"WAL \"), not a palette", 0},
    {"RiffWithoutData", ImageFormat::kJascPalette, Set(Riff(1), 12, 'D'),
     "p is a RIFF palette without a \"data\" chunk of colours", 0},
    {"RiffOfAnotherVersion", ImageFormat::kJascPalette, Set(Riff(1), 21, 4),
     "p is a RIFF palette of version 0x0400, where plughost reads version 0x0300", 0},
    {"RiffDataTooShortForACount", ImageFormat::kJascPalette,
     std::string("RIFF\x0E\0\0\0PAL data\2\0\0\0\0\3", 22),
     "its \"data\" chunk of 2 bytes has no room for the version and count", 0},
    {"RiffNamedGplIsNoGimpPalette", ImageFormat::kGimpPalette, Riff(1), "line 1: a GIMP palette begins", 0},
    {"GimpCrLineEnds", ImageFormat::kGimpPalette, "GIMP Palette\rName: x\r# c\r1 2 3\r4 5 6\r", "", 2},
    {"GimpByteOrderMarkAndTabs", ImageFormat::kGimpPalette, "\xEF\xBB\xBFGIMP Palette\n1\t2\t3\tRed\n", "",
     1},
    {"GimpLastLineWithoutEnd", ImageFormat::kGimpPalette, "GIMP Palette\n1 2 3\n4 5 6", "", 2},
    {"JascTrailingBlankLines", ImageFormat::kJascPalette, "JASC-PAL\r\n0100\r\n2\r\n" + Colours(2, "\r\n") + "\r\n \r\n",
     "", 2},
    {"JascCrLineEndsAndSpaces", ImageFormat::kJascPalette, "JASC-PAL \r0100\r2 \r" + Colours(2, "\r"), "", 2},
    {"JascColourAfterBlankLine", ImageFormat::kJascPalette, "JASC-PAL\n0100\n1\n1 2 3\n\n4 5 6\n",
     "line 6: more colours than the count on line 3", 0},
    {"BadLineQuotedShortWithControlsEscaped", ImageFormat::kGimpPalette,
     "GIMP Palette\n1\x01" + std::string(200, 'x') + "\n",
     "line 2: \"1\\x01xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\" is not a number", 0},
    {"LineLongerThanAnyPalette", ImageFormat::kGimpPalette, "GIMP Palette\n1 2 3 " + std::string(5000, 'n') + "\n",
     "line 2: longer than 4096 characters", 0},
    {"LongNumberShortened", ImageFormat::kGimpPalette, "GIMP Palette\n" + std::string(100, '9') + " 1 1\n",
     "line 2: 99999999999999999999999999999999999999999999999999999999999999999999999999999... is not from 0 to 255", 0},
};

INSTANTIATE_TEST_SUITE_P(Table, PaletteDecodes, testing::ValuesIn(kDecodeCases),
                         [](const testing::TestParamInfo<DecodeCase>& p) { return p.param.name; });

TEST(PaletteFiles, BothKindsGoOutAndComeBackAsTheSameColours) {
  Image image = Image::Blank(16, 16, 3);
  for (size_t i = 0; i < image.pixels.size(); ++i)
    image.pixels[i] = static_cast<uint8_t>(i * 37 + 11);
  // A palette that holds fewer colours lists only those; the rest come
  // back black.
  for (int held : {256, 160, 16, 1}) {
    for (ImageFormat kind : {ImageFormat::kGimpPalette, ImageFormat::kJascPalette}) {
      const std::vector<uint8_t> text = EncodePaletteText(image, kind, "round", held);
      Image back;
      int colours = 0;
      plughost::ImageFault error;
      ASSERT_TRUE(DecodePaletteText(text, kind, "round", &back, &colours, &error)) << plughost::ImageWords(error);
      EXPECT_EQ(colours, held);
      std::vector<uint8_t> expected = image.pixels;
      std::fill(expected.begin() + 3 * held, expected.end(), 0);
      EXPECT_EQ(back.pixels, expected) << held;
    }
  }
  const std::vector<uint8_t> gimp = EncodePaletteText(image, ImageFormat::kGimpPalette, "round");
  EXPECT_EQ(std::string(gimp.begin(), gimp.begin() + 42),
            "GIMP Palette\nName: round\nColumns: 16\n#\n 11");
  // A name that holds a line break stays on its line, escaped, and the file
  // reads back.
  const std::vector<uint8_t> broken = EncodePaletteText(image, ImageFormat::kGimpPalette, "two\nlines");
  EXPECT_EQ(std::string(broken.begin(), broken.begin() + 30), "GIMP Palette\nName: two\\nlines\n");
  Image back;
  int colours = 0;
  plughost::ImageFault error;
  EXPECT_TRUE(DecodePaletteText(broken, ImageFormat::kGimpPalette, "p", &back, &colours, &error))
      << plughost::ImageWords(error);
}

}  // namespace
