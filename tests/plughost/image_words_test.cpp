// The words of the image readers: every code has one sentence of its own,
// every field a sentence names is one a fault has, a refusal begins with
// its file, and the program is named only by the reader field. The readers'
// tests check what each sentence says of real files.
#include "plughost/words/image_words.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "plughost/words/fill.h"

namespace {

using plughost::ImageFault;
using plughost::ImageSaid;

constexpr int kLastCode = int(ImageSaid::kGifUncoveredBlack);

// Notes follow the file's name where they are said; these codes are notes.
bool IsNote(ImageSaid said) { return int(said) >= int(ImageSaid::kIndexPastTable); }

TEST(ImageWords, EveryCodeHasASentenceOfItsOwn) {
  std::set<std::string> seen;
  for (int code = 1; code <= kLastCode; ++code) {
    const std::string sentence = plughost::ImageSentence(ImageSaid(code));
    EXPECT_FALSE(sentence.empty()) << "code " << code;
    EXPECT_TRUE(seen.insert(sentence).second) << "code " << code << " shares " << sentence;
  }
  EXPECT_EQ(plughost::ImageSentence(ImageSaid::kNone), std::string());
  EXPECT_EQ(plughost::ImageWords(ImageFault()), "");
}

TEST(ImageWords, FillEveryFieldTheyName) {
  for (int code = 1; code <= kLastCode; ++code) {
    ImageFault fault{ImageSaid(code)};
    fault.file = "x.png";
    fault.form = plughost::ImageFormat::kTiff;
    const std::string said = plughost::ImageWords(fault);
    EXPECT_EQ(said.find('{'), std::string::npos) << said;
    EXPECT_EQ(said.find('}'), std::string::npos) << said;
  }
}

TEST(ImageWords, NameTheFileFirstAndTheProgramOnlyAsTheReader) {
  for (int code = 1; code <= kLastCode; ++code) {
    const ImageSaid said = ImageSaid(code);
    const std::string sentence = plughost::ImageSentence(said);
    EXPECT_EQ(sentence.find("plughost"), std::string::npos) << sentence;
    if (IsNote(said) || said == ImageSaid::kFileRefused) continue;
    EXPECT_EQ(sentence.rfind("{file}", 0), 0u) << sentence;
    ImageFault fault(said);
    fault.file = "x.png";
    EXPECT_EQ(plughost::ImageWords(fault, "the page").find("plughost"), std::string::npos);
  }
  ImageFault wide = ImageFault(ImageSaid::kSideTooLong).Size(40000, 2).Limit(32767);
  wide.file = "w.bmp";
  EXPECT_EQ(plughost::ImageWords(wide),
            "w.bmp is 40000 x 2 pixels, more than the 32767 a side plughost reads");
  EXPECT_EQ(plughost::ImageWords(wide, "the page"),
            "w.bmp is 40000 x 2 pixels, more than the 32767 a side the page reads");
}

struct UnnamedCase {
  ImageSaid said;
  const char* words;
};

void PrintTo(const UnnamedCase& c, std::ostream* os) { *os << c.words; }

class Unnamed : public testing::TestWithParam<UnnamedCase> {};

// Without a name, a file not known to be an image is "the file".
TEST_P(Unnamed, IsTheFileOrTheImage) {
  ImageFault fault = ImageFault(GetParam().said).Form(plughost::ImageFormat::kPng);
  EXPECT_EQ(plughost::ImageWords(fault), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Unnamed,
    testing::Values(UnnamedCase{ImageSaid::kEmpty, "the file is empty"},
                    UnnamedCase{
                        ImageSaid::kNotAnImage,
                        "the file is not an image plughost reads (PNG, BMP, GIF, PPM, PGM)"},
                    UnnamedCase{ImageSaid::kTruncated,
                                "the image is truncated: its PNG data stops before its end"},
                    UnnamedCase{ImageSaid::kNoGimpHeader,
                                "the file: line 0: a GIMP palette begins \"GIMP Palette\""},
                    UnnamedCase{ImageSaid::kRiffNoData,
                                "the file is a RIFF palette without a \"data\" chunk of colours"}));

TEST(ImageWords, NotesAreOneLine) {
  const plughost::ImageNotes notes = {
      ImageFault(ImageSaid::kIndexPastTable).Place(3, 0).Value(9).Count(1, 1),
      ImageFault(ImageSaid::kAnimationFirstFrame).Count(2)};
  EXPECT_EQ(
      plughost::ImageWords(notes),
      "its pixel at column 3, row 0 names colour 9, past its table of 1 colour: it is saved black; "
      "it is an animation of 2 frames; only the first is read");
  EXPECT_EQ(plughost::ImageWords(plughost::ImageNotes()), "");
}

struct FillCase {
  const char* format;
  int64_t number;
  const char* filled;
};

void PrintTo(const FillCase& c, std::ostream* os) { *os << c.format; }

class Fill : public testing::TestWithParam<FillCase> {};

TEST_P(Fill, PutsEachFieldAsItsFormatSays) {
  const FillCase& c = GetParam();
  const auto fields = [&c](const std::string& name) {
    return name == "n" ? plughost::Field::Number(c.number)
                       : plughost::Field::Text("<" + name + ">");
  };
  EXPECT_EQ(plughost::Fill(c.format, fields), c.filled);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Fill,
    testing::Values(FillCase{"{n} and {name}", 7, "7 and <name>"},
                    FillCase{"{n:colour|colours}", 1, "1 colour"},
                    FillCase{"{n:colour|colours}", 0, "0 colours"},
                    FillCase{"{n:MiB} MiB", (int64_t{32} << 20) + 5, "32 MiB"},
                    FillCase{"version {n:0x}", 0x201, "version 0x0201"},
                    FillCase{"{n:rgb}", 0xFF0080, "ff0080"}, FillCase{"{n:words}", 3, "{n:words}"},
                    FillCase{"{name:colour|colours}", 3, "{name:colour|colours}"},
                    FillCase{"{{n}", 3, "{n}"}, FillCase{"an open { brace", 3, "an open { brace"}));

}  // namespace
