// What a caller asks of this layer, one request a command, and the names of
// the outputs a request writes.
#pragma once

#include <string>
#include <vector>

#include "plughost/images/formats.h"
#include "plughost/usecases/caller.h"

namespace plughost {

// The largest tile of a swatch.
constexpr int kMaxSwatchTile = 255;

struct OpenRequest {
  std::vector<std::string> inputs;
  std::string out;     // one input
  std::string outDir;  // any number of inputs
  ImageFormat format = ImageFormat::kUnknown;  // given; else by --out, or PNG
  int swatch = 0;  // tile size; 0 writes one pixel per colour
  bool force = false;  // replace an existing file that is no image
  int group = kNoGroup;  // open one group of each file, or kAllGroups
};

struct SaveRequest {
  std::vector<std::string> images;
  std::string out;     // one image
  std::string outDir;  // any number of images
  int swatch = 0;  // the images are swatches of this tile size
  bool force = false;  // replace an existing file that is no palette of the written form
  std::string into;  // an existing palette to put the colours into, in its own form
  int group = kNoGroup;  // the one group of `into` to put them into
};

// Why a request does not hold together ("--swatch makes tiles of an
// image; a palette file lists its colours"), or "". Fills in what the
// request leaves to be worked out (the format of open's outputs).
std::string CheckRequest(OpenRequest* request);
std::string CheckRequest(const SaveRequest& request);

// The file written from `input`: --out's, or in --out-dir under the
// input's name with the format's extension (.kcf for save; --into's
// palette, which is read and written both).
std::string OutputFor(const OpenRequest& request, const std::string& input);
std::string OutputFor(const SaveRequest& request, const std::string& input);

// `path` with "-N" after its stem: "out/kayla.png" gives "out/kayla-3.png".
std::string GroupOutput(const std::string& path, int group);

// The name without its last extension.
std::string StemOf(const std::string& path);

}  // namespace plughost
