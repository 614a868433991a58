// Finding and loading the module, and what the plug-in tells the user.
#include <cmath>

#include "gimp/file_kcf.h"
#include "interface/result_codes.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/system.h"

namespace file_kcf {

std::string ModulePath() {
  const std::string folder = plughost::sys::ProgramFolder();
  const std::string beside = folder + plughost::sys::ModuleFileName();
  // Set by the build from the install layout: the installed plug-in's folder
  // to the installed module's, relative, so any prefix works.
  const std::string installed =
      folder + ZENTROW_GIMP_MODULE_FOLDER + plughost::sys::ModuleFileName();
  return plughost::StatusOf(beside).type == plughost::FileType::kMissing &&
                 plughost::StatusOf(installed).type != plughost::FileType::kMissing
             ? installed
             : beside;
}

bool LoadModule(plughost::LoadedModule* module, std::string* refusal) {
  std::string error;
  *module = plughost::LoadedModule::Load(ModulePath(), &error);
  if (*module) return true;
  *refusal = "the KiSS palette plug-in cannot run: " + error;
  return false;
}

std::string ResultText(int result) {
  return "result " + std::to_string(result) + ": " + ResultMeaning(result);
}

void Tell(const std::string& text) {
  // GIMP shows messages as UTF-8; file names are what the system gave.
  gchar* valid = g_utf8_make_valid(text.c_str(), -1);
  gimp_message(valid);
  g_free(valid);
}

void FollowProgress(plughost::Host& host, const std::string& what) {
  gimp_progress_init(what.c_str());
  host.onProgress = [](int32_t done, int32_t total) {
    if (total > 0) gimp_progress_update(std::fmin(1.0, double(done) / double(total)));
  };
}

void TellViolations(const plughost::Host& host, const std::string& file) {
  for (const std::string& v : host.counts().violations)
    Tell(file + ": the module broke the host interface: " + v);
}

}  // namespace file_kcf
