// file-kcf-load: a palette opened by the open use case becomes a GIMP
// image, one RGB pixel per colour, with the module's history note as its
// comment: the whole palette as one layer "palette", or, for a palette of
// several groups, a layer "group N" for each group, group 0 on top.
#include <algorithm>
#include <cstring>

#include "gimp/file_kcf.h"
#include "gimp/palette_origin.h"
#include "plughost/usecases/open_palette.h"

namespace file_kcf {

namespace {

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
  const std::string note = plughost::HistoryNote(host);
  if (note.empty()) return;
  gchar* text = g_utf8_make_valid(note.c_str(), -1);
  GimpParasite* comment = gimp_parasite_new("gimp-comment", GIMP_PARASITE_PERSISTENT,
                                            guint32(std::strlen(text) + 1), text);
  gimp_image_attach_parasite(image, comment);
  gimp_parasite_free(comment);
  g_free(text);
}

gint32 MakeImage(const std::string& filename, const std::vector<plughost::OpenedPalette>& layers) {
  int columns = 0, rows = 0;
  for (const plughost::OpenedPalette& o : layers) {
    columns = std::max(columns, o.host->document().columns);
    rows = std::max(rows, o.host->document().rows);
  }
  const gint32 image = gimp_image_new(columns, rows, GIMP_RGB);
  // A new image needs no undo steps, and each would cost time for each layer.
  gimp_image_undo_disable(image);
  gimp_image_set_filename(image, filename.c_str());
  gint32 top = -1;
  for (size_t i = 0; i < layers.size(); ++i) {
    const plughost::Image& document = layers[i].host->document();
    const gint32 layer = gimp_layer_new(image, layers[i].layer.c_str(), document.columns,
                                        document.rows, GIMP_RGB_IMAGE, 100.0,
                                        GIMP_LAYER_MODE_NORMAL);
    // Each below the one before: group 0 stays on top.
    gimp_image_insert_layer(image, layer, 0, gint(i));
    SetPixels(layer, document);
    if (top == -1) top = layer;
  }
  // The layer the user sees, group 0, is the one the tools act on.
  gimp_image_set_active_layer(image, top);
  KeepHistoryNote(image, *layers.front().host);
  GimpParasite* origin = gimp_parasite_new(kOriginParasite, 0, guint32(filename.size() + 1), filename.c_str());
  gimp_image_attach_parasite(image, origin);
  gimp_parasite_free(origin);
  gimp_image_undo_enable(image);
  return image;
}

}  // namespace

gint32 LoadPalette(const std::string& filename, std::string* refusal) {
  GimpCaller caller;
  std::vector<plughost::OpenedPalette> layers;
  // A group's view is a file of the plug-in's own, in the temporary folder:
  // the palette's folder may not be the user's to write.
  if (!caller.Load() ||
      plughost::OpenLayers(caller, filename, std::string(g_get_tmp_dir()) + "/", &layers) !=
          plughost::kExitSuccess) {
    *refusal = caller.refusal();
    return -1;
  }
  return MakeImage(filename, layers);
}

}  // namespace file_kcf
