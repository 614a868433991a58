// plughost open drawing the real sets and their cels, in-process as a user
// runs it: every set each of its sets, every cel in a palette's group, and
// the requests and files it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "kiss/configuration.h"
#include "plughost/files/input_file.h"
#include "plughost/images/byte_source.h"
#include "plughost/images/image_files.h"
#include "plughost/sets/doll_set.h"
#include "plughost/words/image_words.h"
#include "plughost/sets/lha_archive.h"
#include "tests/plughost/in_process.h"

namespace {

using plughost_test::Outcome;
using plughost_test::ReadAll;
using plughost_test::RunPlughost;
using plughost_test::TempDir;
using plughost_test::WriteAll;

const std::string kSets = plughost_test::HostPath(ZENTROW_KISS_SETS);
const std::set<std::string> kDamaged = {"emhoracek_smooch__arwen.lzh", "emhoracek_smooch__lina.lzh"};

std::vector<std::string> Archives() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(kSets))
    if (e.path().extension() == ".lzh") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

plughost::Image Png(const std::string& path) {
  plughost::Image image;
  plughost::ImageFault fault;
  EXPECT_TRUE(plughost::DecodeImage(ReadAll(path), &image, &fault)) << path << ": " << plughost::ImageWords(fault);
  return image;
}

class RealArchives : public testing::TestWithParam<std::string> {};

// Each set of the archive drawn in the envelope's size, NAME-S.png; then
// each cel unpacked beside its palettes and drawn in group 0 of the first,
// all in one command.
TEST_P(RealArchives, EverySetAndCelDraws) {
  const std::string archive = kSets + "/" + GetParam();
  TempDir dir;
  const Outcome sets = RunPlughost(dir, {"open", archive, "--set", "all", "--out-dir", "{dir}sets"});
  if (kDamaged.count(GetParam()) > 0) {
    EXPECT_EQ(sets.status, 3) << sets.err;
    EXPECT_NE(sets.err.find(GetParam() + " is damaged or no LHA archive"), std::string::npos) << sets.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "sets")) << "nothing is written";
    return;
  }
  ASSERT_EQ(sets.status, 0) << sets.err;
  plughost::DollSet doll;
  ASSERT_FALSE(plughost::OpenSet(archive, "", &doll));
  size_t drawn = 0;
  for (int s = 0; s < kSetCount; ++s) {
    const std::string png = dir / ("sets/" + GetParam().substr(0, GetParam().size() - 4) + "-" + std::to_string(s) + ".png");
    ASSERT_EQ(std::filesystem::exists(png), doll.cnf.SetUsed(s)) << png;
    if (!doll.cnf.SetUsed(s)) continue;
    const plughost::Image image = Png(png);
    EXPECT_EQ(image.columns, doll.cnf.width) << png;
    EXPECT_EQ(image.rows, doll.cnf.height) << png;
    ++drawn;
  }
  EXPECT_GT(drawn, 0u);

  plughost::InputFile file;
  std::string error;
  ASSERT_TRUE(file.Open(archive, &error)) << error;
  std::vector<plughost::ArchiveMember> members;
  ASSERT_FALSE(plughost::ReadLhaArchive(plughost::FileBytes(file), &members));
  std::vector<std::string> args = {"open"};
  std::string palette;
  for (const plughost::ArchiveMember& m : members) {
    WriteAll(dir / m.name, m.bytes);
    if (plughost::HasExtension(m.name, plughost::kCelExtension)) args.push_back("{dir}" + m.name);
    if (palette.empty() && plughost::HasExtension(m.name, "kcf")) palette = m.name;
  }
  ASSERT_GT(args.size(), 1u);
  args.insert(args.end(), {"--palette", "{dir}" + palette, "--group", "0", "--out-dir", "{dir}cels"});
  const Outcome cels = RunPlughost(dir, args);
  EXPECT_EQ(cels.status, 0) << cels.err;
  size_t written = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir / "cels")) written += e.path().extension() == ".png";
  EXPECT_EQ(written, args.size() - 7) << "a PNG a cel";
}

INSTANTIATE_TEST_SUITE_P(Sets, RealArchives, testing::ValuesIn(Archives()),
                         [](const testing::TestParamInfo<std::string>& i) {
                           std::string name = i.param.substr(0, i.param.find('.'));
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

struct DrawCase {
  const char* name;
  std::vector<std::string> args;  // {kayla} stands for kayla's archive
  int status;
  const char* says;
  const char* writes;  // "" for nothing
};
void PrintTo(const DrawCase& c, std::ostream* os) { *os << c.name; }

class DrawCommands : public testing::TestWithParam<DrawCase> {};

TEST_P(DrawCommands, DrawOrRefuseInWords) {
  const DrawCase& c = GetParam();
  TempDir dir;
  WriteAll(dir / "p.kcf", std::vector<uint8_t>(32, 0));
  WriteAll(dir / "x.cel", std::vector<uint8_t>(4, 0));
  std::vector<std::string> args = c.args;
  for (std::string& a : args)
    if (a == "{kayla}") a = kSets + "/emhoracek_smooch__kayla.lzh";
  const Outcome run = RunPlughost(dir, args);
  EXPECT_EQ(run.status, c.status) << run.out << run.err;
  EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
  std::vector<std::string> made;
  for (const std::string& name : dir.Names())
    if (name != "p.kcf" && name != "x.cel") made.push_back(name);
  EXPECT_EQ(made, *c.writes == '\0' ? std::vector<std::string>{} : std::vector<std::string>{c.writes});
}

INSTANTIATE_TEST_SUITE_P(
    Table, DrawCommands,
    testing::Values(
        DrawCase{"SetZeroByDefault", {"open", "{kayla}", "--out", "{dir}doll.png"}, 0, "set 0 -> ", "doll.png"},
        DrawCase{"SetThree", {"open", "{kayla}", "--set", "3", "--out", "{dir}doll.png"}, 0, "set 3 -> ", "doll.png"},
        DrawCase{"ASetNotUsed", {"open", "{kayla}", "--set", "7", "--out", "{dir}doll.png"}, 3,
                 "does not use set 7 (it uses 0, 1, 2, 3, 4 and 9)", ""},
        DrawCase{"ACelWithoutPalette", {"open", "{dir}x.cel", "--out", "{dir}x.png"}, 2, "give --palette", ""},
        DrawCase{"APaletteWithoutCel", {"open", "{dir}p.kcf", "--palette", "{dir}p.kcf", "--out", "{dir}x.png"}, 2,
                 "give a .cel file to draw", ""},
        DrawCase{"ASetOfAPalette", {"open", "{dir}p.kcf", "--set", "1", "--out", "{dir}x.png"}, 2,
                 "--set chooses a set of a KiSS set", ""},
        DrawCase{"DrawnAsPngOnly", {"open", "{kayla}", "--out", "{dir}doll.ppm"}, 2, "drawn as PNG images", ""},
        DrawCase{"ACutCel", {"open", "{dir}x.cel", "--palette", "{dir}p.kcf", "--out", "{dir}x.png"}, 3, "x.cel", ""},
        DrawCase{"CelsAndPalettesApart", {"open", "{kayla}", "{dir}p.kcf", "--out-dir", "{dir}o"}, 2,
                 "but not both at once", ""}),
    [](const testing::TestParamInfo<DrawCase>& i) { return std::string(i.param.name); });

}  // namespace
