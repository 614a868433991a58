// Finding and loading the module, and what the plug-in tells the user.
#include <cmath>

#include "gimp/file_kcf.h"

namespace file_kcf {

// Set by the build from the install layout: the installed plug-in's folder
// to the installed module's, relative, so any prefix works.
std::string ModulePath() { return plughost::ModuleBesideProgram(ZENTROW_GIMP_MODULE_FOLDER); }

bool GimpCaller::Load() {
  std::string error;
  module_ = plughost::LoadedModule::Load(ModulePath(), &error);
  if (!module_) refusal_ = "the KiSS palette plug-in cannot run: " + error;
  return bool(module_);
}

std::unique_ptr<plughost::Host> GimpCaller::NewHost(const std::string&, const std::string&) {
  return std::make_unique<plughost::Host>(module_.entry());
}

void GimpCaller::RunStarts(plughost::Host& host, const std::string& label) {
  // One bar for a whole load or export, however many runs it takes.
  if (label != progress_) gimp_progress_init(label.c_str());
  progress_ = label;
  host.onProgress = [](int32_t done, int32_t total) {
    if (total > 0) gimp_progress_update(std::fmin(1.0, double(done) / double(total)));
  };
}

void GimpCaller::Note(const std::string& text) { Tell(text); }

std::string GimpCaller::Advise(const plughost::Advice& advice) const {
  switch (advice.hint) {
    case plughost::Hint::kReplace:
      return "; export to another name, or delete that file first";
    case plughost::Hint::kPutIntoOrReplace:
      return "; open it in GIMP to export its groups back into it, or export to another name";
    case plughost::Hint::kOneLayerOfMany:
      return "; undo the flattening (Edit > Undo), so that each group has its layer, or export "
             "to another name";
    default:  // what GIMP's own dialogs already choose: groups as layers, no swatches
      return "";
  }
}

void Tell(const std::string& text) {
  // GIMP shows messages as UTF-8; file names are what the system gave.
  gchar* valid = g_utf8_make_valid(text.c_str(), -1);
  gimp_message(valid);
  g_free(valid);
}

}  // namespace file_kcf
