// file-kcf for GIMP 3: a GimpPlugIn with a load procedure and an export
// procedure for KiSS palettes, registered by extension and by the
// palette's first bytes. Each run turns GIMP's arguments into layers, makes
// one call of the use-case layer (palette_jobs.cpp) and hands GIMP the
// image, or the refusal as the procedure's error.
#include <string>

#include "gimp/palette_origin.h"
#include "gimp3/palette_image.h"
#include "kiss/palette_bytes.h"

namespace {

constexpr const char* kLoadProc = "file-kcf-load";
constexpr const char* kExportProc = "file-kcf-export";
constexpr const char* kFormat = "KiSS palette";
constexpr const char* kAuthors = "The Zentrow authors";

GimpValueArray* Fail(GimpProcedure* procedure, const std::string& refusal) {
  // GIMP shows it ("Opening ... failed: ..."), and a script gets it as the
  // call's error.
  gchar* valid = g_utf8_make_valid(refusal.c_str(), -1);
  GError* error = g_error_new_literal(G_FILE_ERROR, G_FILE_ERROR_FAILED, valid);
  g_free(valid);
  return gimp_procedure_new_return_values(procedure, GIMP_PDB_EXECUTION_ERROR, error);
}

std::string PathOf(GFile* file) {
  // GIMP copies a file that is not local before a procedure that does not
  // handle remote files sees it.
  const char* path = g_file_peek_path(file);
  return path != nullptr ? path : "";
}

GimpValueArray* RunLoad(GimpProcedure* procedure, GimpRunMode, GFile* file, GimpMetadata*,
                        GimpMetadataLoadFlags*, GimpProcedureConfig*, gpointer) {
  file_kcf3::OpenedPalette opened;
  std::string refusal;
  if (!file_kcf3::OpenPalette(PathOf(file), &opened, &refusal)) return Fail(procedure, refusal);
  GimpImage* image = file_kcf3::MakeImage(opened);
  const std::string path = PathOf(file);
  GimpParasite* origin = gimp_parasite_new(file_kcf::kOriginParasite, 0, guint32(path.size() + 1), path.c_str());
  gimp_image_attach_parasite(image, origin);
  gimp_parasite_free(origin);
  GimpValueArray* results = gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
  GIMP_VALUES_SET_IMAGE(results, 1, image);
  return results;
}

// The layers go back by their own names, so they are read from the image as
// it is; a new palette takes the image as GIMP exports it to a format of
// one layer (merged, in RGB), a copy deleted afterwards.
GimpValueArray* RunExport(GimpProcedure* procedure, GimpRunMode, GimpImage* image, GFile* file,
                          GimpExportOptions* options, GimpMetadata*, GimpProcedureConfig*,
                          gpointer) {
  const std::vector<file_kcf3::PaletteLayer> layers = file_kcf3::Layers(image);
  GimpImage* exported = image;
  const GimpExportReturn made = gimp_export_options_get_image(options, &exported);
  GimpLayer** flat = gimp_image_get_layers(exported);
  const file_kcf3::PaletteLayer top = flat != nullptr && flat[0] != nullptr
                                          ? file_kcf3::TopLeftPixels(GIMP_DRAWABLE(flat[0]))
                                          : file_kcf3::PaletteLayer{};
  g_free(flat);
  if (made == GIMP_EXPORT_EXPORT) gimp_image_delete(exported);
  // The palette the image was opened from: exported under a name of its
  // own, the image is that palette with each layer put back.
  GimpParasite* kept = gimp_image_get_parasite(image, file_kcf::kOriginParasite);
  guint32 size = 0;
  const void* data = kept != nullptr ? gimp_parasite_get_data(kept, &size) : nullptr;
  const std::string origin = data != nullptr && size > 0 ? std::string(static_cast<const char*>(data), size - 1) : "";
  if (kept != nullptr) gimp_parasite_free(kept);
  std::string refusal;
  if (!file_kcf3::ExportPalette(PathOf(file), top, layers, origin, &refusal))
    return Fail(procedure, refusal);
  return gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
}

GimpProcedure* NewLoad(GimpPlugIn* plugIn) {
  GimpProcedure* procedure = gimp_load_procedure_new(plugIn, kLoadProc, GIMP_PDB_PROC_TYPE_PLUGIN,
                                                     RunLoad, nullptr, nullptr);
  gimp_procedure_set_menu_label(procedure, kFormat);
  gimp_procedure_set_documentation(
      procedure, "Loads KiSS palettes (.kcf) through the Zentrow module",
      "Opens a KiSS palette as an RGB image of one pixel per colour, 16 to a row, read by the "
      "Zentrow module, a layer for each group of a palette of several; the module's history "
      "note becomes the image's comment.",
      kLoadProc);
  // The palette's mark follows "KiSS": a cel file carries another, and is
  // left to its own loader. A headerless palette has no mark and opens by
  // its extension.
  gimp_file_procedure_set_magics(GIMP_FILE_PROCEDURE(procedure),
                                 ("0,string," + PaletteMagic()).c_str());
  return procedure;
}

GimpProcedure* NewExport(GimpPlugIn* plugIn) {
  GimpProcedure* procedure = gimp_export_procedure_new(
      plugIn, kExportProc, GIMP_PDB_PROC_TYPE_PLUGIN, FALSE, RunExport, nullptr, nullptr);
  gimp_procedure_set_image_types(procedure, "*");
  gimp_procedure_set_menu_label(procedure, kFormat);
  gimp_procedure_set_documentation(
      procedure, "Exports KiSS palettes (.kcf) through the Zentrow module",
      "Into a palette of another form, puts each layer named \"palette\" or \"group N\" back in "
      "the palette's own form, every other byte kept; otherwise writes the top-left 16 x 16 "
      "pixels of the image as a 24-bit KiSS palette, one colour per pixel. The Zentrow module "
      "writes it, and the file is replaced only when it succeeds.",
      kExportProc);
  gimp_export_procedure_set_capabilities(
      GIMP_EXPORT_PROCEDURE(procedure),
      GimpExportCapabilities(GIMP_EXPORT_CAN_HANDLE_RGB | GIMP_EXPORT_CAN_HANDLE_ALPHA), nullptr,
      nullptr, nullptr);
  return procedure;
}

GList* QueryProcedures(GimpPlugIn*) {
  return g_list_append(g_list_append(nullptr, g_strdup(kLoadProc)), g_strdup(kExportProc));
}

GimpProcedure* CreateProcedure(GimpPlugIn* plugIn, const gchar* name) {
  const std::string asked = name;
  GimpProcedure* procedure = asked == kLoadProc     ? NewLoad(plugIn)
                             : asked == kExportProc ? NewExport(plugIn)
                                                    : nullptr;
  if (procedure == nullptr) return nullptr;
  gimp_procedure_set_attribution(procedure, kAuthors, kAuthors, "2026");
  gimp_file_procedure_set_format_name(GIMP_FILE_PROCEDURE(procedure), kFormat);
  gimp_file_procedure_set_extensions(GIMP_FILE_PROCEDURE(procedure), kPaletteExtension);
  return procedure;
}

// The plug-in speaks in the words of the use cases, which it does not translate.
gboolean NoTranslation(GimpPlugIn*, const gchar*, gchar**, gchar**) { return FALSE; }

}  // namespace

// The plug-in's GObject class: GIMP makes one instance and asks it for its
// procedures by name.
struct ZentrowKcf {
  GimpPlugIn parent;
};
struct ZentrowKcfClass {
  GimpPlugInClass parent;
};
G_DEFINE_TYPE(ZentrowKcf, zentrow_kcf, GIMP_TYPE_PLUG_IN)

static void zentrow_kcf_class_init(ZentrowKcfClass* klass) {
  GimpPlugInClass* plugIn = GIMP_PLUG_IN_CLASS(klass);
  plugIn->query_procedures = QueryProcedures;
  plugIn->create_procedure = CreateProcedure;
  plugIn->set_i18n = NoTranslation;
}

static void zentrow_kcf_init(ZentrowKcf*) {}

GIMP_MAIN(zentrow_kcf_get_type())
