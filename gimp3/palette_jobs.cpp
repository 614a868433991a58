// Open and export, each one call of the use-case layer through the caller
// GIMP 2.10's plug-in uses too (gimp/module_host.cpp): the module loaded
// beside the plug-in or from the package, GIMP's progress bar, notes as
// GIMP messages, the first refusal kept.
#include "gimp3/palette_jobs.h"

#include "gimp/file_kcf.h"
#include "plughost/usecases/open_palette.h"
#include "plughost/usecases/save_palette.h"

namespace file_kcf3 {

namespace {

plughost::SaveImage AsSaved(const PaletteLayer& layer) {
  plughost::SaveImage image;
  image.top = layer.pixels;
  image.rows = layer.rows;
  image.columns = layer.columns;
  return image;
}

}  // namespace

bool OpenPalette(const std::string& file, OpenedPalette* opened, std::string* refusal) {
  file_kcf::GimpCaller caller;
  std::vector<plughost::OpenedPalette> layers;
  // A group's view is a file of the plug-in's own, in the temporary folder:
  // the palette's folder may not be the user's to write.
  if (!caller.Load() ||
      plughost::OpenLayers(caller, file, std::string(g_get_tmp_dir()) + "/", &layers) !=
          plughost::kExitSuccess) {
    *refusal = caller.refusal();
    return false;
  }
  for (const plughost::OpenedPalette& layer : layers) {
    const plughost::Image& document = layer.host->document();
    opened->layers.push_back({layer.layer, document, document.rows, document.columns});
  }
  opened->note = plughost::HistoryNote(*layers.front().host);
  return true;
}

bool ExportPalette(const std::string& file, const PaletteLayer& flat,
                   const std::vector<PaletteLayer>& layers, const std::string& origin,
                   std::string* refusal) {
  std::vector<plughost::NamedLayer> named;
  for (const PaletteLayer& layer : layers) named.push_back({layer.name, AsSaved(layer)});
  file_kcf::GimpCaller caller;
  const bool saved = caller.Load() && plughost::ExportPalette(caller, file, AsSaved(flat), named, origin) ==
                                          plughost::kExitSuccess;
  if (!saved) *refusal = caller.refusal();
  return saved;
}

}  // namespace file_kcf3
