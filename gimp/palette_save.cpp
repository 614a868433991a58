// file-kcf-save: the top-left 16 x 16 pixels of a drawable written as a
// palette by the module, through a new file that replaces the target only
// when every selector answered 0.
#include <algorithm>

#include "gimp/file_kcf.h"
#include "interface/result_codes.h"
#include "plughost/files/atomic_file.h"

namespace file_kcf {

namespace {

// The pixels the palette takes, as the drawable stores them: its own colour
// space and no alpha, so the module sees the values a PNG export would keep.
plughost::Image TopLeftPixels(gint32 drawable) {
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
  plughost::Image image = plughost::Image::Blank(rows, columns, 3);
  for (size_t i = 0, o = 0; o < image.pixels.size(); i += size_t(planes), o += 3)
    std::copy_n(stored.begin() + std::ptrdiff_t(i), 3, image.pixels.begin() + std::ptrdiff_t(o));
  return image;
}

// What of the drawable is not in the palette, or which entries stay black.
std::string CoverageNote(const std::string& filename, gint32 drawable) {
  const int columns = gimp_drawable_width(drawable), rows = gimp_drawable_height(drawable);
  const std::string size = std::to_string(columns) + " x " + std::to_string(rows);
  if (columns > kGrid || rows > kGrid)
    return filename + ": only the top-left 16 x 16 pixels of the " + size +
           " image are in the palette";
  if (columns < kGrid || rows < kGrid)
    return filename + ": the image is " + size + ", so " +
           std::to_string(kGrid * kGrid - columns * rows) + " of the 256 entries are black";
  return "";
}

bool WriteThroughModule(const std::string& filename, const plughost::LoadedModule& module,
                        const plughost::Image& image, std::string* refusal) {
  plughost::AtomicFile target;
  // GIMP has asked the user before replacing a file, so any file may be.
  if (!target.Begin(filename, plughost::Content::kAny, false, refusal)) return false;
  plughost::Host host(module.entry());
  FollowProgress(host, "Exporting " + filename);
  const int16_t result = host.Save(target.ref(), image);
  TellViolations(host, filename);
  if (result != kNoError) {
    *refusal = filename + ": " + ResultText(result) + "; nothing was written there";
    return false;
  }
  return target.Commit(refusal);
}

}  // namespace

bool SavePalette(const std::string& filename, gint32 drawable, std::string* refusal) {
  if (gimp_drawable_is_rgb(drawable) == FALSE) {
    *refusal = filename + ": a KiSS palette is saved from an RGB image; this one is " +
               (gimp_drawable_is_gray(drawable) != FALSE ? "grayscale" : "indexed");
    return false;
  }
  plughost::LoadedModule module;
  if (!LoadModule(&module, refusal) ||
      !WriteThroughModule(filename, module, TopLeftPixels(drawable), refusal))
    return false;
  const std::string note = CoverageNote(filename, drawable);
  if (!note.empty()) Tell(note);
  return true;
}

}  // namespace file_kcf
