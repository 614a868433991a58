// One headless GIMP run for a test: gimp-console-2.10, or gimp-console-3.0
// when built with ZENTROW_GIMP_MAJOR=3, with a profile folder of the test's
// own, whose plug-in path puts the build tree's plug-ins before GIMP's, each
// Scheme command given as its own -b so that a call that fails does not
// stop the others, and GIMP's console output kept for the test to read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace gimp_test {

// The plug-in's procedures in this GIMP (GIMP 3 exports, GIMP 2.10 saves).
constexpr const char* kLoadProcedure = "file-kcf-load";
constexpr const char* kExportProcedure = ZENTROW_GIMP_MAJOR == 3 ? "file-kcf-export" : "file-kcf-save";
// What GIMP's console says of a call of `procedure` on `file` that failed
// with `refusal`.
std::string Failed(const std::string& procedure, const std::filesystem::path& file,
                   const std::string& refusal);
// GIMP 3's export converts the image to RGB first, as for any format of RGB
// alone; GIMP 2.10's script export hands the plug-in the image as it is.
constexpr bool kExportConvertsToRgb = ZENTROW_GIMP_MAJOR == 3;

// `text` as a Scheme string literal.
std::string Scheme(const std::string& text);

// Runs a program with both of its output streams into `log`: its exit
// status, or -1 when it did not exit by itself.
int Spawn(const std::vector<std::string>& args, const std::filesystem::path& log);

struct GimpRun {
  int status = -1;  // 124 when it ran out of time
  std::string log;  // GIMP's console: messages, and each command's outcome
};

// Runs `commands`, each of which may call the procedures of this GIMP's
// table.scm (tests/gimp for 2.10, tests/gimp3 for 3), then quits GIMP;
// within `seconds`.
GimpRun RunGimp(const std::filesystem::path& folder, const std::vector<std::string>& commands,
                int seconds);

}  // namespace gimp_test
