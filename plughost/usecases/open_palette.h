// Opening a palette through the module: the whole file, or one group of it
// handed to the module as a one-group view of the file (its header with a
// group count of 1, then the group's colours, in a scratch file beside an
// output), which the module opens as it opens any palette. Then either
// written to an image or palette text, or handed to an editor as layers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plughost/usecases/caller.h"
#include "plughost/usecases/palette_source.h"
#include "plughost/usecases/requests.h"

namespace plughost {

// A palette (or one group) as the module opened it, and what the host saw
// of the file.
struct OpenedPalette {
  std::string what;  // "a.kcf", "a.kcf group 3"
  std::string layer;  // "palette", "group 3"
  std::unique_ptr<Host> host;
  std::vector<uint8_t> head;  // the first bytes the module read from, for notes
  PaletteHead parsed;         // those bytes read as a header, once (SetHead)
  PaletteForm form;
  FormFault fault = FormFault::kFewBytes;
  uint64_t size = 0;  // of what the module read from
  uint64_t read = 0;  // how far it read
  // How many colours the palette holds by its header (the view's, for a
  // group): a palette text lists those and not the black entries after.
  int ColoursHeld() const;
  // `bytes` as the first bytes of what the module reads, their header read.
  void SetHead(std::vector<uint8_t> bytes);
};

// `input` (kNoGroup) or its group `group` opened by the module; a group's
// view is made beside `scratchBeside`. kExitSuccess, or the status after
// the caller was told why.
int OpenPalette(Caller& caller, const std::string& input, int group,
                const std::string& scratchBeside, const std::string& label, OpenedPalette* opened);

// Opened and written to `out` as the request asks; the caller is told what
// was written, or why not.
int OpenToFile(Caller& caller, const OpenRequest& request, const std::string& input, int group,
               const std::string& out, const std::string& label);

// One image or palette text an open writes: from the whole palette
// (kNoGroup) or one group of its input, to `output`.
struct OpenJob {
  int group;
  std::string output;
};

// An open request planned before anything runs: the jobs of each input,
// every output named once, so that the command's files are checked
// together. For every group, each file is read once here, its groups
// counted from its header, and what was read kept for the run while the
// plan's files stay under kMostPlanBytes together. A file of no groups is
// still an input, which no output may replace; its opening then says why
// it has none.
constexpr uint64_t kMostPlanBytes = uint64_t{256} << 20;
struct OpenPlan {
  std::vector<std::string> inputs, outputs;        // outputs[i] is written from inputs[i]
  std::map<std::string, std::vector<OpenJob>> jobs;  // of each input, in order
  std::map<std::string, PaletteSource> sources;      // every group: each file as it was read
};
OpenPlan PlanOpen(const OpenRequest& request);

// The planned jobs of `input`: its palette or one group, or every group
// opened from the bytes the plan read; the host's own failures outrank the
// module's refusals.
int OpenPlanned(Caller& caller, const OpenRequest& request, const OpenPlan& plan,
                const std::string& input, const std::string& label);

// A palette as an editor of layers opens it: the whole file, or, for a
// palette of several groups, a layer for each group from group 0, group
// views made in `scratchFolder` from one read of the file. Fails, after
// telling the caller, when the file or any group does not open: a palette
// cut short is no palette. `formText`, when given, says the palette's form
// ("24-bit, 10 groups of 256 colours"; "" when its header gives none).
//
// `part`, when given, asks for some of the layers of a palette of several
// groups only, for a caller that opens a big palette in parts between which
// its user may act: groups `first` to `first + count - 1`, those of them the
// palette has; it is told how many groups the palette has (0 or 1: it opens
// whole, in the part from 0). The note on the whole file comes with the
// part that holds the last group.
struct LayerPart {
  int first = 0;
  int count = 0;
  int groups = 0;  // told
};
int OpenLayers(Caller& caller, const std::string& input, const std::string& scratchFolder,
               std::vector<OpenedPalette>* layers, std::string* formText = nullptr,
               LayerPart* part = nullptr);

}  // namespace plughost
