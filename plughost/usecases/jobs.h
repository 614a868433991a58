// One call a job. Each function here takes a caller's request and does the
// whole of it: checks the request, plans before any file is touched, checks
// the job's files together (the caller's own among them), runs each file,
// and puts every output in place together. It answers with a Report of
// facts, an outcome for each file and each output, which the caller words;
// what happens along the way reaches the caller through its Caller.
#pragma once

#include <string>
#include <vector>

#include "plughost/usecases/batch.h"
#include "plughost/usecases/requests.h"
#include "plughost/usecases/save_palette.h"

namespace plughost {

// What became of a job. A request that does not hold together is kExitUsage
// with its fault (and, for colours put back into a folder of palettes, the
// files it names), or with `clash` when the job's files do not go together
// (an output that is also an input, say); nothing was touched then.
// Otherwise `tally` says what became of each file and each output.
struct Report {
  int status = kExitSuccess;
  RequestFault fault = RequestFault::kNone;
  std::string image, other, palette;  // of a fault of putting back (put_back.h)
  int group = kNoGroup;
  std::string clash;
  bool ran = false;  // the batch ran: `tally` holds its outcomes
  BatchTally tally;
  std::string written;  // of an editor's save: the file it wrote
};

// Every palette of the request opened and written as images or palette
// texts.
Report OpenPalettes(Caller& caller, OpenRequest request);

// Every image (or palette text) of the request saved: as a new palette, into
// an existing palette in its own form, or each back into the palette its
// name gives in a folder of palettes.
Report SavePalettes(Caller& caller, const SaveRequest& request);

// The module's About box, once the caller's own files were checked.
Report ShowAbout(Caller& caller);

// Each file asked about: whether the module takes it for a palette.
Report ProbeFiles(Caller& caller, const std::vector<std::string>& files);

// An editor's palette, its layers edited, saved as its user asks: back
// into the palette in its own form; or one layer (`shown`) as a new 24-bit
// palette beside it, named as plughost names what it writes of a group
// ("NAME-24bit.kcf", "NAME-24bit-3.kcf"); or, once the edits are in the
// palette, that layer written as an image or palette text of `format`.
enum class EditedAs { kPalette, kNew24Bit, kWritten };
struct EditedSaveRequest {
  std::string palette;
  std::vector<NamedLayer> layers;
  int shown = 0;
  EditedAs as = EditedAs::kPalette;
  ImageFormat format = ImageFormat::kUnknown;  // of kWritten
  int swatch = 0;                              // of kWritten
};
Report SaveEdited(Caller& caller, const EditedSaveRequest& request);

// The colours of `source` (an image, a swatch, a palette text) brought into
// group `group` of an editor's palette, once its edited layers are in it.
struct BringInRequest {
  std::string palette;
  std::vector<NamedLayer> layers;
  int group = kNoGroup;
  std::string source;
};
Report BringColoursIn(Caller& caller, const BringInRequest& request);

// What a save request writes and locks, planned before anything runs: an
// output for each image, and the palette its colours go into, locked.
struct SavePlan {
  std::vector<std::string> inputs, outputs;  // outputs[i] is written from inputs[i]
  std::vector<std::string> locked;
};
SavePlan PlanSave(const SaveRequest& request);

}  // namespace plughost
