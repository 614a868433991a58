// A set's way back: the images an open of every group wrote, each put into
// the group its name gives of the palette of its name in one folder, every
// palette in its own form and rewritten once, with all of its images.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "plughost/usecases/caller.h"
#include "plughost/usecases/requests.h"

namespace plughost {

// One image and the group of its palette it goes into (kNoGroup: every
// group its image shows).
struct PutBackPart {
  std::string image;
  int group = kNoGroup;
};

// Each image's palette found from its name, before any file is touched:
// "kayla-3.png" goes into group 3 of kayla.kcf in the request's folder of
// palettes, "kayla.png" into the whole of it, unless only the palette of
// the whole name is there ("set-2.png" opened from set-2.kcf); both there
// is a fault. A folder given as an image stands for the images and
// palette texts in it.
struct PutBackPlan {
  std::vector<std::string> inputs, outputs;  // outputs[i] is written from inputs[i], among others
  std::vector<std::string> palettes;         // in the order first named
  std::map<std::string, std::vector<PutBackPart>> parts;  // of each palette
  // What keeps the plan from holding together, with the files it names:
  // two images for one place (a whole palette and one of its groups
  // overlap), a name that could be either palette's, a folder not listed,
  // a folder of palettes that is no folder.
  RequestFault fault = RequestFault::kNone;
  std::string image, other, palette;
  int group = kNoGroup;
};
PutBackPlan PlanPutBack(const SaveRequest& request);

// The planned images of `palette` read and put into it; the palette is
// replaced once, or, when any of its images cannot be read, left as it was.
int PutBackPlanned(Caller& caller, const SaveRequest& request, const PutBackPlan& plan,
                   const std::string& palette, const std::string& label);

}  // namespace plughost
