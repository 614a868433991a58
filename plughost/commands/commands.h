// The program's commands, each a function of its options that prints to the
// given streams and answers the exit status:
//   0 success; 1 the module answered a non-zero result; 2 a bad command
//   line; 3 the host itself failed (cannot read an image, load the module,
//   write an output).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "plughost/host/host.h"
#include "plughost/images/image_files.h"

namespace plughost {

enum ExitStatus { kExitSuccess = 0, kExitModule = 1, kExitUsage = 2, kExitHost = 3 };

struct Options {
  std::string module;  // empty: the module next to the program
  HostSettings settings;
  bool verbose = false;
  std::string traceFile;     // empty: no trace
  bool answerBoxes = false;  // close the module's message boxes with OK
};

struct Streams {
  std::ostream& out;
  std::ostream& err;
};

// --group: none given, or every group of each file.
constexpr int kNoGroup = -1;
constexpr int kAllGroups = -2;
// The last group number a palette can have: its count is a signed 16-bit number.
constexpr int kMaxGroup = 32766;

struct OpenRequest {
  std::vector<std::string> inputs;
  std::string out;     // one input
  std::string outDir;  // any number of inputs
  ImageFormat format = ImageFormat::kUnknown;  // given with --format; else by --out, or PNG
  int swatch = 0;  // tile size; 0 writes one pixel per colour
  bool force = false;  // replace an existing palette with an image
  int group = kNoGroup;  // open one group of each file, or kAllGroups
};

struct SaveRequest {
  std::vector<std::string> images;
  std::string out;     // one image
  std::string outDir;  // any number of images
  int swatch = 0;  // the images are swatches of this tile size
  bool force = false;  // replace an existing image, or a palette of another form
  std::string into;  // an existing palette to put the colours into, in its own form
  int group = kNoGroup;  // the one group of `into` to put them into
};

int RunOpen(const Options& options, const OpenRequest& request, Streams io);
int RunSave(const Options& options, const SaveRequest& request, Streams io);
int RunProbe(const Options& options, const std::vector<std::string>& files, Streams io);
int RunAbout(const Options& options, Streams io);
int RunInfo(const Options& options, const std::string& module, Streams io);

// "result -39: end of file"
std::string ResultText(int result);

// The largest tile of a swatch.
constexpr int kMaxSwatchTile = 255;

}  // namespace plughost
