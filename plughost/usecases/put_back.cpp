#include "plughost/usecases/put_back.h"

#include <algorithm>
#include <unordered_map>

#include "plughost/files/file_checks.h"
#include "plughost/images/formats.h"
#include "plughost/system/system.h"
#include "plughost/usecases/save_palette.h"

namespace plughost {

namespace {

// A folder of more names than this is not listed to its end, and refused.
constexpr size_t kMostListed = size_t{1} << 20;

// The group a stem ends in as an open of every group names its images
// ("kayla-3": 3, with "kayla" left in *palette); kNoGroup for any other stem.
int GroupOfStem(const std::string& stem, std::string* palette) {
  const size_t dash = stem.rfind('-');
  int group = kNoGroup;
  if (dash == std::string::npos || dash == 0 || !GroupNumberOf(stem.substr(dash + 1), &group))
    return kNoGroup;
  *palette = stem.substr(0, dash);
  return group;
}

// A name save reads: an image it decodes, or a palette text.
bool SaveReads(const std::string& name) {
  const Format* format = FormatByName(name);
  return name.rfind(sys::kTemporaryPrefix, 0) != 0 && format != nullptr &&
         (format->kind == FileKind::kPaletteText ||
          (format->kind == FileKind::kImage && format->decoder != nullptr));
}

// The images given, each folder among them replaced by the images and
// palette texts it holds, in the order of their names; false with the
// folder in plan->image when it cannot be listed whole.
bool ImagesOf(const std::vector<std::string>& given, PutBackPlan* plan,
              std::vector<std::string>* images) {
  for (const std::string& path : given) {
    if (StatusOf(path).type != FileType::kDirectory) {
      images->push_back(path);
      continue;
    }
    std::vector<std::string> names;
    sys::ListBeginning(InFolder(path, ""), "", kMostListed, &names);
    if (names.size() == kMostListed) {
      plan->fault = RequestFault::kFolderTooBig;
      plan->image = path;
      return false;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
      if (SaveReads(name)) images->push_back(InFolder(path, name));
  }
  return true;
}

// Whether a palette is there, each looked at once.
class Palettes {
 public:
  bool There(const std::string& path) {
    const auto found = seen_.find(path);
    if (found != seen_.end()) return found->second;
    return seen_[path] = StatusOf(path).type != FileType::kMissing;
  }

 private:
  std::unordered_map<std::string, bool> seen_;
};

// Where one image goes; false with the fault in the plan.
bool PlaceOf(const std::string& folder, const std::string& image, Palettes* palettes,
             PutBackPlan* plan, std::string* palette, int* group) {
  const std::string extension = "." + FormatById(ImageFormat::kKissPalette).extensions.front();
  const std::string stem = StemOf(image);
  std::string grouped;
  *group = GroupOfStem(stem, &grouped);
  *palette = InFolder(folder, stem + extension);
  if (*group == kNoGroup) return true;
  const std::string whole = *palette;
  *palette = InFolder(folder, grouped + extension);
  if (!palettes->There(whole)) return true;
  if (palettes->There(*palette)) {
    plan->fault = RequestFault::kEitherPalette;
    plan->image = image;
    plan->palette = *palette;
    plan->other = whole;
    plan->group = *group;
    return false;
  }
  *palette = whole;
  *group = kNoGroup;
  return true;
}

// Two images for one place of a palette: the same group, or the whole
// palette and anything else.
bool Overlaps(const std::vector<PutBackPart>& parts, int group, const PutBackPart** other) {
  for (const PutBackPart& part : parts) {
    if (part.group == group || part.group == kNoGroup || group == kNoGroup) {
      *other = &part;
      return true;
    }
  }
  return false;
}

// One image added to the plan, its palette's first image an input paired
// with the palette, the others in *rest; false with the fault in the plan.
bool AddToPlan(const std::string& folder, const std::string& image, Palettes* palettes,
               PutBackPlan* plan, std::vector<std::string>* rest) {
  std::string palette;
  int group = kNoGroup;
  if (!PlaceOf(folder, image, palettes, plan, &palette, &group)) return false;
  std::vector<PutBackPart>& parts = plan->parts[palette];
  const PutBackPart* other = nullptr;
  // Each group of a palette's images is a handful: this look stays short.
  if (Overlaps(parts, group, &other)) {
    plan->fault = RequestFault::kTwoForOnePlace;
    plan->image = other->image;
    plan->other = image;
    plan->palette = palette;
    plan->group = group == kNoGroup ? other->group : group;
    return false;
  }
  if (parts.empty()) {
    plan->palettes.push_back(palette);
    plan->inputs.push_back(image);
    plan->outputs.push_back(palette);
  } else {
    rest->push_back(image);
  }
  parts.push_back({image, group});
  return true;
}

}  // namespace

PutBackPlan PlanPutBack(const SaveRequest& request) {
  PutBackPlan plan;
  if (StatusOf(request.intoDir).type != FileType::kDirectory) {
    plan.fault = RequestFault::kNoPaletteFolder;
    plan.palette = request.intoDir;
    return plan;
  }
  std::vector<std::string> images;
  if (!ImagesOf(request.images, &plan, &images)) return plan;
  if (images.empty()) plan.fault = RequestFault::kNoInputs;
  const std::string& folder = request.intoDir;
  Palettes palettes;
  std::vector<std::string> rest;  // inputs past the first of each palette
  for (const std::string& image : images) {
    if (!AddToPlan(folder, image, &palettes, &plan, &rest)) return plan;
  }
  plan.inputs.insert(plan.inputs.end(), rest.begin(), rest.end());
  return plan;
}

int PutBackPlanned(Caller& caller, const SaveRequest& request, const PutBackPlan& plan,
                   const std::string& palette, const std::string& label) {
  std::vector<IntoPart> parts;
  for (const PutBackPart& part : plan.parts.at(palette)) {
    parts.push_back(IntoPart{part.image, part.group, SaveImage{}});
    const int read = ReadForSaving(caller, part.image, request.swatch, &parts.back().image);
    if (read != kExitSuccess) return read;
  }
  return SaveIntoPalette(caller, palette, parts, label);
}

}  // namespace plughost
