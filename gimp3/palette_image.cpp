#include "gimp3/palette_image.h"

#include <algorithm>
#include <cstring>

namespace file_kcf3 {

namespace {

// A palette is at most 16 x 16 colours, one pixel each.
constexpr int kGrid = 16;

void SetPixels(GimpLayer* layer, const plughost::Image& pixels) {
  GeglBuffer* buffer = gimp_drawable_get_buffer(GIMP_DRAWABLE(layer));
  const GeglRectangle all = {0, 0, pixels.columns, pixels.rows};
  gegl_buffer_set(buffer, &all, 0, babl_format("R'G'B' u8"), pixels.pixels.data(),
                  GEGL_AUTO_ROWSTRIDE);
  g_object_unref(buffer);
}

// The module's history note, kept with the image so that GIMP shows it as
// the image's comment and formats that keep comments export it.
void KeepHistoryNote(GimpImage* image, const std::string& note) {
  if (note.empty()) return;
  gchar* text = g_utf8_make_valid(note.c_str(), -1);
  GimpParasite* comment = gimp_parasite_new("gimp-comment", GIMP_PARASITE_PERSISTENT,
                                            guint32(std::strlen(text) + 1), text);
  gimp_image_attach_parasite(image, comment);
  gimp_parasite_free(comment);
  g_free(text);
}

}  // namespace

GimpImage* MakeImage(const OpenedPalette& opened) {
  int columns = 0, rows = 0;
  for (const PaletteLayer& layer : opened.layers) {
    columns = std::max(columns, layer.columns);
    rows = std::max(rows, layer.rows);
  }
  GimpImage* image = gimp_image_new(columns, rows, GIMP_RGB);
  // A new image needs no undo steps, and each would cost time for each layer.
  gimp_image_undo_disable(image);
  GimpLayer* top = nullptr;
  for (size_t i = 0; i < opened.layers.size(); ++i) {
    const PaletteLayer& source = opened.layers[i];
    GimpLayer* layer = gimp_layer_new(image, source.name.c_str(), source.columns, source.rows,
                                      GIMP_RGB_IMAGE, 100.0, GIMP_LAYER_MODE_NORMAL);
    // Each below the one before: group 0 stays on top.
    gimp_image_insert_layer(image, layer, nullptr, gint(i));
    SetPixels(layer, source.pixels);
    if (top == nullptr) top = layer;
  }
  const GimpLayer* selected[] = {top, nullptr};
  gimp_image_set_selected_layers(image, selected);
  KeepHistoryNote(image, opened.note);
  gimp_image_undo_enable(image);
  return image;
}

PaletteLayer TopLeftPixels(GimpDrawable* drawable) {
  PaletteLayer layer;
  gchar* name = gimp_item_get_name(GIMP_ITEM(drawable));
  layer.name = name != nullptr ? name : "";
  g_free(name);
  layer.rows = gimp_drawable_get_height(drawable);
  layer.columns = gimp_drawable_get_width(drawable);
  const int columns = std::min(layer.columns, kGrid), rows = std::min(layer.rows, kGrid);
  // Its own colour space, so the module sees the values a PNG export would
  // keep; read with alpha when it has one, which is then left out.
  const bool alpha = gimp_drawable_has_alpha(drawable) != FALSE;
  const size_t planes = alpha ? 4 : 3;
  const Babl* format = babl_format_with_space(alpha ? "R'G'B'A u8" : "R'G'B' u8",
                                              gimp_drawable_get_format(drawable));
  std::vector<uint8_t> stored(size_t(rows) * size_t(columns) * planes);
  GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
  const GeglRectangle area = {0, 0, columns, rows};
  gegl_buffer_get(buffer, &area, 1.0, format, stored.data(), GEGL_AUTO_ROWSTRIDE,
                  GEGL_ABYSS_NONE);
  g_object_unref(buffer);
  layer.pixels = plughost::Image::Blank(rows, columns, 3);
  for (size_t i = 0, o = 0; o < layer.pixels.pixels.size(); i += planes, o += 3)
    std::copy_n(stored.begin() + std::ptrdiff_t(i), 3,
                layer.pixels.pixels.begin() + std::ptrdiff_t(o));
  return layer;
}

std::vector<PaletteLayer> Layers(GimpImage* image) {
  std::vector<PaletteLayer> layers;
  GimpLayer** all = gimp_image_get_layers(image);
  for (GimpLayer** layer = all; layer != nullptr && *layer != nullptr; ++layer)
    layers.push_back(TopLeftPixels(GIMP_DRAWABLE(*layer)));
  g_free(all);
  return layers;
}

}  // namespace file_kcf3
