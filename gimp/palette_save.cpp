// file-kcf-save: the image's pixels handed to the export use case, which
// writes a new palette or puts each layer back into its group of the
// palette the image was opened from, and replaces the file only when every
// selector answered 0.
#include <algorithm>

#include "gimp/file_kcf.h"
#include "gimp/palette_origin.h"
#include "plughost/usecases/save_palette.h"

namespace file_kcf {

namespace {

// A palette is at most 16 x 16 colours, one pixel each.
constexpr int kGrid = 16;

// The pixels a palette takes, as the drawable stores them: its own colour
// space and no alpha, so the module sees the values a PNG export would
// keep; with the drawable's whole size, for what is said of the rest.
plughost::SaveImage TopLeftPixels(gint32 drawable) {
  const int columns = std::min(gimp_drawable_width(drawable), kGrid);
  const int rows = std::min(gimp_drawable_height(drawable), kGrid);
  const bool alpha = gimp_drawable_has_alpha(drawable) != FALSE;
  const int planes = alpha ? 4 : 3;
  const Babl* format = babl_format_with_space(alpha ? "R'G'B'A u8" : "R'G'B' u8",
                                              gimp_drawable_get_format(drawable));
  std::vector<uint8_t> stored(size_t(rows) * size_t(columns) * size_t(planes));
  GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
  const GeglRectangle area = {0, 0, columns, rows};
  gegl_buffer_get(buffer, &area, 1.0, format, stored.data(), GEGL_AUTO_ROWSTRIDE,
                  GEGL_ABYSS_NONE);
  g_object_unref(buffer);
  plughost::SaveImage image;
  image.top = plughost::Image::Blank(rows, columns, 3);
  for (size_t i = 0, o = 0; o < image.top.pixels.size(); i += size_t(planes), o += 3)
    std::copy_n(stored.begin() + std::ptrdiff_t(i), 3, image.top.pixels.begin() + std::ptrdiff_t(o));
  image.rows = gimp_drawable_height(drawable);
  image.columns = gimp_drawable_width(drawable);
  return image;
}

// The image's layers by name, each as a palette takes it.
std::vector<plughost::NamedLayer> Layers(gint32 image) {
  gint count = 0;
  gint* ids = gimp_image_get_layers(image, &count);
  std::vector<plughost::NamedLayer> layers;
  for (gint i = 0; i < count; ++i) {
    gchar* name = gimp_item_get_name(ids[i]);
    layers.push_back({name != nullptr ? name : "", TopLeftPixels(ids[i])});
    g_free(name);
  }
  g_free(ids);
  return layers;
}

}  // namespace

bool SavePalette(const std::string& filename, gint32 image, gint32 drawable, std::string* refusal) {
  if (gimp_drawable_is_rgb(drawable) == FALSE) {
    *refusal = filename + ": a KiSS palette is saved from an RGB image; this one is " +
               (gimp_drawable_is_gray(drawable) != FALSE ? "grayscale" : "indexed");
    return false;
  }
  // The palette the image was opened from: exported under a name of its
  // own, the image is that palette with each layer put back.
  GimpParasite* kept = gimp_image_get_parasite(image, kOriginParasite);
  const std::string origin =
      kept != nullptr && gimp_parasite_data_size(kept) > 0
          ? std::string(static_cast<const char*>(gimp_parasite_data(kept)), size_t(gimp_parasite_data_size(kept) - 1))
          : "";
  if (kept != nullptr) gimp_parasite_free(kept);
  GimpCaller caller;
  const bool saved = caller.Load() && plughost::ExportPalette(caller, filename,
                                                              TopLeftPixels(drawable),
                                                              Layers(image), origin) == plughost::kExitSuccess;
  if (!saved) *refusal = caller.refusal();
  return saved;
}

}  // namespace file_kcf
