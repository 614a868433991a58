// The real sets of ../shared/kiss-sets: each opens whole, every cel the
// size its bytes give, the envelope and sets as the configuration writes
// them; kayla's set 0 drawn, pixel for pixel where checked by hand; the two
// damaged archives refused in words.
#include <gtest/gtest.h>
#include <spng.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "plughost/files/input_file.h"
#include "plughost/images/png_files.h"
#include "plughost/sets/doll_set.h"
#include "plughost/sets/draw_set.h"
#include "plughost/sets/set_words.h"

#ifndef ZENTROW_KISS_SETS
#error "ZENTROW_KISS_SETS must name the folder of real KiSS sets"
#endif

namespace {

std::string SetPath(const std::string& file) { return std::string(ZENTROW_KISS_SETS) + "/" + file; }

struct RealSet {
  const char* file;
  const char* configuration;  // the first an archive holds
  size_t cels;                // cel lines
  size_t palettes;
  int width, height;
  std::set<int> used;
};

// Counted from each configuration's lines by a reading of its own.
const RealSet kRealSets[] = {
    {"emhoracek_smooch__aurora.lzh", "aurora.cnf", 83, 1, 700, 430, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    {"emhoracek_smooch__boredom.lzh", "boredom.cnf", 20, 1, 500, 277, {0, 1, 2}},
    {"emhoracek_smooch__kayla.lzh", "kayla.cnf", 57, 1, 600, 320, {0, 1, 2, 3, 4, 9}},
    {"emhoracek_smooch__lucca1r.lzh", "lucca.cnf", 111, 12, 600, 400, {0, 1, 2, 3, 4, 5, 8, 9}},
    {"emhoracek_smooch__sk_kimux.lzh",
     "kiss.cnf",
     118,
     1,
     640,
     400,
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    {"emhoracek_smooch__violetah.lzh",
     "violet.cnf",
     143,
     1,
     800,
     448,
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    {"emhoracek_smooch__washua.lzh", "washu.cnf", 17, 1, 536, 440, {0, 1, 2, 3, 4, 5, 6}},
    {"feminaexlux_fxl.codes.kisekae__2RANMAS.lzh",
     "kiss.cnf",
     222,
     6,
     632,
     411,
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
};

class RealSets : public testing::TestWithParam<RealSet> {};

TEST_P(RealSets, OpenWhole) {
  const RealSet& expected = GetParam();
  plughost::DollSet doll;
  const plughost::SetRefusal refusal = plughost::OpenSet(SetPath(expected.file), "", &doll);
  ASSERT_FALSE(refusal) << plughost::SetRefusalWords(expected.file, refusal);
  EXPECT_EQ(doll.configurationName, expected.configuration);
  EXPECT_EQ(doll.cnf.cels.size(), expected.cels);
  ASSERT_EQ(doll.cels.size(), expected.cels);
  EXPECT_EQ(doll.palettes.size(), expected.palettes);
  EXPECT_EQ(doll.cnf.width, expected.width);
  EXPECT_EQ(doll.cnf.height, expected.height);
  std::set<int> used;
  for (int set = 0; set < kSetCount; ++set) {
    if (doll.cnf.SetUsed(set)) used.insert(set);
  }
  EXPECT_EQ(used, expected.used);
  // Each cel's size is what its bytes hold: a header, then its rows.
  std::vector<plughost::ArchiveMember> members;
  plughost::InputFile file;
  std::string error;
  ASSERT_TRUE(file.Open(SetPath(expected.file), &error)) << error;
  ASSERT_FALSE(plughost::ReadLhaArchive(plughost::FileBytes(file), &members));
  for (size_t k = 0; k < doll.cels.size(); ++k) {
    const Cel& cel = doll.cels[k];
    const std::string& name = doll.cnf.cels[k].file;
    uint64_t size = 0;
    for (const plughost::ArchiveMember& member : members) {
      if (plughost::HasExtension(member.name, "cel") && member.name.size() == name.size() &&
          std::equal(name.begin(), name.end(), member.name.begin(),
                     [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
        size = member.bytes.size();
    }
    const uint64_t header = cel.form == CelForm::kMarked ? 32 : 4;
    EXPECT_EQ(header + CelRowBytes(cel.bits, cel.width) * uint64_t(cel.height), size) << name;
    EXPECT_EQ(cel.pixels.size(), size_t(cel.width) * size_t(cel.height)) << name;
  }
  // Every set used draws in the envelope's size, with cels in it.
  for (const int set : expected.used) {
    const plughost::SetDrawing drawn = plughost::DrawSet(doll, set);
    EXPECT_EQ(drawn.drawing.image.columns, expected.width);
    EXPECT_EQ(drawn.drawing.image.rows, expected.height);
    EXPECT_GT(drawn.celsDrawn, 0u) << "set " << set;
  }
}

INSTANTIATE_TEST_SUITE_P(Sets, RealSets, testing::ValuesIn(kRealSets),
                         [](const testing::TestParamInfo<RealSet>& p) {
                           std::string name = p.param.file;
                           name = name.substr(name.find("__") + 2);
                           return name.substr(0, name.size() - 4);
                         });

struct NamedCel {
  const char* file;
  const char* cel;
  int bits, width, height, x, y;
};

class RealCels : public testing::TestWithParam<NamedCel> {};

// Read from each cel's header bytes by hand.
TEST_P(RealCels, SizeAndOffset) {
  const NamedCel& c = GetParam();
  plughost::DollSet doll;
  ASSERT_FALSE(plughost::OpenSet(SetPath(c.file), "", &doll));
  bool found = false;
  for (size_t k = 0; k < doll.cels.size() && !found; ++k) {
    if (doll.cnf.cels[k].file != c.cel) continue;
    found = true;
    EXPECT_EQ(doll.cels[k].bits, c.bits);
    EXPECT_EQ(doll.cels[k].width, c.width);
    EXPECT_EQ(doll.cels[k].height, c.height);
    EXPECT_EQ(doll.cels[k].xOffset, c.x);
    EXPECT_EQ(doll.cels[k].yOffset, c.y);
  }
  EXPECT_TRUE(found);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, RealCels,
    testing::Values(NamedCel{"emhoracek_smooch__kayla.lzh", "dollbase.cel", 8, 108, 261, 0, 0},
                    NamedCel{"emhoracek_smooch__kayla.lzh", "hair5f.cel", 8, 16, 83, 61, 37},
                    NamedCel{"emhoracek_smooch__lucca1r.lzh", "lface3.cel", 4, 47, 44, 29, 22},
                    // The unmarked form: no offset.
                    NamedCel{"emhoracek_smooch__sk_kimux.lzh", "NAMIDA.CEL", 4, 42, 10, 0, 0}),
    [](const testing::TestParamInfo<NamedCel>& p) {
      std::string name = p.param.cel;
      return name.substr(0, name.find('.'));
    });

struct Spot {
  int x, y;
  uint8_t rgba[4];
};

// kayla's set 0, group 0: each pixel found by hand as the first cel listed
// in set 0 whose pixel there is not 0, at its object's position plus its
// offset, and that index's colour in kayla.kcf's group 0.
TEST(RealSets, KaylaSpotPixels) {
  plughost::DollSet doll;
  ASSERT_FALSE(plughost::OpenSet(SetPath("emhoracek_smooch__kayla.lzh"), "", &doll));
  const plughost::SetDrawing drawn = plughost::DrawSet(doll, 0);
  const Spot spots[] = {
      // dollbase.cel, object 0 at 36,49: its pixel (54, 51) is colour 10.
      {90, 100, {73, 27, 28, 255}},
      // dollbase.cel (59, 31), colour 68.
      {95, 80, {132, 90, 72, 255}},
      // hair5f.cel, object 17 at 13,42 and its offset 61,37: its pixel
      // (10, 51) is colour 198, over dollbase's colour 68 there.
      {84, 130, {200, 180, 202, 255}},
      // top1f.cel, object 34 at 189,67: (61, 33), colour 164.
      {250, 100, {204, 148, 218, 255}},
      // pants1.cel, object 41 at 25,149: (55, 31), colour 205.
      {80, 180, {105, 214, 210, 255}},
      // shoes7.cel, object 28 at 34,282: (96, 18), colour 90.
      {130, 300, {112, 114, 111, 255}},
      // Under no cel.
      {5, 5, {0, 0, 0, 0}},
      {300, 300, {0, 0, 0, 0}},
  };
  for (const Spot& spot : spots) {
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(drawn.drawing.image.At(spot.y, spot.x, c), spot.rgba[c])
          << "pixel " << spot.x << "," << spot.y << " channel " << c;
  }
}

// The doll written as a PNG through plughost's writer reads back, by
// libspng, as the same RGBA, transparency and all.
TEST(RealSets, KaylaWrittenAsRgbaPng) {
  plughost::DollSet doll;
  ASSERT_FALSE(plughost::OpenSet(SetPath("emhoracek_smooch__kayla.lzh"), "", &doll));
  const plughost::Image& image = plughost::DrawSet(doll, 0).drawing.image;
  const std::vector<uint8_t> png = plughost::EncodePng(image);
  ASSERT_FALSE(png.empty());
  spng_ctx* ctx = spng_ctx_new(0);
  ASSERT_NE(ctx, nullptr);
  spng_set_png_buffer(ctx, png.data(), png.size());
  spng_ihdr ihdr{};
  size_t size = 0;
  std::vector<uint8_t> back;
  if (spng_get_ihdr(ctx, &ihdr) == 0 && spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0) {
    back.resize(size);
    if (spng_decode_image(ctx, back.data(), size, SPNG_FMT_RGBA8, 0) != 0) back.clear();
  }
  spng_ctx_free(ctx);
  EXPECT_EQ(ihdr.color_type, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA);
  EXPECT_EQ(ihdr.width, 600u);
  EXPECT_EQ(ihdr.height, 320u);
  EXPECT_TRUE(back == image.pixels);
}

// The same set from a folder: kayla's files written out with their names in
// upper case, opened by its configuration, draw the same doll; without one
// of its cels the folder is refused naming it.
TEST(RealSets, KaylaFromItsFolder) {
  plughost::InputFile file;
  std::string error;
  ASSERT_TRUE(file.Open(SetPath("emhoracek_smooch__kayla.lzh"), &error)) << error;
  std::vector<plughost::ArchiveMember> members;
  ASSERT_FALSE(plughost::ReadLhaArchive(plughost::FileBytes(file), &members));
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("kayla-folder-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  for (const plughost::ArchiveMember& member : members) {
    std::string upper = member.name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return char(std::toupper(c)); });
    std::ofstream(folder / upper, std::ios::binary)
        .write(reinterpret_cast<const char*>(member.bytes.data()),
               std::streamsize(member.bytes.size()));
  }
  plughost::DollSet fromArchive, fromFolder;
  ASSERT_FALSE(plughost::OpenSet(SetPath("emhoracek_smooch__kayla.lzh"), "", &fromArchive));
  const std::string cnf = (folder / "KAYLA.CNF").string();
  plughost::SetRefusal refusal = plughost::OpenSet(cnf, "", &fromFolder);
  ASSERT_FALSE(refusal) << plughost::SetRefusalWords(cnf, refusal);
  EXPECT_EQ(fromFolder.cels.size(), fromArchive.cels.size());
  EXPECT_TRUE(plughost::DrawSet(fromFolder, 3).drawing.image.pixels ==
              plughost::DrawSet(fromArchive, 3).drawing.image.pixels);
  std::filesystem::remove(folder / "TOP3B.CEL");
  refusal = plughost::OpenSet(cnf, "", &fromFolder);
  EXPECT_EQ(refusal.fault, plughost::SetFault::kMissing);
  EXPECT_EQ(plughost::SetRefusalWords(cnf, refusal),
            cnf + " names top3b.cel at line 68 of its configuration, and does not hold it");
  std::filesystem::remove_all(folder);
}

struct DamagedSet {
  const char* file;
};

class DamagedSets : public testing::TestWithParam<DamagedSet> {};

TEST_P(DamagedSets, RefusedInWords) {
  plughost::DollSet doll;
  const plughost::SetRefusal refusal = plughost::OpenSet(SetPath(GetParam().file), "", &doll);
  EXPECT_EQ(refusal.fault, plughost::SetFault::kArchive);
  EXPECT_EQ(refusal.archive.fault, plughost::ArchiveFault::kHeader);
  EXPECT_EQ(refusal.archive.index, 0u);
  EXPECT_TRUE(doll.cels.empty());
  EXPECT_EQ(plughost::SetRefusalWords(GetParam().file, refusal),
            std::string(GetParam().file) +
                " is damaged or no LHA archive: the header of its first member, at byte 0, cannot "
                "be read");
}

INSTANTIATE_TEST_SUITE_P(Sets, DamagedSets,
                         testing::Values(DamagedSet{"emhoracek_smooch__arwen.lzh"},
                                         DamagedSet{"emhoracek_smooch__lina.lzh"}),
                         [](const testing::TestParamInfo<DamagedSet>& p) {
                           std::string name = p.param.file;
                           name = name.substr(name.find("__") + 2);
                           return name.substr(0, name.size() - 4);
                         });

}  // namespace
