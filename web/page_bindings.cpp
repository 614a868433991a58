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
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "kiss/palette_bytes.h"
#include "plughost/files/atomic_file.h"
#include "plughost/files/input_file.h"
#include "plughost/system/system.h"
#include "plughost/usecases/batch.h"
#include "plughost/usecases/open_palette.h"
#include "plughost/usecases/save_palette.h"
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
// folder a conversion wrote and its files too, through the files gate as
// every file the host touches.
void Clear() {
  static const bool entered = [] {
    int failure = 0;
    plughost::sys::MakeFolders(kFolder, &failure);
    fs::current_path(kFolder);
    return true;
  }();
  (void)entered;
  for (const std::string& file : FilesIn("")) {
    if (file != kConverted) {
      plughost::sys::Remove(file);
      continue;
    }
    for (const std::string& made : FilesIn(kConverted))
      plughost::sys::Remove(std::string(kConverted) + "/" + made);
    plughost::sys::RemoveFolder(kConverted);
  }
}

// `name` holding `bytes` in the working folder; a failure shows as the
// refusal of what the call does with it.
void Put(const std::string& name, const val& bytes) {
  const std::vector<uint8_t> file = emscripten::convertJSArrayToNumberVector<uint8_t>(bytes);
  std::string error;
  plughost::WriteFileAtomically(name, file, &error);
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

// The page's caller for a batch, which also keeps the first refusal of
// each file apart, in the order the batch runs them, for a line a palette;
// what is refused after the last file is the batch's.
class BatchCaller : public PageCaller {
 public:
  void FileStarts() override {
    refusals_.emplace_back();
    running_ = true;
  }
  void FileEnds(size_t /*done*/) override { running_ = false; }
  void Refused(const std::string& sentence) override {
    PageCaller::Refused(sentence);
    if (running_ && refusals_.back().empty()) refusals_.back() = sentence;
  }
  // Of file `i`; "" for one that ran without one, or did not run.
  std::string RefusalOf(size_t i) const { return i < refusals_.size() ? refusals_[i] : ""; }
  size_t ran() const { return refusals_.size(); }

 private:
  std::vector<std::string> refusals_;
  bool running_ = false;
};

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
  const std::vector<plughost::NamedLayer> named = NamedLayers(layers);
  PutAlone(name, bytes);
  PageCaller caller;
  const size_t shown = layer >= 0 && size_t(layer) < named.size() ? size_t(layer) : 0;
  const int group = named.size() > 1 ? int(shown) : plughost::kNoGroup;
  const std::string label = "Saving " + name;
  // Named as plughost names what it writes of a group: NAME-N.EXT.
  const auto output = [&](const std::string& path) {
    return group == plughost::kNoGroup ? path : plughost::GroupOutput(path, group);
  };
  std::string out = name;
  int status = plughost::kExitUsage;
  if (format == "kcf24") {
    out = output(plughost::StemOf(name) + "-24bit." + kPaletteExtension);
    status = plughost::SaveNewPalette(caller, name, named[shown].image, out, false, label);
  } else if (!named.empty()) {
    status = plughost::ExportPalette(caller, name, named[shown].image, named);
  }
  const plughost::ImageFormat written = plughost::FormatFromPath("palette." + format);
  if (written != plughost::ImageFormat::kUnknown && status == plughost::kExitSuccess) {
    plughost::OpenRequest request;
    request.inputs = {name};
    request.format = written;
    request.swatch = AsSwatch(written);
    out = output(plughost::StemOf(name) + "." + format);
    status = plughost::OpenToFile(caller, request, name, group, out, label);
  }
  val told = Told(caller);
  if (status == plughost::kExitSuccess) {
    told.set("file", std::string(kFolder) + "/" + out);
    told.set("name", out);
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
  const std::vector<plughost::NamedLayer> named = NamedLayers(layers);
  PutAlone(name, bytes);
  Put(source, sourceBytes);
  // The page's own changes first, said only when they cannot be made.
  PageCaller edits;
  if (!named.empty()) plughost::ExportPalette(edits, name, named.front().image, named);
  PageCaller caller;
  if (!edits.refusal().empty()) caller.Refused(edits.refusal());
  plughost::SaveRequest request;
  request.images = {source};
  request.into = name;
  request.group = named.size() > 1 && layer >= 0 ? layer : plughost::kNoGroup;
  int status = plughost::kExitUsage;
  if (edits.refusal().empty() && plughost::CheckRequest(request) == plughost::RequestFault::kNone)
    status = plughost::SaveToFile(caller, request, source, "Saving " + source + " into " + name);
  val told = Told(caller);
  plughost::InputFile file;
  std::vector<uint8_t> palette;
  std::string error;
  if (status == plughost::kExitSuccess && file.Open(name, &error) && file.ReadAll(&palette, &error))
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
    request.inputs.push_back(names[i].as<std::string>());
    Put(request.inputs.back(), contents[i]);
  }
  request.outDir = kConverted;
  request.format = plughost::FormatFromPath("palette." + extension);
  request.swatch = AsSwatch(request.format);
  request.group = plughost::kAllGroups;
  BatchCaller caller;
  plughost::BatchTally tally;
  plughost::OpenPlan plan;
  // The page asks only for what the table's rows write.
  std::string wrong;
  if (plughost::CheckRequest(&request) == plughost::RequestFault::kNone) {
    plan = plughost::PlanOpen(request);
    plughost::Batch batch(caller);
    if (batch.Plan({plan.inputs, plan.outputs, kConverted, "", "", {}}, &wrong) == plughost::kExitSuccess)
      tally = batch.Run(request.inputs, [&](plughost::Caller& c, const std::string& file,
                                            const std::string& label) {
        return plughost::OpenPlanned(c, request, plan, file, label);
      });
  }
  if (!wrong.empty()) caller.Refused(wrong);
  const std::string zip = ZipConverted(caller, "palettes-" + extension + ".zip");
  val told = Told(caller);
  told.set("failed", unsigned(tally.failed));
  told.set("files", unsigned(tally.placed));
  val palettes = val::array();
  for (size_t i = 0; i < caller.ran() && i < request.inputs.size(); ++i) {
    const std::string& input = request.inputs[i];
    val palette = val::object();
    palette.set("name", input);
    palette.set("refusal", caller.RefusalOf(i));
    const bool placed = caller.RefusalOf(i).empty() && tally.placed > 0 && plan.jobs.count(input) > 0;
    palette.set("files", placed ? unsigned(plan.jobs.at(input).size()) : 0u);
    palettes.call<void>("push", palette);
  }
  told.set("palettes", palettes);
  if (!zip.empty()) {
    told.set("file", std::string(kFolder) + "/" + zip);
    told.set("name", zip);
  }
  return told;
}

}  // namespace web

EMSCRIPTEN_BINDINGS(zentrow_page) {
  emscripten::function("openPalette", &web::OpenPalette);
  emscripten::function("savePalette", &web::SavePalette);
  emscripten::function("putColours", &web::PutColours);
  emscripten::function("convertPalettes", &web::ConvertPalettes);
  emscripten::function("writtenFormats", &web::WrittenFormats);
  emscripten::function("paletteExtension", &web::PaletteExtension);
  emscripten::function("warmUpPalette", &web::WarmUpPalette);
}
