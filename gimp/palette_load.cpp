// file-kcf-load: a palette read through the module becomes a GIMP image,
// one RGB pixel per colour, with the module's history note as its comment.
// A palette of several groups opens with a layer per group, each read by
// the module from the group's one-group view, as `plughost open --group N`
// reads it; group 0 is the top layer.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include "gimp/file_kcf.h"
#include "interface/result_codes.h"
#include "plughost/images/palette_groups.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/files/scratch_file.h"
#include "plughost/images/palette_notes.h"

namespace file_kcf {

namespace {

// The file as the plug-in reads it itself: its first bytes, for notes and
// refusals, and its groups.
struct Palette {
  std::string name;
  plughost::InputFile file;
  std::vector<uint8_t> head;
  plughost::PaletteForm form;
  bool grouped = false;
};

// What the module opened: the whole file or one group, and the layer's name.
struct Opened {
  std::string layer;
  std::unique_ptr<plughost::Host> host;
};

bool ReadPalette(const std::string& filename, Palette* palette, std::string* refusal) {
  palette->name = filename;
  if (!palette->file.Open(filename, refusal)) return false;
  palette->head = palette->file.Head(plughost::kNoteBytes);
  std::string why;
  palette->grouped =
      plughost::ReadPaletteForm(palette->head, &palette->form, &why) && palette->form.groups > 1;
  return true;
}

// The module's reading from `ref`; a refusal names `what` and the result
// in plughost's words, then what `explain` finds in the file's bytes.
bool RunModule(const plughost::LoadedModule& module, int32_t ref, const std::string& what,
               const std::function<std::string(int16_t)>& explain, Opened* opened,
               std::string* refusal) {
  opened->host = std::make_unique<plughost::Host>(module.entry());
  FollowProgress(*opened->host, "Opening " + what);
  const int16_t result = opened->host->Open(ref);
  TellViolations(*opened->host, what);
  const int planes = opened->host->document().planes;
  if (result == kNoError && planes == 3) return true;
  const std::string why = result != kNoError ? explain(result) : "";
  *refusal = what + ": " +
             (result != kNoError ? ResultText(result)
                                 : "the module gave an image of " + std::to_string(planes) +
                                       " channels, not RGB") +
             (why.empty() ? "" : "; " + why);
  return false;
}

bool OpenWhole(const plughost::LoadedModule& module, const Palette& palette,
               std::vector<Opened>* layers, std::string* refusal) {
  Opened opened{"palette", nullptr};
  const auto explain = [&](int16_t result) {
    return plughost::ExplainRefusal(palette.head, result);
  };
  if (!RunModule(module, palette.file.ref(), palette.name, explain, &opened, refusal))
    return false;
  layers->push_back(std::move(opened));
  return true;
}

// The group's bytes as the file holds them, fewer where it is cut short.
bool ReadGroup(const Palette& palette, int group, std::vector<uint8_t>* colours) {
  const uint64_t at = palette.form.GroupAt(group), size = palette.file.size();
  const uint64_t held = size > at ? std::min(palette.form.GroupSize(), size - at) : 0;
  colours->resize(size_t(held));
  return palette.file.ReadAt(at, colours->data(), colours->size()) == int64_t(held);
}

bool OpenGroup(const plughost::LoadedModule& module, const Palette& palette, int group,
               std::vector<Opened>* layers, std::string* refusal) {
  const std::string what = palette.name + " group " + std::to_string(group);
  std::vector<uint8_t> colours;
  if (!ReadGroup(palette, group, &colours)) {
    *refusal = palette.name + ": " + plughost::ReasonText(plughost::LastSystemError());
    return false;
  }
  // The view is a file of the plug-in's own, in the temporary folder: the
  // palette's folder may not be the user's to write.
  plughost::ScratchFile view;
  const std::string beside = std::string(g_get_tmp_dir()) + "/" + plughost::NameOf(palette.name);
  if (!view.Begin(beside, refusal) ||
      !view.Write(plughost::GroupView(palette.form, palette.head, colours), refusal))
    return false;
  Opened opened{"group " + std::to_string(group), nullptr};
  const auto explain = [&](int16_t result) {
    return plughost::ExplainGroupRefusal(palette.form, group, palette.file.size(), result);
  };
  if (!RunModule(module, view.ref(), what, explain, &opened, refusal)) return false;
  layers->push_back(std::move(opened));
  return true;
}

// Every group that opens; a group that does not is told and left out, and
// the load fails only when none opens.
bool OpenGroups(const plughost::LoadedModule& module, const Palette& palette,
                std::vector<Opened>* layers, std::string* refusal) {
  std::string first;
  for (int group = 0; group < palette.form.groups; ++group) {
    std::string refused;
    if (OpenGroup(module, palette, group, layers, &refused)) continue;
    if (first.empty()) first = refused;
    Tell(refused);
  }
  if (!layers->empty()) return true;
  *refusal = first;
  return false;
}

void SetPixels(gint32 layer, const plughost::Image& document) {
  GeglBuffer* buffer = gimp_drawable_get_buffer(layer);
  const GeglRectangle all = {0, 0, document.columns, document.rows};
  gegl_buffer_set(buffer, &all, 0, babl_format("R'G'B' u8"), document.pixels.data(),
                  GEGL_AUTO_ROWSTRIDE);
  g_object_unref(buffer);
}

// The module's history note ("hist" resource), kept with the image so that
// GIMP shows it as the image's comment and formats that keep comments save it.
void KeepHistoryNote(gint32 image, const plughost::Host& host) {
  for (const plughost::Resource& r : host.resources()) {
    if (r.type != MakeFourCharCode("hist")) continue;
    const std::string note(r.bytes.begin(), r.bytes.end());
    gchar* text = g_utf8_make_valid(note.c_str(), -1);
    GimpParasite* comment = gimp_parasite_new("gimp-comment", GIMP_PARASITE_PERSISTENT,
                                              guint32(std::strlen(text) + 1), text);
    gimp_image_attach_parasite(image, comment);
    gimp_parasite_free(comment);
    g_free(text);
  }
}

gint32 MakeImage(const std::string& filename, const std::vector<Opened>& layers) {
  int columns = 0, rows = 0;
  for (const Opened& o : layers) {
    columns = std::max(columns, o.host->document().columns);
    rows = std::max(rows, o.host->document().rows);
  }
  const gint32 image = gimp_image_new(columns, rows, GIMP_RGB);
  gimp_image_set_filename(image, filename.c_str());
  gint32 top = -1;
  for (size_t i = 0; i < layers.size(); ++i) {
    const plughost::Image& document = layers[i].host->document();
    const gint32 layer = gimp_layer_new(image, layers[i].layer.c_str(), document.columns,
                                        document.rows, GIMP_RGB_IMAGE, 100.0,
                                        GIMP_LAYER_MODE_NORMAL);
    gimp_image_insert_layer(image, layer, 0, gint(i));
    SetPixels(layer, document);
    if (top == -1) top = layer;
  }
  // The layer the user sees, group 0, is the one the tools act on.
  gimp_image_set_active_layer(image, top);
  KeepHistoryNote(image, *layers.front().host);
  return image;
}

// What plughost notes of a palette that opened; a palette read group by
// group is noted as if read whole, since that is what its groups cover.
void TellNote(const Palette& palette) {
  const plughost::PaletteForm& form = palette.form;
  const uint64_t read = palette.grouped ? form.colorsAt + uint64_t(form.groups) * form.GroupSize()
                                        : palette.file.Position();
  const std::string note =
      plughost::OpenedNote(palette.head, palette.file.size(), std::min(read, palette.file.size()));
  if (!note.empty()) Tell(palette.name + ": " + note);
}

}  // namespace

gint32 LoadPalette(const std::string& filename, std::string* refusal) {
  plughost::LoadedModule module;
  Palette palette;
  std::vector<Opened> layers;
  if (!LoadModule(&module, refusal) || !ReadPalette(filename, &palette, refusal)) return -1;
  const bool opened = palette.grouped ? OpenGroups(module, palette, &layers, refusal)
                                      : OpenWhole(module, palette, &layers, refusal);
  if (!opened) return -1;
  TellNote(palette);
  return MakeImage(filename, layers);
}

}  // namespace file_kcf
