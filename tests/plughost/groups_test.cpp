// Palettes of several groups: their form read from the file's bytes, the
// one-group view the module opens, colours put back in the file's own form,
// and the command line run in this process against the built module (the
// real DLL under wine in the Windows trees) over every group of every real
// palette of several groups.
#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "plughost/commands/command_line.h"
#include "kiss/palette_bytes.h"
#include "plughost/files/file_checks.h"
#include "plughost/images/image_files.h"
#include "plughost/words/image_words.h"
#include "plughost/usecases/palette_source.h"
#include "plughost/usecases/palette_words.h"
#include "plughost/usecases/requests.h"
#include "tests/plughost/sample_palettes.h"
#include "tests/plughost/in_process.h"
#include "tests/plughost/test_files.h"

namespace {

using plughost_test::ReadAll;
using plughost_test::TempDir;
using plughost_test::WriteAll;

std::vector<uint8_t> Header(uint8_t mark, uint8_t bits, int16_t perGroup, int16_t groups) {
  std::vector<uint8_t> h = {'K', 'i', 'S', 'S', mark, bits, 0xA1, 0xA2};
  for (int16_t v : {perGroup, groups}) {
    h.push_back(uint8_t(uint16_t(v) & 0xFF));
    h.push_back(uint8_t(uint16_t(v) >> 8));
  }
  for (uint8_t b = 0; b < 20; ++b) h.push_back(uint8_t(0xB0 + b));  // kept, never read
  return h;
}

struct FormCase {
  const char* name;
  std::vector<uint8_t> head;
  bool readable;
  const char* says;  // the form in words, or the reason there is none
};

void PrintTo(const FormCase& c, std::ostream* os) { *os << c.name; }

class Forms : public testing::TestWithParam<FormCase> {};

TEST_P(Forms, AreReadFromTheFilesOwnBytes) {
  PaletteForm form;
  const PaletteHead head = ReadPaletteHead(GetParam().head);
  const std::string why = plughost::FormFaultText(head, ReadPaletteForm(head, &form));
  const bool read = why.empty();
  EXPECT_EQ(read, GetParam().readable) << why;
  EXPECT_EQ(read ? plughost::FormText(form) : why, GetParam().says);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Forms,
    testing::Values(
        FormCase{"TwelveBitGroups", Header(16, 12, 16, 10), true, "12-bit, 10 groups of 16 colours"},
        FormCase{"OneGroupOf256", Header(16, 24, 256, 1), true, "24-bit, 1 group of 256 colours"},
        FormCase{"MoreThanAnImage", Header(16, 24, 256, 10), true, "24-bit, 10 groups of 256 colours"},
        FormCase{"OneColour", Header(16, 24, 1, 1), true, "24-bit, 1 group of 1 colour"},
        FormCase{"Headerless", {0x12, 0x03, 0x45, 0x06}, true, "no header: 10 groups of 16 12-bit colours"},
        FormCase{"OtherMark", Header(32, 24, 16, 1), false, "its header has file mark 32, where a palette has 16"},
        FormCase{"OtherDepth", Header(16, 8, 16, 1), false, "its header gives 8 bits per colour, where a palette has 12 or 24"},
        FormCase{"NoGroups", Header(16, 24, 256, 0), false, "its header gives 256 colours per group and 0 groups, so no group holds a colour"},
        FormCase{"NegativeCount", Header(16, 12, -16, -16), false, "its header gives -16 colours per group and -16 groups, so no group holds a colour"},
        FormCase{"HeaderCutShort", {'K', 'i', 'S', 'S', 16, 24, 0}, false, "its header is cut short at 7 bytes of 32"},
        FormCase{"ThreeBytes", {'K', 'i', 'S'}, false, "it holds only 3 bytes"}),
    [](const testing::TestParamInfo<FormCase>& p) { return p.param.name; });

PaletteForm FormOf(const std::vector<uint8_t>& head) {
  PaletteForm form;
  EXPECT_EQ(ReadPaletteForm(ReadPaletteHead(head), &form), FormFault::kNone);
  return form;
}

TEST(GroupView, IsTheFilesOwnHeaderWithOneGroupThenTheGroupsBytes) {
  const std::vector<uint8_t> head = Header(16, 24, 256, 10);
  const std::vector<uint8_t> colours = {1, 2, 3, 4, 5, 6};
  const std::vector<uint8_t> view = GroupView(FormOf(head), ReadPaletteHead(head), colours);
  std::vector<uint8_t> expected = head;
  expected[10] = 1;
  expected[11] = 0;
  expected.insert(expected.end(), colours.begin(), colours.end());
  EXPECT_EQ(view, expected);
}

TEST(GroupView, OfAHeaderlessFileHasAHeaderOf12BitsAnd16Colours) {
  const std::vector<uint8_t> head = {0x12, 0x03, 0x45, 0x06};
  const std::vector<uint8_t> view = GroupView(FormOf(head), ReadPaletteHead(head), {0xAB, 0x0C});
  std::vector<uint8_t> expected = {'K', 'i', 'S', 'S', 16, 12, 0, 0, 16, 0, 1, 0};
  expected.resize(32, 0);
  expected.insert(expected.end(), {0xAB, 0x0C});
  EXPECT_EQ(view, expected);
}

TEST(GroupPlaces, GroupsFollowTheHeaderOrByteZero) {
  const PaletteForm twelve = FormOf(Header(16, 12, 16, 10));
  EXPECT_EQ(twelve.GroupAt(3), 32u + 3 * 32);
  const PaletteForm headerless = FormOf({0, 0, 0, 0});
  EXPECT_EQ(headerless.GroupAt(9), 9u * 32);
  const PaletteForm wide = FormOf(Header(16, 24, 256, 10));
  EXPECT_EQ(wide.GroupAt(9) + wide.GroupSize(), 7712u);
  EXPECT_EQ(plughost::GroupPastTheLast("k.kcf", wide, 9), "");
  EXPECT_EQ(plughost::GroupPastTheLast("k.kcf", wide, 10), "k.kcf has 10 groups (0 to 9); there is no group 10");
  EXPECT_EQ(plughost::GroupPastTheLast("one.kcf", FormOf(Header(16, 24, 256, 1)), 1),
            "one.kcf has 1 group (group 0); there is no group 1");
}

TEST(GroupHint, OnlyForAFileThatOpensOneGroupAtATime) {
  EXPECT_EQ(plughost::GroupsToOpenOneByOne(Header(16, 24, 256, 10)), 10);
  EXPECT_EQ(plughost::GroupsToOpenOneByOne(Header(16, 24, 16, 17)), 17);
  for (const std::vector<uint8_t>& head : {Header(16, 12, 16, 10), Header(16, 24, 300, 2),
                                           Header(16, 24, 300, 1), Header(32, 24, 256, 10)})
    EXPECT_EQ(plughost::GroupsToOpenOneByOne(head), 0);
}

// A palette is read once and its groups taken from what was read; a
// header that promises more than a source keeps has its groups read at
// their places. Either way a group is the file's bytes, fewer where it is
// cut short.
TEST(PaletteSource, EveryGroupIsTheFilesBytesWhereverItWasRead) {
  TempDir dir;
  std::vector<uint8_t> kept = Header(16, 24, 16, 5), large = Header(16, 24, 32767, 400);
  for (int i = 0; i < 2 * 48 + 20; ++i) kept.push_back(uint8_t(i));  // group 2 cut short, 3 and 4 missing
  for (int i = 0; i < 10000; ++i) large.push_back(uint8_t(i * 7));  // 39 MiB promised
  WriteAll(dir / "kept.kcf", kept);
  WriteAll(dir / "large.kcf", large);
  struct Case {
    const char* file;
    int group;
    size_t from, count;
  };
  const std::vector<uint8_t>* bytes[] = {&kept, &large};
  const Case cases[] = {{"kept.kcf", 1, 32 + 48, 48}, {"kept.kcf", 2, 32 + 96, 20},
                        {"kept.kcf", 4, 0, 0}, {"large.kcf", 0, 32, 10000}};
  for (const Case& c : cases) {
    const plughost::PaletteSource source = plughost::ReadPaletteSource(dir / c.file);
    ASSERT_TRUE(source.Read()) << source.error;
    std::vector<uint8_t> group;
    EXPECT_EQ(plughost::GroupBytes(source, c.group, &group), "") << c.file;
    const std::vector<uint8_t>& file = *bytes[c.file[0] == 'l'];
    EXPECT_EQ(group, std::vector<uint8_t>(file.begin() + long(c.from), file.begin() + long(c.from + c.count)))
        << c.file << " group " << c.group;
  }
  EXPECT_LT(plughost::ReadPaletteSource(dir / "large.kcf").bytes.size(), large.size())
      << "no more kept than a header that lies is worth";
}

TEST(PutColours, TwentyFourBitsExactlyAndNothingElse) {
  std::vector<uint8_t> file = Header(16, 24, 2, 2);
  for (int k = 0; k < 4 * 3 + 5; ++k) file.push_back(uint8_t(0x40 + k));  // five bytes after
  const std::vector<uint8_t> before = file;
  const uint8_t rgb[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  EXPECT_EQ(PutColours(FormOf(file), rgb, 2, 2, &file), 0);
  std::vector<uint8_t> expected = before;
  std::copy(rgb, rgb + 6, expected.begin() + 32 + 6);
  EXPECT_EQ(file, expected);
}

TEST(PutColours, TwelveBitsTakeTheTopFourBitsAndKeepTheUnusedOnes) {
  std::vector<uint8_t> file = Header(16, 12, 2, 1);
  file.insert(file.end(), {0xFF, 0xA0, 0x00, 0x50});
  // 0x11 0x22 0x33 is exact in 12 bits; 0x12 0x34 0x56 is not.
  const uint8_t rgb[] = {0x11, 0x22, 0x33, 0x12, 0x34, 0x56};
  EXPECT_EQ(PutColours(FormOf(file), rgb, 0, 2, &file), 1);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 32, file.end()),
            (std::vector<uint8_t>{0x13, 0xA2, 0x15, 0x53}));
}

TEST(GroupOutput, PutsTheGroupAfterTheStem) {
  EXPECT_EQ(plughost::GroupOutput("out/kayla.png", 3), "out/kayla-3.png");
  EXPECT_EQ(plughost::GroupOutput("a.b/kayla.tar.gpl", 10), "a.b/kayla.tar-10.gpl");
  EXPECT_EQ(plughost::GroupOutput("noext", 0), "noext-0");
}

// --- The command line, in this process --------------------------------------

using plughost_test::Outcome;
using plughost_test::RunPlughost;

// A palette's groups as the test reads them, apart from the code under test.
struct Groups {
  bool headerless;
  int bits, perGroup, groups;
  size_t at;  // of entry 0
};

Groups GroupsOf(const std::vector<uint8_t>& file) {
  if (!(file.size() >= 4 && file[0] == 'K' && file[1] == 'i' && file[2] == 'S' && file[3] == 'S'))
    return {true, 12, 16, 10, 0};
  return {false, file[5], file[8] | (file[9] << 8), file[10] | (file[11] << 8), 32};
}

// Colour c of group g, red, green, blue.
std::vector<uint8_t> ColourOf(const std::vector<uint8_t>& file, const Groups& f, int g, int c) {
  const size_t k = size_t(g * f.perGroup + c);
  if (f.bits == 24) return {file[f.at + 3 * k], file[f.at + 3 * k + 1], file[f.at + 3 * k + 2]};
  const uint8_t b0 = file[f.at + 2 * k], b1 = file[f.at + 2 * k + 1];
  return {uint8_t((b0 >> 4) * 17), uint8_t((b1 & 15) * 17), uint8_t((b0 & 15) * 17)};
}

// The image of one group: its colours, then black to 256.
std::vector<uint8_t> GroupImage(const std::vector<uint8_t>& file, const Groups& f, int g) {
  std::vector<uint8_t> pixels;
  for (int c = 0; c < f.perGroup; ++c) {
    const std::vector<uint8_t> rgb = ColourOf(file, f, g, c);
    pixels.insert(pixels.end(), rgb.begin(), rgb.end());
  }
  pixels.resize(768, 0);
  return pixels;
}

std::vector<uint8_t> Pixels(const std::string& path) {
  plughost::Image image;
  plughost::ImageFault error;
  EXPECT_TRUE(plughost::ReadImage(path, &image, &error)) << plughost::ImageWords(error);
  return image.pixels;
}

// The real palettes of more than one group, by form, among all of them.
constexpr int kMultiGroup24 = 3, kMultiGroup12 = 20, kHeaderless = 5, kRealPalettes = 43;

std::vector<std::string> RealPaletteFiles() {
  const std::filesystem::path corpus = plughost_test::HostPath(ZENTROW_KCF_CORPUS);
  std::vector<std::string> found;
  if (!std::filesystem::is_directory(corpus)) return found;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() == ".kcf") found.push_back(entry.path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Swaps the names of the images of groups 0 and 1 of palette `stem`.
void SwapFirstGroups(const TempDir& dir, const std::string& stem) {
  const std::string zero = dir / ("g/" + stem + "-0.png"), one = dir / ("g/" + stem + "-1.png");
  std::filesystem::rename(zero, zero + ".x");
  std::filesystem::rename(one, zero);
  std::filesystem::rename(zero + ".x", one);
}

// Every real palette opened by group and put back by one command: each
// group's image is its colours; with the images of groups 0 and 1 swapped
// by name, those two groups swap in the palette and nothing else changes;
// swapped back, every palette is byte for byte as it was.
TEST(RealPalettes, EveryGroupOpensAndComesBackByteForByte) {
  const std::vector<std::string> palettes = RealPaletteFiles();
  ASSERT_EQ(palettes.size(), size_t{kRealPalettes}) << ZENTROW_KCF_CORPUS;
  TempDir dir;
  std::vector<std::string> open = {"open"};
  std::map<std::string, std::vector<uint8_t>> originals;  // by stem
  for (const std::string& path : palettes) {
    originals[plughost::StemOf(path)] = ReadAll(path);
    WriteAll(dir / plughost::NameOf(path), originals[plughost::StemOf(path)]);
    open.push_back("{dir}" + plughost::NameOf(path));
  }
  open.insert(open.end(), {"--group", "all", "--out-dir", "{dir}g"});
  const Outcome opened = RunPlughost(dir, open);
  ASSERT_EQ(opened.status, 0) << opened.err;
  int byForm[3] = {0, 0, 0}, groups = 0;
  for (const auto& [stem, original] : originals) {
    const Groups f = GroupsOf(original);
    if (f.groups > 1) ++byForm[f.headerless ? 2 : f.bits == 12 ? 1 : 0];
    for (int g = 0; g < f.groups && f.groups > 1; ++g, ++groups) {
      const std::string image = dir / ("g/" + stem + "-" + std::to_string(g) + ".png");
      EXPECT_EQ(Pixels(image), GroupImage(original, f, g)) << stem << " group " << g;
    }
    if (f.groups > 1) SwapFirstGroups(dir, stem);
  }
  const Outcome swapped = RunPlughost(dir, {"save", "{dir}g", "--into-dir", "{dir}"});
  ASSERT_EQ(swapped.status, 0) << swapped.err;
  EXPECT_EQ(swapped.err, "") << "no note: every colour is exact";
  for (const auto& [stem, original] : originals) {
    const Groups f = GroupsOf(original);
    if (f.groups < 2) continue;
    const std::vector<uint8_t> now = ReadAll(dir / (stem + ".kcf"));
    EXPECT_EQ(GroupImage(now, f, 0), GroupImage(original, f, 1)) << stem;
    EXPECT_EQ(GroupImage(now, f, 1), GroupImage(original, f, 0)) << stem;
    if (f.groups > 2) {
      EXPECT_EQ(GroupImage(now, f, f.groups - 1), GroupImage(original, f, f.groups - 1)) << stem;
    }
    SwapFirstGroups(dir, stem);
  }
  const Outcome back = RunPlughost(dir, {"save", "{dir}g", "--into-dir", "{dir}"});
  ASSERT_EQ(back.status, 0) << back.err;
  for (const auto& [stem, original] : originals)
    EXPECT_EQ(ReadAll(dir / (stem + ".kcf")), original) << stem << " after the way back";
  // Without the corpus, or with fewer of its files, this would prove little.
  EXPECT_EQ(byForm[0], kMultiGroup24) << ZENTROW_KCF_CORPUS;
  EXPECT_EQ(byForm[1], kMultiGroup12) << ZENTROW_KCF_CORPUS;
  EXPECT_EQ(byForm[2], kHeaderless) << ZENTROW_KCF_CORPUS;
  std::printf("%d groups of %zu real palettes opened and put back by one command, byte for byte\n",
              groups, palettes.size());
}

std::string Corpus(const char* name) {
  return plughost_test::HostPath(std::string(ZENTROW_KCF_CORPUS) + "/" + name);
}

const char* const kKayla = "emhoracek__smooch__app_static_kayla_kayla.lzh__in__kayla.kcf";
const char* const kBody =
    "feminaexlux__fxl.codes.kisekae__fxl.codes.kisekae.data.test_Examples_2RANMAS.lzh__in__body.kcf";
const char* const kLitks13 = "emhoracek__smooch__haskell_tests_samples_litks13e.lzh__in__litks13.kcf";

struct EditCase {
  const char* name;
  const char* palette;
  std::vector<uint8_t> entry;  // what colour 5 of group 3 becomes: (0x12, 0x34, 0x56)
  const char* note;            // "" for none
};

void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class Edits : public testing::TestWithParam<EditCase> {};

// One colour edited in the image of group 3: only its own entry changes.
TEST_P(Edits, ChangeOnlyTheirOwnBytes) {
  const EditCase& c = GetParam();
  TempDir dir;
  const std::vector<uint8_t> original = ReadAll(Corpus(c.palette));
  ASSERT_FALSE(original.empty()) << "the real palettes are missing: " << ZENTROW_KCF_CORPUS;
  WriteAll(dir / "p.kcf", original);
  ASSERT_EQ(RunPlughost(dir, {"open", "{dir}p.kcf", "--group", "3", "--out", "{dir}g.png"}).status, 0);
  plughost::Image image;
  plughost::ImageFault error;
  ASSERT_TRUE(plughost::ReadImage(dir / "g.png", &image, &error)) << plughost::ImageWords(error);
  std::copy_n(std::vector<uint8_t>{0x12, 0x34, 0x56}.begin(), 3, image.pixels.begin() + 15);
  WriteAll(dir / "g.png", plughost::EncodeImage(image, plughost::ImageFormat::kPng));
  const Outcome run = RunPlughost(dir, {"save", "{dir}g.png", "--into", "{dir}p.kcf", "--group", "3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find(c.note), std::string::npos) << run.err;
  if (*c.note == '\0') {
    EXPECT_EQ(run.err, "");
  }
  const Groups f = GroupsOf(original);
  std::vector<uint8_t> expected = original;
  const size_t at = f.at + size_t(3 * f.perGroup + 5) * c.entry.size();
  std::copy(c.entry.begin(), c.entry.end(), expected.begin() + std::ptrdiff_t(at));
  EXPECT_EQ(ReadAll(dir / "p.kcf"), expected);
}

// The high four bits of a 12-bit entry's second byte stay as the file had them.
std::vector<uint8_t> Entry12(const char* palette, uint8_t first, uint8_t green) {
  const std::vector<uint8_t> file = ReadAll(Corpus(palette));
  const Groups f = GroupsOf(file);
  const size_t at = f.at + size_t(3 * f.perGroup + 5) * 2 + 1;
  return {first, uint8_t((at < file.size() ? file[at] & 0xF0 : 0) | green)};
}

INSTANTIATE_TEST_SUITE_P(
    RealPalettes, Edits,
    testing::Values(
        EditCase{"TwentyFourBit", kKayla, {0x12, 0x34, 0x56}, ""},
        EditCase{"TwelveBit", kBody, Entry12(kBody, 0x15, 0x3),
                 "12 bits keep each channel's top four bits, so 1 of the 16 colours put back changed"},
        EditCase{"Headerless", kLitks13, Entry12(kLitks13, 0x15, 0x3), "1 of the 16 colours"}),
    [](const testing::TestParamInfo<EditCase>& p) { return p.param.name; });

// A row's files: the real body.kcf (12-bit, 10 groups of 16) and Kayla's
// palette (24-bit, 10 groups of 256), a black image, and a PNG by a
// palette's name.
struct GroupCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* says;
  const char* changes;  // the file that may change, "" for none
  size_t size;          // its size afterwards
};

void PrintTo(const GroupCase& c, std::ostream* os) { *os << c.name; }

class Commands : public testing::TestWithParam<GroupCase> {};

TEST_P(Commands, SayWhatHappenedAndTouchOnlyTheirTarget) {
  const GroupCase& c = GetParam();
  TempDir dir;
  const std::vector<uint8_t> body = ReadAll(Corpus(kBody)), kayla = ReadAll(Corpus(kKayla));
  ASSERT_EQ(body.size(), 352u) << "the real palettes are missing: " << ZENTROW_KCF_CORPUS;
  WriteAll(dir / "body.kcf", body);
  WriteAll(dir / "kayla.kcf", kayla);
  WriteAll(dir / "pic.png",
           plughost::EncodeImage(plughost::Image::Blank(16, 16, 3), plughost::ImageFormat::kPng));
  WriteAll(dir / "png.kcf", ReadAll(dir / "pic.png"));
  plughost::Image painted = plughost::Image::Blank(16, 16, 3);
  painted.pixels[3 * 20] = painted.pixels[3 * 37 + 1] = 0xF0;  // tiles 20 and 37
  WriteAll(dir / "painted.png", plughost::EncodeImage(painted, plughost::ImageFormat::kPng));
  WriteAll(dir / "body-2.png", ReadAll(dir / "painted.png"));
  WriteAll(dir / "mark.kcf", Header(32, 24, 16, 1));
  // An image whose name fits group 1 of mark.kcf and the whole of mark-1.kcf.
  WriteAll(dir / "mark-1.kcf", Header(32, 24, 16, 1));
  WriteAll(dir / "mark-1.png", ReadAll(dir / "pic.png"));
  // An image of the whole of body.kcf; one of the whole of solo-3.kcf.
  WriteAll(dir / "body.png", ReadAll(dir / "pic.png"));
  WriteAll(dir / "solo-3.kcf", body);
  WriteAll(dir / "solo-3.png", ReadAll(dir / "pic.png"));
  WriteAll(dir / "cut.kcf", std::vector<uint8_t>(body.begin(), body.end() - 5));
  const Outcome run = RunPlughost(dir, c.args);
  EXPECT_EQ(run.status, c.status) << run.out << run.err;
  EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
  const std::map<std::string, std::vector<uint8_t>> palettes = {{"body.kcf", body}, {"kayla.kcf", kayla}};
  for (const auto& [name, bytes] : palettes) {
    if (name == c.changes) {
      EXPECT_EQ(ReadAll(dir / name).size(), c.size) << name;
    } else {
      EXPECT_EQ(ReadAll(dir / name), bytes) << name << " is as it was";
    }
  }
  for (const std::string& name : dir.Names())
    EXPECT_EQ(name.find(".plughost-"), std::string::npos) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Commands,
    testing::Values(
        GroupCase{"WholeKaylaSaysWhatToDo", {"open", "{dir}kayla.kcf", "--out", "{dir}k.png"}, 1,
                  "256 per group times 10 groups, and a palette holds at most 256; open one group at a time with --group N, N from 0 to 9", "", 0},
        GroupCase{"ProbeNamesTheForm", {"probe", "{dir}body.kcf", "{dir}kayla.kcf"}, 1,
                  "body.kcf: palette (12-bit, 10 groups of 16 colours)\n", "", 0},
        GroupCase{"ProbeOfKayla", {"probe", "{dir}kayla.kcf"}, 1,
                  "kayla.kcf: the filter says palette (24-bit, 10 groups of 256 colours); an open refuses it", "", 0},
        GroupCase{"GroupPastTheLast", {"open", "{dir}kayla.kcf", "--group", "10", "--out", "{dir}k.png"}, 3,
                  "kayla.kcf has 10 groups (0 to 9); there is no group 10", "", 0},
        GroupCase{"GroupOfAFileOfNone", {"open", "{dir}mark.kcf", "--group", "0", "--out", "{dir}k.png"}, 3,
                  "mark.kcf has no groups to open: its header has file mark 32", "", 0},
        GroupCase{"EveryGroupBesideOut", {"open", "{dir}body.kcf", "--group", "all", "--out", "{dir}b.ppm"}, 0,
                  "b-9.ppm (16 x 16 RGB)", "", 0},
        // Every group's view goes through one file: the last, shorter, leaves
        // nothing of the one before it to be read.
        GroupCase{"EveryGroupOfAPaletteCutInItsLast", {"open", "{dir}cut.kcf", "--group", "all", "--out-dir", "{dir}g"}, 4,
                  "cut.kcf group 9: result -39: end of file; group 9 is cut short", "", 0},
        GroupCase{"SaveOverAnotherFormForced", {"save", "{dir}pic.png", "--out", "{dir}body.kcf", "--force"}, 0,
                  "(800 bytes)", "body.kcf", 800},
        GroupCase{"IntoKeepsTheForm", {"save", "{dir}pic.png", "--into", "{dir}body.kcf"}, 0,
                  "(160 colours, 352 bytes, 12-bit, 10 groups of 16 colours)", "body.kcf", 352},
        GroupCase{"IntoAllOfKayla", {"save", "{dir}pic.png", "--into", "{dir}kayla.kcf"}, 3,
                  "more than the 256 colours of one image; give --group N", "", 0},
        GroupCase{"IntoAGroupOfKayla", {"save", "{dir}pic.png", "--into", "{dir}kayla.kcf", "--group", "9"}, 0,
                  "kayla.kcf group 9 (256 colours, 7712 bytes", "kayla.kcf", 7712},
        GroupCase{"IntoAGroupTilesPastItsEntriesNamed",
                  {"save", "{dir}painted.png", "--into", "{dir}body.kcf", "--group", "2"}, 0,
                  "painted.png: tiles 20 and 37 hold a colour, but " , "body.kcf", 352},
        GroupCase{"IntoAGroupPastTheLast", {"save", "{dir}pic.png", "--into", "{dir}body.kcf", "--group", "10"}, 3,
                  "body.kcf has 10 groups (0 to 9); there is no group 10", "", 0},
        GroupCase{"IntoAnImage", {"save", "{dir}pic.png", "--into", "{dir}png.kcf"}, 3,
                  "png.kcf is not a KiSS palette", "", 0},
        GroupCase{"IntoAMissingFile", {"save", "{dir}pic.png", "--into", "{dir}none.kcf"}, 3, "none.kcf: ", "", 0},
        GroupCase{"IntoTheTrace", {"--trace", "{dir}body.kcf", "save", "{dir}pic.png", "--into", "{dir}body.kcf"}, 2,
                  "would overwrite the output", "", 0},
        // The gate's own names are no file of a command: a trace as the lock
        // of the palette saved into, an output named as a temporary file.
        GroupCase{"TraceAsTheLockOfInto",
                  {"--trace", "{dir}body.kcf.lock", "save", "{dir}pic.png", "--into", "{dir}body.kcf", "--group", "1"}, 2,
                  "body.kcf.lock is the name of the lock plughost takes while it rewrites a file", "", 0},
        GroupCase{"OutputNamedAsATemporaryFile", {"open", "{dir}body.kcf", "--out", "{dir}.plughost-x.png"}, 2,
                  ".plughost-x.png has the name of a temporary file of plughost's", "", 0},
        // A set's way back: each image into the group its name gives.
        GroupCase{"IntoDirPutsAnImageInItsGroup", {"save", "{dir}body-2.png", "--into-dir", "{dir}"}, 0,
                  "body.kcf group 2 (16 colours, 352 bytes, 12-bit", "body.kcf", 352},
        GroupCase{"IntoDirTwoImagesForOneGroup",
                  {"save", "{dir}body-2.png", "{dir}body-2.png", "--into-dir", "{dir}"}, 2,
                  "body-2.png would both go into group 2 of ", "", 0},
        GroupCase{"IntoDirAnImageOfTwoPalettes", {"save", "{dir}mark-1.png", "--into-dir", "{dir}"}, 2,
                  "mark.kcf or into the whole of ", "", 0},
        GroupCase{"IntoDirTheWholeAndAGroup",
                  {"save", "{dir}body.png", "{dir}body-2.png", "--into-dir", "{dir}"}, 2,
                  "body-2.png would both go into group 2 of ", "", 0},
        GroupCase{"IntoDirTheOnlyPaletteOfADashedName", {"save", "{dir}solo-3.png", "--into-dir", "{dir}"}, 0,
                  "solo-3.kcf (160 colours, 352 bytes", "", 0},
        GroupCase{"IntoDirTraceAsTheLockOfAPalette",
                  {"--trace", "{dir}body.kcf.lock", "save", "{dir}body-2.png", "--into-dir", "{dir}"}, 2,
                  "body.kcf.lock is the name of the lock plughost takes", "", 0},
        GroupCase{"IntoDirOfAFile", {"save", "{dir}body-2.png", "--into-dir", "{dir}body.kcf"}, 2,
                  "body.kcf is not a folder", "", 0},
        GroupCase{"IntoDirTakesNoGroup", {"save", "{dir}body-2.png", "--into-dir", "{dir}", "--group", "2"}, 2,
                  "give no --group", "", 0},
        GroupCase{"IntoTwoImages", {"save", "{dir}pic.png", "{dir}pic.png", "--into", "{dir}body.kcf"}, 2, "--into takes one image", "", 0},
        GroupCase{"GroupWithoutInto", {"save", "{dir}pic.png", "--out", "{dir}x.kcf", "--group", "1"}, 2, "--group chooses a group", "", 0},
        GroupCase{"SaveTakesNoGroupAll", {"save", "{dir}pic.png", "--into", "{dir}body.kcf", "--group", "all"}, 2,
                  "--group takes a group number from 0 to 32766, not \"all\"", "", 0},
        GroupCase{"GroupNotANumber", {"open", "{dir}body.kcf", "--group", "x", "--out", "{dir}k.png"}, 2,
                  "--group takes a group number from 0 to 32766 or all, not \"x\"", "", 0},
        // Numbers are decimal: 010 is ten, never eight; 09 is nine; hex is refused.
        GroupCase{"GroupWithALeadingZeroIsDecimal", {"open", "{dir}kayla.kcf", "--group", "010", "--out", "{dir}k.png"}, 3,
                  "there is no group 10", "", 0},
        GroupCase{"IntoGroupNineWithALeadingZero", {"save", "{dir}pic.png", "--into", "{dir}kayla.kcf", "--group", "09"}, 0,
                  "kayla.kcf group 9 (256 colours", "kayla.kcf", 7712},
        GroupCase{"GroupInHexRefused", {"open", "{dir}body.kcf", "--group", "0x1", "--out", "{dir}k.png"}, 2,
                  "not \"0x1\"", "", 0},
        GroupCase{"SwatchWithALeadingZeroIsDecimal",
                  {"open", "{dir}body.kcf", "--group", "1", "--swatch", "010", "--out", "{dir}k.png"}, 0,
                  "a swatch of 10-pixel tiles", "", 0},
        // A name with control characters is printed escaped, never raw.
        GroupCase{"ControlCharactersInANameEscaped", {"open", "{dir}b\x1b[2J\ra\x07" "d.kcf", "--out", "{dir}k.png"}, 3,
                  "b\\033[2J\\ra\\ad.kcf: ", "", 0},
        // A right-to-left override would print what follows it reversed.
        GroupCase{"BidirectionalControlInANameEscaped", {"open", "{dir}evil\xE2\x80\xAEgnp.kcf", "--out", "{dir}k.png"}, 3,
                  "evil\\342\\200\\256gnp.kcf: ", "", 0}),
    [](const testing::TestParamInfo<GroupCase>& p) { return p.param.name; });

// README's commonest example, on the real Kayla palette.
TEST(RealPalettes, TheCommonestExampleWorksOnKayla) {
  TempDir dir;
  const std::vector<uint8_t> kayla = ReadAll(Corpus(kKayla));
  ASSERT_EQ(kayla.size(), 7712u) << "the real palettes are missing: " << ZENTROW_KCF_CORPUS;
  WriteAll(dir / "kayla.kcf", kayla);
  for (const std::vector<std::vector<std::string>>& trip :
       {std::vector<std::vector<std::string>>{
            {"open", "{dir}kayla.kcf", "--group", "0", "--out", "{dir}kayla.png", "--swatch", "16"},
            {"save", "{dir}kayla.png", "--swatch", "16", "--into", "{dir}kayla.kcf", "--group", "0"}},
        {{"open", "{dir}kayla.kcf", "--group", "4", "--out", "{dir}kayla.gpl"},
         {"save", "{dir}kayla.gpl", "--into", "{dir}kayla.kcf", "--group", "4"}}}) {
    for (const std::vector<std::string>& command : trip) {
      const Outcome run = RunPlughost(dir, command);
      ASSERT_EQ(run.status, 0) << command[1] << ": " << run.err;
    }
    EXPECT_EQ(ReadAll(dir / "kayla.kcf"), kayla) << trip[0][5];
  }
}

}  // namespace
