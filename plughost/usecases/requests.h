// What a caller asks of this layer, one request a command, and the names of
// the outputs a request writes.
#pragma once

#include <string>
#include <vector>

#include "plughost/images/formats.h"
#include "plughost/images/image_files.h"
#include "plughost/usecases/caller.h"

namespace plughost {

// The largest tile of a swatch.
constexpr int kMaxSwatchTile = 255;

// Of a KiSS set drawn: the one asked for (0 to 9), none asked, or every one it uses.
constexpr int kNoSet = -1;
constexpr int kAllSets = -2;

struct OpenRequest {
  std::vector<std::string> inputs;
  std::string out;     // one input
  std::string outDir;  // any number of inputs
  ImageFormat format = ImageFormat::kUnknown;  // given; else by the output's extension, or PNG
  int swatch = 0;  // tile size; 0 writes one pixel per colour
  bool force = false;  // replace an existing file that is no image
  int group = kNoGroup;  // open one group of each file, or kAllGroups
  // Cels and KiSS sets (.cel, .lzh, .cnf) are drawn rather than opened: a
  // cel in group `group` (0 when none) of `palette`, a set as set `set`
  // places it, or every set it uses (kAllSets), NAME-S.png.
  std::string palette;
  int set = kNoSet;
};

struct SaveRequest {
  std::vector<std::string> images;
  std::string out;     // one image
  std::string outDir;  // any number of images
  int swatch = kSwatchByLook;  // the images are swatches of this tile size; 0: as they are
  bool force = false;  // replace an existing file that is no palette of the written form
  std::string into;  // an existing palette to put the colours into, in its own form
  int group = kNoGroup;  // the one group of `into` to put them into
  std::string intoDir;  // a folder of palettes, each image put back into its own
};

// Why a request does not hold together, for the caller to say in words of
// its own (the command line names the options that made the request).
enum class RequestFault {
  kNone,
  kNoInputs,             // no palette files, or no images
  kOutputChoice,         // neither or both of one output and an output folder
  kSeveralNeedFolder,    // several inputs and one output
  kOutputNotWritten,     // open writes no format of the output's extension
  kFormatContradicts,    // the format asked is not the output's extension's
  kSwatchOfPaletteText,  // a swatch asked of a palette text
  kGroupWithoutInto,     // a group, with no palette to put colours into
  kIntoAndOutputs,       // a palette to put colours into, and outputs too
  kIntoTakesOne,         // a palette to put colours into, from several images
  kIntoBoth,             // one palette and a folder of them to put colours into
  kGroupFromNames,       // a group, where each image's name gives its own
  // Of putting images back into a folder of palettes (put_back.h names the files):
  kTwoForOnePlace,       // two images for one group of a palette
  kEitherPalette,        // an image's name fits two palettes there
  kFolderTooBig,         // a folder of images too big to list
  kNoPaletteFolder,      // the folder of palettes is none
  // Of drawing cels and sets:
  kCelWithoutPalette,    // a cel, and no palette to draw it in
  kPaletteWithoutCel,    // a palette to draw cels in, and no cel
  kSetWithoutSet,        // a set chosen, and no KiSS set to draw
  kDrawnAsPng,           // a cel or set drawn to a format other than PNG
  kDrawnWhole,           // a cel or set with every group asked, or a swatch
  kDrawnWithPalettes,    // cels or sets, and palettes to open, in one request
};
// Fills in what the request leaves to be worked out (the format of open's
// outputs).
RequestFault CheckRequest(OpenRequest* request);
RequestFault CheckRequest(const SaveRequest& request);

// The file written from `input`: the one output, or in the output folder
// under the input's name with the format's extension (.kcf for save; the
// palette colours are put into, which is read and written both).
std::string OutputFor(const OpenRequest& request, const std::string& input);
std::string OutputFor(const SaveRequest& request, const std::string& input);

// `path` with "-N" after its stem: "out/kayla.png" gives "out/kayla-3.png".
std::string GroupOutput(const std::string& path, int group);
// A group's number as plughost writes it in a name ("kayla-3.png", the
// layer "group 3"): decimal, no leading zero, at most kMaxGroup.
bool GroupNumberOf(const std::string& digits, int* group);

// `name` in `folder`, a separator between them when it has none at its end.
std::string InFolder(const std::string& folder, const std::string& name);

// The name without its last extension.
std::string StemOf(const std::string& path);

}  // namespace plughost
