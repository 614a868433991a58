// The plug-in's procedures as GIMP's procedure database knows them, and
// the dispatch of a call to the load or the export.
#include <cstring>

#include "gimp/file_kcf.h"
#include "kiss/palette_bytes.h"

// After libgimp/gimp.h, which it needs and does not include.
#include <libgimp/gimpui.h>

namespace {

constexpr const char* kLoadProc = "file-kcf-load";
constexpr const char* kSaveProc = "file-kcf-save";
constexpr const char* kBinary = "file-kcf";
constexpr const char* kRunModes = "The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }";

GimpParamDef Def(GimpPDBArgType type, const char* name, const char* description) {
  // GIMP's structures predate const: it only reads these strings.
  return {type, const_cast<gchar*>(name), const_cast<gchar*>(description)};
}

void InstallLoad() {
  const GimpParamDef args[] = {
      Def(GIMP_PDB_INT32, "run-mode", kRunModes),
      Def(GIMP_PDB_STRING, "filename", "The name of the file to load"),
      Def(GIMP_PDB_STRING, "raw-filename", "The name entered")};
  const GimpParamDef results[] = {Def(GIMP_PDB_IMAGE, "image", "Output image")};
  gimp_install_procedure(
      kLoadProc, "Loads KiSS palettes (.kcf) through the Zentrow module",
      "Opens a KiSS palette as an RGB image of one pixel per colour, 16 to a row, "
      "read by the Zentrow module; the module's history note becomes the image's comment.",
      "The Zentrow authors", "The Zentrow authors", "2024", "KiSS palette", nullptr, GIMP_PLUGIN,
      G_N_ELEMENTS(args), G_N_ELEMENTS(results), args, results);
  // The palette's mark follows "KiSS": a cel file carries another, and is
  // left to its own loader. A headerless palette has no mark and opens by
  // its extension.
  gimp_register_magic_load_handler(kLoadProc, kPaletteExtension, "",
                                   ("0,string," + PaletteMagic()).c_str());
}

void InstallSave() {
  const GimpParamDef args[] = {
      Def(GIMP_PDB_INT32, "run-mode", kRunModes),
      Def(GIMP_PDB_IMAGE, "image", "Input image"),
      Def(GIMP_PDB_DRAWABLE, "drawable", "Drawable to export"),
      Def(GIMP_PDB_STRING, "filename", "The name of the file to export the image in"),
      Def(GIMP_PDB_STRING, "raw-filename", "The name entered")};
  gimp_install_procedure(
      kSaveProc, "Exports KiSS palettes (.kcf) through the Zentrow module",
      "Writes the top-left 16 x 16 pixels of an RGB image as a 24-bit KiSS palette, one colour "
      "per pixel, written by the Zentrow module; into a palette of another form, puts each "
      "layer named \"palette\" or \"group N\" back in the palette's own form, every other byte "
      "kept. The file is replaced only when it succeeds.",
      "The Zentrow authors", "The Zentrow authors", "2024", "KiSS palette", "RGB*", GIMP_PLUGIN,
      G_N_ELEMENTS(args), 0, args, nullptr);
  gimp_register_save_handler(kSaveProc, kPaletteExtension, "");
}

void Query() {
  InstallLoad();
  InstallSave();
}

// What the last call answers; GIMP reads it after run() returns.
GimpParam gResults[2];
std::string gRefusal;

void Answer(GimpPDBStatusType status, gint* count, GimpParam** results) {
  gResults[0].type = GIMP_PDB_STATUS;
  gResults[0].data.d_status = status;
  *count = 1;
  *results = gResults;
  if (status != GIMP_PDB_EXECUTION_ERROR || gRefusal.empty()) return;
  // A failed call carries its reason: GIMP shows it ("Opening ... failed"),
  // and a script gets it as the error of the call.
  gResults[1].type = GIMP_PDB_STRING;
  gResults[1].data.d_string = const_cast<gchar*>(gRefusal.c_str());
  *count = 2;
}

GimpPDBStatusType RunLoad(const GimpParam* params, gint32* image) {
  *image = file_kcf::LoadPalette(params[1].data.d_string, &gRefusal);
  return *image != -1 ? GIMP_PDB_SUCCESS : GIMP_PDB_EXECUTION_ERROR;
}

// Interactively, GIMP's export dialog offers to merge the layers or convert
// the image to RGB, on a copy that is deleted afterwards; a script's
// drawable is exported as it is.
// The layers go back by their own names, so they are read from the image
// as it was, not from the copy the dialog may have merged.
GimpPDBStatusType RunSave(const GimpParam* params) {
  const auto mode = static_cast<GimpRunMode>(params[0].data.d_int32);
  const gint32 original = params[1].data.d_image;
  gint32 image = original, drawable = params[2].data.d_drawable;
  GimpExportReturn exported = GIMP_EXPORT_IGNORE;
  if (mode != GIMP_RUN_NONINTERACTIVE) {
    gimp_ui_init(kBinary, FALSE);
    exported = gimp_export_image(&image, &drawable, "KiSS palette",
                                 GimpExportCapabilities(GIMP_EXPORT_CAN_HANDLE_RGB |
                                                        GIMP_EXPORT_CAN_HANDLE_ALPHA));
    if (exported == GIMP_EXPORT_CANCEL) return GIMP_PDB_CANCEL;
  }
  const bool saved = file_kcf::SavePalette(params[3].data.d_string, original, drawable, &gRefusal);
  if (exported == GIMP_EXPORT_EXPORT) gimp_image_delete(image);
  return saved ? GIMP_PDB_SUCCESS : GIMP_PDB_EXECUTION_ERROR;
}

void Run(const gchar* name, gint count, const GimpParam* params, gint* resultCount,
         GimpParam** results) {
  gegl_init(nullptr, nullptr);
  gRefusal.clear();
  GimpPDBStatusType status = GIMP_PDB_CALLING_ERROR;
  gint32 image = -1;
  if (std::strcmp(name, kLoadProc) == 0 && count >= 3)
    status = RunLoad(params, &image);
  else if (std::strcmp(name, kSaveProc) == 0 && count >= 5)
    status = RunSave(params);
  Answer(status, resultCount, results);
  if (image == -1) return;
  gResults[1].type = GIMP_PDB_IMAGE;
  gResults[1].data.d_image = image;
  *resultCount = 2;
}

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, Query, Run};

}  // namespace

MAIN()
