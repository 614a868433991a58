// The page's door to the use-case layer, through embind: a palette opened
// as plughost and GIMP open it, and an edited one saved as they save it.
// The page keeps each palette's bytes; a call puts the one it is about, under
// the name the user gave it, alone in the folder the program works in, in
// emscripten's in-memory file system, so that what is said names the file
// as the user knows it. These functions translate between JavaScript values
// and the layer's requests; they decide nothing about files or palettes.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plughost/files/atomic_file.h"
#include "plughost/files/system.h"
#include "plughost/usecases/open_palette.h"
#include "plughost/usecases/save_palette.h"
#include "web/page_caller.h"

namespace web {

namespace {

using emscripten::val;
namespace fs = std::filesystem;

// The program's one working folder, where each call finds its palette and
// leaves what it writes. It stays the current folder for good: the files
// gate remembers what a folder's name stood for when first asked.
constexpr const char* kFolder = "/palette";
// A call leaves a palette and what it wrote of it: a few files.
constexpr size_t kMostLeft = 64;

// `name` holding `bytes`, alone in the working folder: what an earlier call
// left there is removed, and the palette written, through the files gate as
// every file the host touches.
void PutAlone(const std::string& name, const val& bytes) {
  static const bool entered = [] {
    int failure = 0;
    plughost::sys::MakeFolders(kFolder, &failure);
    fs::current_path(kFolder);
    return true;
  }();
  (void)entered;
  std::vector<std::string> left;
  plughost::sys::ListFolder("", kMostLeft, &left);
  for (const std::string& file : left) plughost::sys::Remove(file);
  const std::vector<uint8_t> file = emscripten::convertJSArrayToNumberVector<uint8_t>(bytes);
  std::string error;
  plughost::WriteFileAtomically(name, file, &error);  // a failure shows as the open's refusal
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

// The module's history note ("hist"), the same for every layer.
std::string HistoryNote(const plughost::Host& host) {
  for (const plughost::Resource& r : host.resources())
    if (r.type == MakeFourCharCode("hist")) return std::string(r.bytes.begin(), r.bytes.end());
  return "";
}

val Layers(const std::vector<plughost::OpenedPalette>& opened) {
  val layers = val::array();
  for (const plughost::OpenedPalette& o : opened) {
    const plughost::Image& document = o.host->document();
    val layer = val::object();
    layer.set("name", o.layer);
    layer.set("rows", document.rows);
    layer.set("columns", document.columns);
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

val Told(const PageCaller& caller) {
  val told = val::object();
  told.set("refusal", caller.refusal());
  told.set("notes", Strings(caller.notes()));
  told.set("done", Strings(caller.done()));
  return told;
}

}  // namespace

// {refusal, notes, form, history, layers}: the palette `name` of `bytes`
// opened as an editor of layers opens it, a layer a group, and its form.
val OpenPalette(const std::string& name, const val& bytes) {
  PutAlone(name, bytes);
  PageCaller caller;
  std::vector<plughost::OpenedPalette> opened;
  std::string form;
  const int status = plughost::OpenLayers(caller, name, "", &opened, &form);
  val told = Told(caller);
  if (status != plughost::kExitSuccess) return told;
  told.set("form", form);
  told.set("history", HistoryNote(*opened.front().host));
  told.set("layers", Layers(opened));
  return told;
}

// {refusal, notes, done, file, name}: the palette `name` of `bytes`, its
// layers edited as `layers`, saved in `format`: "kcf" the palette in its
// own form (as save --into, or GIMP's export), "kcf24" layer `layer` as a
// new 24-bit palette, "gpl", "pal" or "png" (a swatch) layer `layer` of the
// edited palette, as plughost open writes them. `file` is where it was
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
    out = output(plughost::StemOf(name) + "-24bit.kcf");
    status = plughost::SaveNewPalette(caller, name, named[shown].image, out, false, label);
  } else if (!named.empty()) {
    status = plughost::ExportPalette(caller, name, named[shown].image, named);
  }
  const plughost::ImageFormat kinds[] = {plughost::ImageFormat::kGimpPalette,
                                         plughost::ImageFormat::kJascPalette,
                                         plughost::ImageFormat::kPng};
  const char* extensions[] = {"gpl", "pal", "png"};
  for (size_t k = 0; k < 3 && status == plughost::kExitSuccess; ++k) {
    if (format != extensions[k]) continue;
    plughost::OpenRequest request;
    request.inputs = {name};
    request.format = kinds[k];
    request.swatch = kinds[k] == plughost::ImageFormat::kPng ? 16 : 0;
    out = output(plughost::StemOf(name) + "." + extensions[k]);
    status = plughost::OpenToFile(caller, request, name, group, out, label);
  }
  val told = Told(caller);
  if (status == plughost::kExitSuccess) {
    told.set("file", std::string(kFolder) + "/" + out);
    told.set("name", out);
  }
  return told;
}

}  // namespace web

EMSCRIPTEN_BINDINGS(zentrow_page) {
  emscripten::function("openPalette", &web::OpenPalette);
  emscripten::function("savePalette", &web::SavePalette);
}
