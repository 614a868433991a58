// Cels and KiSS sets drawn in a palette's colours, as a doll's viewer
// shows them: a cel in one group of a palette, a set as one of its sets
// (0 to 9) places its cels, each in its palette and the set's group. Each
// drawing is written as a PNG whose transparent pixels are where no cel is.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plughost/sets/doll_set.h"
#include "plughost/usecases/caller.h"
#include "plughost/usecases/requests.h"

namespace plughost {

// Whether `path` is drawn rather than opened: a cel, an LHA archive, a
// configuration.
bool IsCel(const std::string& path);
bool IsSet(const std::string& path);
bool AnyDrawn(const std::vector<std::string>& inputs);

// A drawing request's faults, after CheckRequest found the outputs sound.
RequestFault CheckDrawing(const OpenRequest& request);

// Each input's drawings, and with every set asked, each set read before
// anything runs (a set that cannot be read is still an input, whose run
// then says why).
struct DrawJob {
  int set;  // kNoSet for a cel
  std::string output;
};
struct DrawPlan {
  std::vector<std::string> inputs, outputs;  // outputs[i] is written from inputs[i]
  std::map<std::string, std::vector<DrawJob>> jobs;
  std::map<std::string, std::shared_ptr<DollSet>> sets;  // read by the plan
};
DrawPlan PlanDrawing(const OpenRequest& request);

// The planned drawings of `input`, each written through the caller's outputs.
int DrawPlanned(Caller& caller, const OpenRequest& request, const DrawPlan& plan,
                const std::string& input);

}  // namespace plughost
