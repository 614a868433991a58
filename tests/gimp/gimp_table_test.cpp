// GIMP itself as the host of file-kcf: one headless gimp-console run opens
// every palette of the shared corpus, and files refused for their own
// reasons, through file-kcf-load, and exports what it made with GIMP's own
// PNG export; it also exports images through file-kcf-save (file-kcf-export
// in GIMP 3). Each row holds what GIMP made against what plughost makes of
// the same file. The same table runs in GIMP 2.10 (tests/gimp) and GIMP 3
// (tests/gimp3), each with its own Scheme for the same commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>

#include "plughost/images/image_files.h"
#include "plughost/words/image_words.h"
#include "plughost/images/png_files.h"
#include "tests/gimp/gimp_batch.h"
#include "tests/plughost/test_files.h"

namespace {

namespace fs = std::filesystem;
using gimp_test::Failed;
using gimp_test::kExportProcedure;
using gimp_test::kLoadProcedure;
using gimp_test::Scheme;
using plughost_test::ReadAll;

const fs::path kRun = ZENTROW_GIMP_RUN_DIR;
const fs::path kCorpus = ZENTROW_KCF_CORPUS;
constexpr size_t kCorpusPalettes = 43;
constexpr int kGimpSeconds = 300;

// A file GIMP opens, and what plughost said of it.
struct OpenRow {
  fs::path file;
  std::string load;  // the procedure the command calls
  fs::path stem;     // GIMP's exports are STEM.LAYER.png; plughost's STEM.plughost.png
  int groups = 1;    // more than one: GIMP opens a layer per group
  int status = 0;    // plughost's, opening the whole file
  std::string refusal, note;  // what plughost said, without its "plughost: "
  bool madeToBeRefused = false;
};

// An image GIMP loads and exports through file-kcf-save.
struct SaveRow {
  std::string name;
  fs::path png, target, ours;  // SAVES/NAME.kcf, and plughost's SAVES/NAME.plughost.kcf
  std::string command;       // the Scheme that exports it
  std::string refusal;       // what the call fails with; empty when it saves
};

// A palette GIMP loads and exports back to the same file, or a file an
// export must leave as it was: what the file holds afterwards.
struct BackRow {
  std::string name;
  fs::path target;
  std::string command;
  std::vector<uint8_t> expected;  // the file's bytes after the call
  std::string refusal;            // what the call fails with; empty when it saves
  std::string note = "";          // what a call that saves says besides
};

struct Table {
  std::vector<OpenRow> opens;
  std::vector<SaveRow> saves;
  std::vector<BackRow> backs;
  size_t commands = 0;
  gimp_test::GimpRun gimp;
};

// plughost with `args`; its output in `log`, returned.
int Plughost(std::vector<std::string> args, const fs::path& log) {
  args.insert(args.begin(), ZENTROW_PLUGHOST_PATH);
  return gimp_test::Spawn(args, log);
}

// The rest of the line of `log` that begins with `start`.
std::string LineAfter(const std::string& log, const std::string& start) {
  const size_t at = log.find(start);
  if (at == std::string::npos) return "";
  const size_t from = at + start.size();
  return log.substr(from, log.find('\n', from) - from);
}

// How many groups a file holds, read here from its bytes: a headerless
// palette has 10; one with a palette's header, the count it gives.
int GroupsOf(const fs::path& file) {
  if (!fs::is_regular_file(file)) return 1;
  const std::vector<uint8_t> bytes = ReadAll(file.string());
  if (bytes.size() < 4) return 1;
  if (std::string(bytes.begin(), bytes.begin() + 4) != "KiSS") return 10;
  if (bytes.size() < 32 || bytes[4] != 0x10) return 1;
  return std::max(1, int(int16_t(bytes[10] | bytes[11] << 8)));
}

OpenRow OpenedByPlughost(const fs::path& file, const std::string& load, const fs::path& stem) {
  OpenRow row;
  row.groups = GroupsOf(file);
  row.file = file;
  row.load = load;
  row.stem = stem;
  const fs::path log = stem.string() + ".plughost.log";
  row.status = Plughost({"open", file.string(), "--out", stem.string() + ".plughost.png"}, log);
  const std::string said = plughost_test::ReadText(log.string());
  if (row.status != 0) row.refusal = file.string() + LineAfter(said, "plughost: " + file.string());
  const std::string note = LineAfter(said, "plughost: note: " + file.string());
  if (!note.empty()) row.note = file.string() + note;
  // Each group as plughost opens it alone: STEM.plughost-N.png.
  if (row.groups > 1)
    Plughost({"open", file.string(), "--group", "all", "--out", stem.string() + ".plughost.png"},
             log.string() + "-groups");
  return row;
}

// Files refused for reasons of their own: a cel's header, a palette cut
// short, an empty file, a folder.
std::vector<fs::path> RefusedFiles(const fs::path& folder, const fs::path& palette) {
  std::vector<uint8_t> cel(32, 0);
  const uint8_t celHeader[] = {'K', 'i', 'S', 'S', 0x20, 4, 0, 0, 16, 0, 16, 0};
  std::copy(std::begin(celHeader), std::end(celHeader), cel.begin());
  plughost_test::WriteAll((folder / "cel.kcf").string(), cel);
  std::vector<uint8_t> cut = ReadAll(palette.string());
  cut.resize(132);
  plughost_test::WriteAll((folder / "cut.kcf").string(), cut);
  plughost_test::WriteAll((folder / "empty.kcf").string(), {});
  fs::create_directories(folder / "folder.kcf");
  return {folder / "cel.kcf", folder / "cut.kcf", folder / "empty.kcf", folder / "folder.kcf"};
}

std::vector<fs::path> CorpusPalettes() {
  std::vector<fs::path> files;
  // In the words of every other test that needs the real palettes.
  if (!fs::is_directory(kCorpus)) {
    ADD_FAILURE() << "the real palettes are missing: " << kCorpus.string() << " is not a folder";
    return files;
  }
  for (const auto& entry : fs::directory_iterator(kCorpus))
    if (entry.path().extension() == ".kcf") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

const fs::path kYura = kCorpus / "emhoracek__smooch__app_static_yura_pal.kcf";
const fs::path kBg = kCorpus / "emhoracek__smooch__app_tests_samples_lucca1r.lzh__in__bg.kcf";

void AddOpens(Table* table) {
  fs::create_directories(kRun / "opens");
  std::vector<fs::path> files = CorpusPalettes();
  for (const fs::path& refused : RefusedFiles(kRun / "opens", kYura)) files.push_back(refused);
  for (size_t i = 0; i < files.size(); ++i) {
    table->opens.push_back(OpenedByPlughost(files[i], kLoadProcedure,
                                            kRun / "opens" / std::to_string(i)));
    table->opens.back().madeToBeRefused = i >= kCorpusPalettes;
  }
  // Groups 0 and 1 whole, 2 cut short, the rest missing: GIMP opens the
  // groups that open and tells of each other one, as plughost does.
  std::vector<uint8_t> cut = ReadAll(kBg.string());
  cut.resize(106);
  plughost_test::WriteAll((kRun / "opens" / "cut-groups.kcf").string(), cut);
  table->opens.push_back(OpenedByPlughost(kRun / "opens" / "cut-groups.kcf", kLoadProcedure,
                                          kRun / "opens" / "cut-groups"));
  // By its mark, under a name GIMP knows no loader for.
  fs::copy_file(kYura, kRun / "opens" / "yura.dat");
  table->opens.push_back(OpenedByPlughost(kRun / "opens" / "yura.dat", "gimp-file-load",
                                          kRun / "opens" / "by-mark"));
}

// An image of `columns` x `rows` with `planes` channels, every value distinct
// enough that a shifted or swapped pixel shows.
void WritePng(const fs::path& path, int columns, int rows, int planes) {
  plughost::Image image = plughost::Image::Blank(rows, columns, planes);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 37 + 11);
  plughost_test::WriteAll(path.string(), plughost::EncodePng(image));
}

SaveRow Save(const std::string& name, const fs::path& png, const std::string& refusal = "") {
  const fs::path target = kRun / "saves" / (name + ".kcf");
  return {name, png, target, kRun / "saves" / (name + ".plughost.kcf"),
          "(kcf-save " + Scheme(png.string()) + " " + Scheme(target.string()) + ")", refusal};
}

void AddSaves(Table* table) {
  const fs::path saves = kRun / "saves";
  fs::create_directories(saves);
  const fs::path log = saves / "make.log";
  Plughost({"open", kYura.string(), "--out", (saves / "yura.png").string()}, log);
  Plughost({"open", kBg.string(), "--out", (saves / "bg.png").string()}, log);
  Plughost({"open", kYura.string(), "--out", (saves / "tiles.png").string(), "--swatch", "4"},
           log);
  WritePng(saves / "small.png", 5, 3, 3);
  WritePng(saves / "grey.png", 16, 16, 1);
  table->saves = {Save("yura", saves / "yura.png"), Save("bg-16x10", saves / "bg.png"),
                  Save("tiles-64x64", saves / "tiles.png"), Save("small-5x3", saves / "small.png")};
  SaveRow rgba = Save("rgba", saves / "rgba.png");
  rgba.command = "(kcf-save-alpha " + Scheme((saves / "yura.png").string()) + " " +
                 Scheme(rgba.png.string()) + " " + Scheme(rgba.target.string()) + ")";
  table->saves.push_back(rgba);
  // Refused: the target keeps what it held. GIMP 3 exports the grey image
  // as the RGB image it makes of it, as plughost saves it.
  const std::string notRgb = ": a KiSS palette is saved from an RGB image; this one is grayscale";
  if (gimp_test::kExportConvertsToRgb) {
    table->saves.push_back(Save("grey", saves / "grey.png"));
  } else {
    table->saves.push_back(Save("grey", saves / "grey.png", (saves / "grey.kcf").string() + notRgb));
    plughost_test::WriteAll((saves / "grey.kcf").string(), {'k', 'e', 'p', 't'});
  }
  fs::create_directories(saves / "folder.kcf");
  table->saves.push_back(
      Save("folder", saves / "yura.png", (saves / "folder.kcf").string() + " is a directory"));
}

const fs::path kKayla = kCorpus / "emhoracek__smooch__app_static_kayla_kayla.lzh__in__kayla.kcf";
const fs::path kMoon = kCorpus / "emhoracek__smooch__examples_early-moon2_moon2.kcf";

BackRow Back(const std::string& name, const fs::path& palette, const std::string& command) {
  const fs::path target = kRun / "backs" / (name + ".kcf");
  fs::copy_file(palette, target);
  // The corpus is read-only; the copy is the user's own palette.
  fs::permissions(target, fs::perms::owner_write, fs::perm_options::add);
  return {name, target, "(" + command + " " + Scheme(target.string()) + ")", ReadAll(palette.string()), ""};
}

BackRow KeptBack(const std::string& name, const fs::path& target, const std::string& refusal) {
  const fs::path png = kRun / "saves" / "yura.png";
  const std::vector<uint8_t> kept = fs::is_regular_file(target) ? ReadAll(target.string()) : std::vector<uint8_t>();
  return {name, target, "(kcf-save " + Scheme(png.string()) + " " + Scheme(target.string()) + ")",
          kept, target.string() + refusal};
}

// Palettes of several groups and of other forms go back in their own form,
// every other byte kept; files that are no palette are left as they were.
void AddBacks(Table* table) {
  const fs::path backs = kRun / "backs";
  fs::create_directories(backs);
  table->backs = {Back("kayla", kKayla, "kcf-roundtrip"), Back("bg-12-bit", kBg, "kcf-roundtrip"),
                  Back("headerless", kMoon, "kcf-roundtrip")};
  // Layer 2 is group 2: its entry 3 (24 bits) becomes 01 02 03.
  BackRow kayla = Back("kayla-edited", kKayla, "kcf-edit");
  kayla.command.insert(kayla.command.size() - 1, " 2 3 1 2 3");
  const uint8_t painted[] = {1, 2, 3};
  std::copy_n(painted, 3, kayla.expected.begin() + 32 + (2 * 256 + 3) * 3);
  // Group 1's entry 0 in 12 bits: red and blue in byte 0, green low in byte 1.
  BackRow bg = Back("bg-edited", kBg, "kcf-edit");
  bg.command.insert(bg.command.size() - 1, " 1 0 17 34 51");
  bg.expected[32 + 16 * 2] = 0x13;
  bg.expected[33 + 16 * 2] = uint8_t((bg.expected[33 + 16 * 2] & 0xF0) | 0x02);
  table->backs.push_back(kayla);
  table->backs.push_back(bg);
  // Opened as a user opens a file and exported under a new name: the
  // palette it came from, every group and byte of it, not its top layer alone.
  BackRow copy = Back("kayla-opened", kKayla, "kcf-copy");
  copy.target = backs / "kayla-copy.kcf";
  copy.command.insert(copy.command.size() - 1, " " + Scheme(copy.target.string()));
  table->backs.push_back(copy);
  // Layers for some groups only: those are written, the rest named as kept.
  BackRow some = Back("kayla-three-layers", kKayla, "kcf-keep-top");
  some.command.insert(some.command.size() - 1, " 3");
  some.note = ": groups 0 to 2 written from their layers; groups 3 to 9, with no layer, are kept as they were";
  table->backs.push_back(some);
  // Flattened, the one layer is every group's composite under one name.
  BackRow flat = Back("kayla-flattened", kKayla, "kcf-flatten");
  flat.refusal = flat.target.string() + " has 10 groups, and the image has one layer, \"group ";
  table->backs.push_back(flat);
  fs::copy_file(kBg, backs / "other-form.kcf");
  fs::permissions(backs / "other-form.kcf", fs::perms::owner_write, fs::perm_options::add);
  plughost_test::WriteAll((backs / "doll.cel").string(), {'K', 'i', 'S', 'S', 0x20, 4, 0, 0, 16, 0, 16, 0});
  fs::copy_file(kRun / "saves" / "yura.png", backs / "picture.kcf");
  fs::create_symlink("missing.kcf", backs / "dangling.kcf");
  table->backs.push_back(KeptBack("other-form", backs / "other-form.kcf",
                                  " is a palette of 12-bit, 10 groups of 16 colours, whose colours go back from layers named as it opens"));
  table->backs.push_back(KeptBack("cel", backs / "doll.cel", " is a KiSS cel, not a palette"));
  table->backs.push_back(KeptBack("picture", backs / "picture.kcf",
                                  " holds an image, not a palette (a PNG image); export to another "
                                  "name, or delete that file first"));
  table->backs.push_back(KeptBack("dangling", backs / "dangling.kcf",
                                  " is a symbolic link to a missing file; not writing through it"));
}

Table MakeTable() {
  Table table;
  fs::remove_all(kRun);
  // Without the real palettes there is no table to make; GIMP is not run.
  if (CorpusPalettes().empty()) return table;
  AddOpens(&table);
  AddSaves(&table);
  AddBacks(&table);
  std::vector<std::string> commands;
  for (const OpenRow& row : table.opens)
    commands.push_back("(kcf-open " + row.load + " " + Scheme(row.file.string()) + " " +
                       Scheme(row.stem.string()) + ")");
  for (const SaveRow& row : table.saves) commands.push_back(row.command);
  for (const BackRow& row : table.backs) commands.push_back(row.command);
  table.commands = commands.size();
  table.gimp = gimp_test::RunGimp(kRun, commands, kGimpSeconds);
  // plughost saves what GIMP loaded, its first pixels as they are (GIMP
  // exports the pixels it shows, a swatch's grid too); the RGBA image is the
  // one GIMP exported.
  for (const SaveRow& row : table.saves)
    Plughost({"save", row.png.string(), "--swatch", "0", "--out", row.ours.string()}, row.ours.string() + ".log");
  return table;
}

const Table& TheTable() {
  static const Table table = MakeTable();
  return table;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// What GIMP exported of the file STEM.
std::vector<fs::path> Exports(const fs::path& stem) {
  std::vector<fs::path> found;
  const std::string prefix = stem.filename().string() + ".";
  for (const auto& entry : fs::directory_iterator(stem.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name.find(".plughost") == std::string::npos &&
        entry.path().extension() == ".png")
      found.push_back(entry.path());
  }
  return found;
}

plughost::Image Pixels(const fs::path& png) {
  plughost::Image image;
  plughost::ImageFault error;
  EXPECT_TRUE(plughost::ReadImage(png.string(), &image, &error)) << plughost::ImageWords(error);
  return image;
}

TEST(GimpTable, GimpRanEveryCommandAndQuit) {
  const Table& table = TheTable();
  ASSERT_EQ(table.gimp.status, 0) << "gimp-console (124: out of time)\n" << table.gimp.log;
  EXPECT_EQ(Count(table.gimp.log, "batch command"), table.commands) << table.gimp.log;
  EXPECT_EQ(Count(table.gimp.log, "crashed"), 0u) << table.gimp.log;
  EXPECT_EQ(CorpusPalettes().size(), kCorpusPalettes) << "the shared corpus is not all there";
}

// GIMP's export of an image's layers, one below the other, against
// plughost's images of the same colours, one a layer.
void ExpectSameLayers(const fs::path& gimpPng, const std::vector<fs::path>& plughostPngs) {
  const plughost::Image gimp = Pixels(gimpPng);
  const size_t layerBytes = gimp.pixels.size() / plughostPngs.size();
  for (size_t i = 0; i < plughostPngs.size(); ++i) {
    SCOPED_TRACE(plughostPngs[i].filename().string());
    const plughost::Image ours = Pixels(plughostPngs[i]);
    EXPECT_EQ(gimp.columns, ours.columns);
    EXPECT_EQ(gimp.rows, ours.rows * int(plughostPngs.size()));
    ASSERT_EQ(layerBytes, ours.pixels.size());
    EXPECT_TRUE(std::equal(ours.pixels.begin(), ours.pixels.end(),
                           gimp.pixels.begin() + std::ptrdiff_t(i * layerBytes)));
  }
  // The module's history note is the image's comment, which the PNG keeps.
  const std::vector<uint8_t> png = ReadAll(gimpPng.string());
  const std::string comment = std::string("tEXtComment") + '\0' + "Morvid: ref num=";
  EXPECT_NE(std::search(png.begin(), png.end(), comment.begin(), comment.end()), png.end());
}

TEST(GimpTable, PalettesOpenAsPlughostOpensThem) {
  int wholes = 0;
  for (const OpenRow& row : TheTable().opens) {
    if (row.status != 0 || row.groups > 1) continue;
    SCOPED_TRACE(row.file.string());
    ExpectSameLayers(row.stem.string() + ".palette.png", {row.stem.string() + ".plughost.png"});
    ++wholes;
  }
  EXPECT_GT(wholes, 0) << "no palette of one group opened";
}

// Named "group 0" to "group N-1" from the top, each the image of
// `plughost open --group N`. A palette with a group plughost cannot open
// (one cut short) does not load, and the call fails in plughost's words
// for the first such group.
TEST(GimpTable, EachGroupIsALayerAsPlughostOpensTheGroup) {
  int grouped = 0, refused = 0;
  for (const OpenRow& row : TheTable().opens) {
    if (row.groups == 1) continue;
    SCOPED_TRACE(row.file.string());
    std::string names, firstRefusal;
    std::vector<fs::path> ours;
    const std::string said = plughost_test::ReadText(row.stem.string() + ".plughost.log-groups");
    for (int g = 0; g < row.groups; ++g) {
      const std::string group = row.file.string() + " group " + std::to_string(g);
      const std::string refusal = LineAfter(said, "plughost: " + group + ": ");
      if (!refusal.empty() && firstRefusal.empty()) firstRefusal = group + ": " + refusal;
      names += (names.empty() ? "group " : ",group ") + std::to_string(g);
      ours.push_back(row.stem.string() + ".plughost-" + std::to_string(g) + ".png");
    }
    if (!firstRefusal.empty()) {
      EXPECT_NE(TheTable().gimp.log.find(Failed(kLoadProcedure, row.file, firstRefusal)),
                std::string::npos)
          << firstRefusal << "\n" << TheTable().gimp.log;
      EXPECT_TRUE(Exports(row.stem).empty());
      ++refused;
      continue;
    }
    ExpectSameLayers(row.stem.string() + "." + names + ".png", ours);
    ++grouped;
  }
  EXPECT_GT(grouped, 0) << "no palette of several groups in the corpus";
  EXPECT_EQ(refused, 1) << "cut-groups.kcf, cut short in its third group";
}

// Exported back to the file it was loaded from, a palette keeps its form
// and every byte but the colours painted; a file that is no palette, or a
// palette whose groups the image's layers are not, is left as it was.
TEST(GimpTable, ExportsBackKeepEveryGroupAndEveryOtherByte) {
  const std::string& log = TheTable().gimp.log;
  for (const BackRow& row : TheTable().backs) {
    SCOPED_TRACE(row.name);
    if (!row.refusal.empty())
      EXPECT_NE(log.find(Failed(kExportProcedure, row.target, row.refusal)), std::string::npos)
          << log;
    else
      EXPECT_EQ(log.find(Failed(kExportProcedure, row.target, row.target.string())),
                std::string::npos)
          << log;
    if (!row.note.empty()) {
      EXPECT_NE(log.find(row.target.string() + row.note), std::string::npos) << log;
    }
    EXPECT_TRUE(ReadAll(row.target.string()) == row.expected) << row.target;
  }
  EXPECT_FALSE(fs::exists(kRun / "backs" / "missing.kcf")) << "written through the dangling link";
}

TEST(GimpTable, RefusedFilesFailTheCallInPlughostsWords) {
  for (const OpenRow& row : TheTable().opens) {
    if (row.madeToBeRefused) {
      EXPECT_NE(row.status, 0) << row.file << " opened in plughost";
    }
    if (row.status == 0 || row.groups > 1) continue;
    SCOPED_TRACE(row.file.string());
    ASSERT_FALSE(row.refusal.empty());
    EXPECT_NE(TheTable().gimp.log.find(Failed(row.load, row.file, row.refusal)),
              std::string::npos)
        << TheTable().gimp.log;
    EXPECT_TRUE(Exports(row.stem).empty());
  }
}

TEST(GimpTable, NotesAreGimpMessages) {
  int notes = 0;
  for (const OpenRow& row : TheTable().opens) {
    if (row.note.empty()) continue;
    EXPECT_NE(TheTable().gimp.log.find(row.note), std::string::npos) << row.note;
    ++notes;
  }
  EXPECT_GE(notes, 1) << "no palette without a header in the corpus";
}

TEST(GimpTable, ExportsGiveTheBytesPlughostSaves) {
  for (const SaveRow& row : TheTable().saves) {
    if (!row.refusal.empty()) continue;
    SCOPED_TRACE(row.name);
    const std::vector<uint8_t> gimp = ReadAll(row.target.string());
    const std::vector<uint8_t> ours = ReadAll(row.ours.string());
    EXPECT_EQ(gimp.size(), 800u);
    EXPECT_TRUE(gimp == ours);
  }
}

TEST(GimpTable, RefusedExportsFailAndLeaveTheTarget) {
  const std::string& log = TheTable().gimp.log;
  for (const SaveRow& row : TheTable().saves) {
    if (row.refusal.empty()) continue;
    SCOPED_TRACE(row.name);
    EXPECT_NE(log.find(Failed(kExportProcedure, row.target, row.refusal)),
              std::string::npos)
        << log;
  }
  if (!gimp_test::kExportConvertsToRgb) {
    const std::vector<uint8_t> kept = ReadAll((kRun / "saves" / "grey.kcf").string());
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "kept");
  }
  EXPECT_TRUE(fs::is_directory(kRun / "saves" / "folder.kcf"));
}

// A palette of 4,000 groups of 16 colours opens as 4,000 layers. GIMP is
// started for it alone, and once more with nothing to do, so that the time
// the open takes, printed for the benchmark, leaves GIMP's start out.
TEST(GimpTable, FourThousandGroupsOpenAsLayers) {
  constexpr int kGroups = 4000;
  const fs::path folder = kRun / "groups", palette = folder / "groups.kcf";
  fs::create_directories(folder);
  std::vector<uint8_t> bytes = {'K', 'i', 'S', 'S', 0x10, 24, 0, 0, 16, 0,
                                uint8_t(kGroups & 0xFF), uint8_t(kGroups >> 8)};
  bytes.resize(32, 0);
  for (int i = 0; i < kGroups * 16 * 3; ++i) bytes.push_back(uint8_t(i * 7 + i / 48));
  plughost_test::WriteAll(palette.string(), bytes);
  using Clock = std::chrono::steady_clock;
  const auto seconds = [](Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
  };
  gimp_test::RunGimp(folder, {}, kGimpSeconds);  // the profile's first start
  Clock::time_point start = Clock::now();
  const gimp_test::GimpRun idle = gimp_test::RunGimp(folder, {}, kGimpSeconds);
  const double idleSeconds = seconds(start);
  start = Clock::now();
  const gimp_test::GimpRun run =
      gimp_test::RunGimp(folder, {"(kcf-count " + Scheme(palette.string()) + ")"}, kGimpSeconds);
  const double openSeconds = seconds(start) - idleSeconds;
  ASSERT_EQ(idle.status, 0) << idle.log;
  ASSERT_EQ(run.status, 0) << run.log;
  EXPECT_NE(run.log.find(palette.string() + ": 4000 layers"), std::string::npos) << run.log;
  std::cout << "GIMP " << ZENTROW_GIMP_MAJOR << " opened a palette of 4,000 groups in "
            << openSeconds << " s (GIMP's start, " << idleSeconds << " s, left out)\n";
  RecordProperty("open_seconds", std::to_string(openSeconds));
}

}  // namespace
