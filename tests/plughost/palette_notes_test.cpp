// The host's words for a refusal, read from the file's own bytes.
#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "plughost/usecases/palette_words.h"

namespace {

std::vector<uint8_t> Header(uint8_t mark, uint8_t bits, int16_t perGroup, int16_t groups) {
  std::vector<uint8_t> h(32, 0);
  h[0] = 'K', h[1] = 'i', h[2] = 'S', h[3] = 'S';
  h[4] = mark;
  h[5] = bits;
  h[8] = uint8_t(uint16_t(perGroup) & 0xFF), h[9] = uint8_t(uint16_t(perGroup) >> 8);
  h[10] = uint8_t(uint16_t(groups) & 0xFF), h[11] = uint8_t(uint16_t(groups) >> 8);
  return h;
}

std::vector<uint8_t> Padded(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size, 0);
  return bytes;
}

struct Case {
  const char* name;
  std::vector<uint8_t> file;
  int result;
  const char* expected;  // "" for nothing to add
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Refusals : public testing::TestWithParam<Case> {};

TEST_P(Refusals, SayWhatTheBytesShow) {
  EXPECT_EQ(plughost::ExplainRefusal(GetParam().file, GetParam().result), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Refusals,
    testing::Values(
        Case{"TooManyColours", Padded(Header(16, 24, 300, 1), 932), kCannotReadFile,
             "its header declares 300 colours, 300 per group times 1 group, and a palette "
             "holds at most 256"},
        Case{"SeventeenGroups", Header(16, 12, 16, 17), kCannotReadFile,
             "its header declares 272 colours, 16 per group times 17 groups, and a palette "
             "holds at most 256"},
        Case{"WrongMark", Header(32, 24, 256, 1), kCannotReadFile,
             "its header has file mark 32, where a palette has 16"},
        Case{"WrongBits", Header(16, 8, 256, 1), kCannotReadFile,
             "its header gives 8 bits per colour, where a palette has 12 or 24"},
        Case{"NoSignature", std::vector<uint8_t>(400, 7), kCannotReadFile,
             "it does not begin with \"KiSS\" (a headerless palette can still be opened)"},
        Case{"ValidHeaderNothingToAdd", Header(16, 24, 256, 1), kCannotReadFile, ""},
        Case{"Short24Bit", Padded(Header(16, 24, 256, 1), 500), kEndOfFile,
             "the file has 500 bytes, its header promises 800"},
        Case{"Short12Bit", Padded(Header(16, 12, 16, 10), 351), kEndOfFile,
             "the file has 351 bytes, its header promises 352"},
        Case{"ShortHeader", std::vector<uint8_t>{'K', 'i', 'S', 'S', 16}, kEndOfFile,
             "the file has 5 bytes, its header promises 32"},
        Case{"ShortHeaderless", std::vector<uint8_t>(319, 1), kEndOfFile,
             "the file has 319 bytes, a palette without a header has 320"},
        Case{"LongEnough", Padded(Header(16, 24, 256, 1), 800), kEndOfFile, ""},
        Case{"NegativeCounts12Bit", Header(16, 12, -16, -16), kEndOfFile, ""},
        Case{"OtherCodes", Header(16, 24, 300, 1), kOutOfMemory, ""}),
    [](const testing::TestParamInfo<Case>& p) { return p.param.name; });

// What a palette that opened is noted for: counts the module read in a way
// a user would not guess, or a file read without a header.
struct NoteCase {
  const char* name;
  std::vector<uint8_t> head;
  uint64_t size, read;
  const char* expected;
};

void PrintTo(const NoteCase& c, std::ostream* os) { *os << c.name; }

class OpenedNotes : public testing::TestWithParam<NoteCase> {};

TEST_P(OpenedNotes, SayWhatWasDecoded) {
  EXPECT_EQ(plughost::OpenedNote(GetParam().head, GetParam().size, GetParam().read), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OpenedNotes,
    testing::Values(
        NoteCase{"Ordinary", Header(16, 24, 16, 16), 800, 800, ""},
        NoteCase{"TwelveBitNegativeCounts", Header(16, 12, -16, -16), 32, 32,
                 "its header gives -16 colours per group and -16 groups (as signed 16-bit numbers): "
                 "nothing was decoded, every colour is black"},
        NoteCase{"NoGroups", Header(16, 24, 256, 0), 32, 32,
                 "its header gives 256 colours per group and 0 groups (as signed 16-bit numbers): "
                 "nothing was decoded, every colour is black"},
        NoteCase{"TwentyFourBitNegativeCounts", Header(16, 24, -1, -1), 35, 35,
                 "its header gives -1 colours per group and -1 groups (as signed 16-bit numbers): "
                 "1 colour was decoded, as their product says, and every other colour is black"},
        NoteCase{"Headerless", std::vector<uint8_t>(400, 1), 400, 320,
                 "no KiSS header: read as 10 groups of 16 12-bit colours; 80 bytes were left unread"},
        // Opened all the same, a file that is no palette is named.
        NoteCase{"HeaderlessText", Padded({'m', 'y', ' ', 'n', 'o', 't', 'e', 's'}, 320), 320, 320,
                 "no KiSS header: read as 10 groups of 16 12-bit colours, though it is not laid out "
                 "as one: byte 1 is 0x79, where the second byte of a 12-bit colour is below 0x10"},
        NoteCase{"HeaderlessTga", Padded({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 16, 0, 24, 32}, 786), 786, 320,
                 "no KiSS header: read as 10 groups of 16 12-bit colours, though it is a TGA image, "
                 "not a palette; 466 bytes were left unread"}),
    [](const testing::TestParamInfo<NoteCase>& p) { return p.param.name; });

}  // namespace
