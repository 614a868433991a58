// The page's door to the use-case layer, through embind: a palette opened
// as plughost and GIMP open it, and an edited one saved as they save it.
// The page keeps each palette's bytes; a call puts the one it is about, under
// the name the user gave it, alone in the folder the program works in, in
// emscripten's in-memory file system, so that what is said names the file
// as the user knows it. These functions translate between JavaScript values
// and the layer's requests; they decide nothing about files or palettes.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "kiss/cel.h"
#include "kiss/configuration.h"
#include "kiss/group_colours.h"
#include "kiss/palette_bytes.h"
#include "plughost/files/atomic_file.h"
#include "plughost/files/input_file.h"
#include "plughost/sets/lha_archive.h"
#include "plughost/system/system.h"
#include "plughost/usecases/jobs.h"
#include "plughost/usecases/open_palette.h"
#include "plughost/usecases/set_view.h"
#include "web/page_caller.h"
#include "web/zip_archive.h"

namespace web {

namespace {

using emscripten::val;
namespace fs = std::filesystem;

// The program's one working folder, where each call finds its palette and
// leaves what it writes. It stays the current folder for good: the files
// gate remembers what a folder's name stood for when first asked.
constexpr const char* kFolder = "/palette";
// Where a conversion of several palettes writes, inside the working folder.
constexpr const char* kConverted = "converted";
// A call leaves its palettes and what it wrote of them.
constexpr size_t kMostLeft = size_t{1} << 20;

// Files of `folder` ("" the working folder), by name.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  plughost::sys::ListFolder(folder, kMostLeft, &names);
  std::sort(names.begin(), names.end());
  return names;
}

// The working folder emptied of what an earlier call left there, the
// folders a conversion made and their files too, through the files gate as
// every file the host touches.
void Clear() {
  static const bool entered = [] {
    int failure = 0;
    plughost::sys::MakeFolders(kFolder, &failure);
    fs::current_path(kFolder);
    return true;
  }();
  (void)entered;
  for (const std::string& entry : FilesIn("")) {
    if (plughost::sys::Remove(entry)) continue;
    // A folder: what a conversion wrote, or palettes of a name met before.
    for (const std::string& made : FilesIn(entry)) plughost::sys::Remove(entry + "/" + made);
    plughost::sys::RemoveFolder(entry);
  }
}

// `name` holding `bytes` in the working folder; a failure shows as the
// refusal of what the call does with it.
void Put(const std::string& name, const val& bytes) {
  const std::vector<uint8_t> file = emscripten::convertJSArrayToNumberVector<uint8_t>(bytes);
  std::string error;
  plughost::WriteFileAtomically(name, file, &error);
}

// Where a palette of a conversion is put: under its name, or, when a
// palette of that name came before it (from another folder of the user's),
// under it in a folder of its own, "(2)/x.kcf", so that neither is lost and
// the check of the job's files sees two inputs that would write the same
// outputs.
std::string ApartIfNamedBefore(const std::string& name, const std::vector<std::string>& before) {
  std::string path = name;
  for (int n = 2; std::find(before.begin(), before.end(), path) != before.end(); ++n) {
    path = "(" + std::to_string(n) + ")/" + name;
    int failure = 0;
    plughost::sys::MakeFolders("(" + std::to_string(n) + ")", &failure);
  }
  return path;
}

// `name` holding `bytes`, alone in the working folder.
void PutAlone(const std::string& name, const val& bytes) {
  Clear();
  Put(name, bytes);
}

val Strings(const std::vector<std::string>& texts) {
  val list = val::array();
  for (const std::string& t : texts) list.call<void>("push", t);
  return list;
}

val Bytes(const std::vector<uint8_t>& bytes) {
  return val::global("Uint8Array")
      .new_(emscripten::typed_memory_view(bytes.size(), bytes.data()))
      .call<val>("slice");
}

val Layers(const std::vector<plughost::OpenedPalette>& opened) {
  val layers = val::array();
  for (const plughost::OpenedPalette& o : opened) {
    const plughost::Image& document = o.host->document();
    val layer = val::object();
    layer.set("name", o.layer);
    layer.set("rows", document.rows);
    layer.set("columns", document.columns);
    layer.set("colours", o.ColoursHeld());
    layer.set("pixels", Bytes(document.pixels));
    layers.call<void>("push", layer);
  }
  return layers;
}

// The page's layers ({name, rows, columns, pixels}) as images to save.
std::vector<plughost::NamedLayer> NamedLayers(const val& layers) {
  std::vector<plughost::NamedLayer> named;
  const auto count = layers["length"].as<unsigned>();
  for (unsigned i = 0; i < count; ++i) {
    const val layer = layers[i];
    plughost::SaveImage image;
    image.rows = layer["rows"].as<int>();
    image.columns = layer["columns"].as<int>();
    image.top = plughost::Image::Blank(image.rows, image.columns, 3);
    const std::vector<uint8_t> pixels =
        emscripten::convertJSArrayToNumberVector<uint8_t>(layer["pixels"]);
    if (pixels.size() == image.top.pixels.size()) image.top.pixels = pixels;
    named.push_back({layer["name"].as<std::string>(), image});
  }
  return named;
}

// The page writes an image of a palette as a swatch of 16-pixel tiles,
// which shows at a size people can see.
int AsSwatch(plughost::ImageFormat format) {
  return plughost::FormatById(format).kind == plughost::FileKind::kImage ? 16 : 0;
}

val Told(const PageCaller& caller) {
  val told = val::object();
  told.set("refusal", caller.refusal());
  told.set("notes", Strings(caller.notes()));
  told.set("done", Strings(caller.done()));
  return told;
}


// Each object's place in a set, three numbers an object: placed (1 or 0),
// x and y.
val Positions(const CnfSet& set) {
  std::vector<int32_t> places;
  for (const CnfPosition& at : set.positions) places.insert(places.end(), {at.placed ? 1 : 0, at.x, at.y});
  return val::global("Int32Array")
      .new_(emscripten::typed_memory_view(places.size(), places.data()))
      .call<val>("slice");
}

// The colours of each group of `palette`, red, green and blue an entry, as
// a cel takes them.
val GroupsOf(const std::vector<uint8_t>& palette) {
  val groups = val::array();
  for (int g = 0; g < PaletteGroups(palette); ++g) {
    GroupColours colours;
    if (ReadGroupColours(palette, g, &colours)) break;
    groups.call<void>("push", val::global("Uint8Array")
                                  .new_(emscripten::typed_memory_view(size_t(colours.count) * 3,
                                                                      colours.rgb))
                                  .call<val>("slice"));
  }
  return groups;
}

// The doll as the page draws it, into `told`: each cel of the
// configuration, in its order, with its object, palette, sets, size,
// offset and pixels (indices, or red, green, blue and alpha for 32 bits);
// each set's group, positions and whether it is used; each palette's name,
// bytes and colours group by group.
void PutDollParts(const plughost::DollSet& doll, val& told) {
  told.set("configuration", doll.configurationName);
  told.set("width", doll.cnf.width);
  told.set("height", doll.cnf.height);
  val palettes = val::array();
  for (size_t k = 0; k < doll.palettes.size(); ++k) {
    val palette = val::object();
    palette.set("name", doll.cnf.palettes[k]);
    palette.set("bytes", Bytes(doll.palettes[k]));
    palette.set("groups", GroupsOf(doll.palettes[k]));
    palettes.call<void>("push", palette);
  }
  told.set("palettes", palettes);
  val cels = val::array();
  for (size_t k = 0; k < doll.cels.size(); ++k) {
    const CnfCel& line = doll.cnf.cels[k];
    const Cel& cel = doll.cels[k];
    val c = val::object();
    c.set("file", line.file);
    c.set("object", line.object);
    c.set("palette", line.palette);
    c.set("sets", line.sets);
    c.set("bits", cel.bits);
    c.set("width", cel.width);
    c.set("height", cel.height);
    c.set("x", cel.xOffset);
    c.set("y", cel.yOffset);
    c.set("pixels", Bytes(cel.pixels));
    cels.call<void>("push", c);
  }
  told.set("cels", cels);
  val sets = val::array();
  for (int s = 0; s < kSetCount; ++s) {
    const CnfSet& set = doll.cnf.sets[size_t(s)];
    val one = val::object();
    one.set("used", doll.cnf.SetUsed(s));
    one.set("group", set.group);
    one.set("positions", Positions(set));
    sets.call<void>("push", one);
  }
  told.set("sets", sets);
}

}  // namespace

// {refusal, notes, form, history, groups, layers}: the palette `name` of
// `bytes` opened as an editor of layers opens it, a layer a group
// ({name, rows, columns, colours, pixels}: `colours` of the image's pixels
// are entries of the file, -1 when its header does not say), and its form;
// of a palette of several groups (`groups` of them) only the layers of
// groups `first` to `first + count - 1`, so that the page opens a big one
// in parts and stays answering between them.
val OpenPalette(const std::string& name, const val& bytes, int first, int count) {
  PutAlone(name, bytes);
  PageCaller caller;
  std::vector<plughost::OpenedPalette> opened;
  std::string form;
  plughost::LayerPart part{first, count};
  const int status = plughost::OpenLayers(caller, name, "", &opened, &form, &part);
  val told = Told(caller);
  if (status != plughost::kExitSuccess) return told;
  told.set("form", form);
  told.set("groups", part.groups);
  // The module attaches the same note to every layer.
  if (!opened.empty()) told.set("history", plughost::HistoryNote(*opened.front().host));
  told.set("layers", Layers(opened));
  return told;
}

// {refusal, notes, done, file, name}: the palette `name` of `bytes`, its
// layers edited as `layers`, saved in `format`: "kcf" the palette in its
// own form (as save --into, or GIMP's export), "kcf24" layer `layer` as a
// new 24-bit palette, or the extension of a format of the table that open
// writes ("gpl", "png": a swatch) of layer `layer` of the edited palette,
// as plughost open writes them. `file` is where it was
// written, `name` the name to give it.
val SavePalette(const std::string& name, const val& bytes, const std::string& format, int layer,
                const val& layers) {
  plughost::EditedSaveRequest request;
  request.palette = name;
  request.layers = NamedLayers(layers);
  request.shown = layer;
  request.format = plughost::FormatFromPath("palette." + format);
  request.as = format == "kcf24"                                    ? plughost::EditedAs::kNew24Bit
               : request.format != plughost::ImageFormat::kUnknown ? plughost::EditedAs::kWritten
                                                                    : plughost::EditedAs::kPalette;
  request.swatch = AsSwatch(request.format);
  PutAlone(name, bytes);
  PageCaller caller;
  const plughost::Report report = plughost::SaveEdited(caller, request);
  val told = Told(caller);
  if (report.status == plughost::kExitSuccess) {
    told.set("file", std::string(kFolder) + "/" + report.written);
    told.set("name", report.written);
  }
  return told;
}

// {refusal, notes, bytes}: the colours of the file `source` of
// `sourceBytes` (an image, a PNG swatch, a palette text) put into layer
// `layer` of the palette `name` of `bytes`, its layers edited as `layers`,
// as `plughost save SOURCE --into NAME --group N` puts them into the
// palette as the page holds it; `bytes` what the palette then holds.
val PutColours(const std::string& name, const val& bytes, const val& layers, int layer,
               const std::string& source, const val& sourceBytes) {
  plughost::BringInRequest request;
  request.palette = name;
  request.layers = NamedLayers(layers);
  request.group = request.layers.size() > 1 && layer >= 0 ? layer : plughost::kNoGroup;
  request.source = source;
  PutAlone(name, bytes);
  Put(source, sourceBytes);
  PageCaller caller;
  const plughost::Report report = plughost::BringColoursIn(caller, request);
  val told = Told(caller);
  plughost::InputFile file;
  std::vector<uint8_t> palette;
  std::string error;
  if (report.status == plughost::kExitSuccess && file.Open(name, &error) && file.ReadAll(&palette, &error))
    told.set("bytes", Bytes(palette));
  return told;
}

// What a conversion wrote, as one zip archive in the working folder: its
// name, or "" after the caller was told why there is none.
std::string ZipConverted(plughost::Caller& caller, const std::string& name) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
  for (const std::string& made : FilesIn(kConverted)) {
    plughost::InputFile file;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!file.Open(std::string(kConverted) + "/" + made, &error) || !file.ReadAll(&bytes, &error))
      return caller.Refused(error), "";
    entries.emplace_back(made, std::move(bytes));
  }
  std::vector<uint8_t> archive;
  std::string error;
  if (entries.empty()) return "";
  if (!ZipArchive(entries, &archive)) error = name + ": the zip archive could not be written";
  if (error.empty()) plughost::WriteFileAtomically(name, archive, &error);
  if (!error.empty()) return caller.Refused(error), "";
  return name;
}

// What the page takes for palettes: the extension palettes have.
std::string PaletteExtension() { return kPaletteExtension; }

// A palette of ten black groups, for the page to open as it loads.
val WarmUpPalette() {
  const std::vector<uint8_t> palette = BlackPalette(16, 10);
  return Bytes(palette);
}

// A set of one cel of each form in one palette, packed into an LHA archive
// as members stored whole (level-0 headers), for the page to open as it
// loads: the set readers' code is then compiled before a user's first set.
val WarmUpSet() {
  const std::string cnf = "%warm-up.kcf\r\n(4,2)\r\n#0 marked.cel\r\n#1 unmarked.cel\r\n$0 0,0 2,0\r\n";
  std::vector<uint8_t> marked = {'K', 'i', 'S', 'S', kCelMark, 8, 0, 0, 2, 0, 2, 0};
  marked.resize(kCelHeaderSize);
  marked.insert(marked.end(), {1, 2, 3, 0});
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> members = {
      {"warm-up.cnf", std::vector<uint8_t>(cnf.begin(), cnf.end())},
      {"warm-up.kcf", BlackPalette(16, 10)},
      {"marked.cel", marked},
      {"unmarked.cel", {2, 0, 2, 0, 0x12, 0x30}}};
  std::vector<uint8_t> archive;
  const auto put32 = [](std::vector<uint8_t>* to, size_t v) {
    for (int k = 0; k < 4; ++k) to->push_back(uint8_t(v >> (8 * k)));
  };
  for (const auto& [name, bytes] : members) {
    const std::string method = "-lh0-";
    std::vector<uint8_t> head(method.begin(), method.end());
    put32(&head, bytes.size());  // packed
    put32(&head, bytes.size());  // unpacked
    put32(&head, 0x00210000);    // 1 January 1980
    head.insert(head.end(), {0x20, 0, uint8_t(name.size())});  // attribute, level 0
    head.insert(head.end(), name.begin(), name.end());
    const uint16_t crc = plughost::LhaCrc16(bytes.data(), bytes.size());
    head.insert(head.end(), {uint8_t(crc & 0xFF), uint8_t(crc >> 8)});
    uint8_t sum = 0;
    for (uint8_t b : head) sum = uint8_t(sum + b);
    archive.insert(archive.end(), {uint8_t(head.size()), sum});
    archive.insert(archive.end(), head.begin(), head.end());
    archive.insert(archive.end(), bytes.begin(), bytes.end());
  }
  archive.push_back(0);
  return Bytes(archive);
}

// What the page offers to write a palette as, from the table of formats:
// each an object {extension, name, swatch} ("png", "a PNG image", true).
val WrittenFormats() {
  val formats = val::array();
  for (const plughost::Format& f : plughost::Formats()) {
    if (f.encode == nullptr || f.option == nullptr) continue;
    val format = val::object();
    format.set("extension", f.extensions.front());
    format.set("name", std::string(f.name));
    format.set("swatch", AsSwatch(f.id) > 0);
    formats.call<void>("push", format);
  }
  return formats;
}

// {refusal, notes, done, failed, files, file, name, palettes}: every group
// of each palette (`names`, `contents`) written as `extension` (an image as
// a swatch of 16-pixel tiles), as `plughost open FILES --group all --out-dir
// DIR` writes them, in one batch; `files` of them were written, packed into
// the zip archive `file`, to be downloaded as `name`; `failed` palettes
// could not be converted. `palettes` has a {name, files, refusal} for each
// palette the batch ran: how many files its plan wrote of it once they
// were all placed, or its first refusal.
val ConvertPalettes(const val& names, const val& contents, const std::string& extension) {
  Clear();
  plughost::OpenRequest request;
  const auto count = names["length"].as<unsigned>();
  for (unsigned i = 0; i < count; ++i) {
    request.inputs.push_back(ApartIfNamedBefore(names[i].as<std::string>(), request.inputs));
    Put(request.inputs.back(), contents[i]);
  }
  request.outDir = kConverted;
  request.format = plughost::FormatFromPath("palette." + extension);
  request.swatch = AsSwatch(request.format);
  request.group = plughost::kAllGroups;
  PageCaller caller;
  const plughost::Report report = plughost::OpenPalettes(caller, request);
  if (!report.clash.empty()) caller.Refused(report.clash);
  const std::string zip = ZipConverted(caller, "palettes-" + extension + ".zip");
  val told = Told(caller);
  size_t failed = 0;
  val palettes = val::array();
  for (const plughost::FileOutcome& ran : report.tally.ran) {
    if (ran.outcome == plughost::Outcome::kNotBegun) continue;
    failed += ran.outcome == plughost::Outcome::kRefused;
    unsigned placed = 0;
    for (const plughost::OutputOutcome& output : report.tally.outputs)
      placed += output.placed && output.input == ran.file;
    val palette = val::object();
    palette.set("name", ran.file);
    palette.set("refusal", ran.refusal);
    palette.set("files", placed);
    palettes.call<void>("push", palette);
  }
  told.set("failed", unsigned(failed));
  told.set("files", unsigned(report.tally.placed));
  told.set("palettes", palettes);
  if (!zip.empty()) {
    told.set("file", std::string(kFolder) + "/" + zip);
    told.set("name", zip);
  }
  return told;
}


// The set a call of UnpackFiles left for ReadSet.
plughost::SetFiles& Unpacked() {
  static plughost::SetFiles files;
  return files;
}

// {refusal, notes}: the first step of opening the KiSS set `which` (an
// .lzh, or a .cnf among the files) of the files `names` holding `contents`
// put together in the working folder: an archive unpacked, kept for
// ReadSet, which the page calls next (at once for a configuration, which
// is read from the working folder).
val UnpackFiles(const val& names, const val& contents, const std::string& which) {
  Clear();
  const auto count = names["length"].as<unsigned>();
  for (unsigned i = 0; i < count; ++i) Put(names[i].as<std::string>(), contents[i]);
  PageCaller caller;
  plughost::UnpackSet(caller, which, &Unpacked());
  return Told(caller);
}

// {refusal, notes, configuration, width, height, palettes, cels, sets}:
// the set UnpackFiles began opened whole, as plughost opens a set; the
// doll's parts (PutDollParts) for the page to draw in the colours its
// palettes hold as they change.
val ReadSet() {
  PageCaller caller;
  plughost::DollSet doll;
  const int status = plughost::ViewSet(caller, Unpacked(), &doll);
  Unpacked() = plughost::SetFiles{};
  val told = Told(caller);
  if (status == plughost::kExitSuccess) PutDollParts(doll, told);
  return told;
}

// What the page takes for sets: the extensions of an archive, a
// configuration and a cel.
val SetExtensions() {
  val extensions = val::object();
  extensions.set("archive", std::string(plughost::kArchiveExtension));
  extensions.set("configuration", std::string(plughost::kConfigurationExtension));
  extensions.set("cel", std::string(plughost::kCelExtension));
  return extensions;
}

}  // namespace web

EMSCRIPTEN_BINDINGS(zentrow_page) {
  emscripten::function("unpackSet", &web::UnpackFiles);
  emscripten::function("readSet", &web::ReadSet);
  emscripten::function("setExtensions", &web::SetExtensions);
  emscripten::function("warmUpSet", &web::WarmUpSet);
  emscripten::function("openPalette", &web::OpenPalette);
  emscripten::function("savePalette", &web::SavePalette);
  emscripten::function("putColours", &web::PutColours);
  emscripten::function("convertPalettes", &web::ConvertPalettes);
  emscripten::function("writtenFormats", &web::WrittenFormats);
  emscripten::function("paletteExtension", &web::PaletteExtension);
  emscripten::function("warmUpPalette", &web::WarmUpPalette);
}
