#include "plughost/usecases/draw_dolls.h"

#include <algorithm>

#include "kiss/configuration.h"
#include "plughost/files/atomic_file.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/images/png_files.h"
#include "plughost/sets/draw_set.h"
#include "plughost/sets/set_words.h"
#include "plughost/usecases/replacing.h"

namespace plughost {

namespace {

std::string SizeText(const Image& image) {
  return std::to_string(image.columns) + " x " + std::to_string(image.rows);
}

// "0, 2 to 5 and 9": the sets a configuration uses.
std::string SetsUsed(const Configuration& cnf) {
  std::vector<int> used;
  for (int s = 0; s < kSetCount; ++s)
    if (cnf.SetUsed(s)) used.push_back(s);
  std::string text;
  for (size_t i = 0; i < used.size(); ++i)
    text += (i == 0 ? "" : i + 1 == used.size() ? " and " : ", ") + std::to_string(used[i]);
  return text.empty() ? "none" : text;
}

int WriteDrawing(Caller& caller, const OpenRequest& request, const Image& image,
                 const std::string& out, const std::string& line) {
  std::string error;
  WriteFileAtomically(out, EncodePng(image), MayReplaceWithImage(request.force, caller), &error,
                      caller.outputs());
  if (!error.empty()) return caller.Refused(error), kExitHost;
  caller.Done(line, out);
  return kExitSuccess;
}

void NotePastColours(Caller& caller, const std::string& what, int64_t past, int group) {
  if (past == 0) return;
  caller.Note(what + ": " + Counted(past, "pixel's index lies", "pixels' indices lie") +
              " past the colours of group " + std::to_string(group) + ", drawn black");
}

int DrawCelTo(Caller& caller, const OpenRequest& request, const std::string& input,
              const std::string& out) {
  Cel cel;
  const SetRefusal refused = OpenCel(input, &cel);
  if (refused) return caller.Refused(SetRefusalWords(input, refused)), kExitHost;
  InputFile file;
  std::vector<uint8_t> palette;
  std::string error;
  if (!file.Open(request.palette, &error) || !file.ReadAll(&palette, &error))
    return caller.Refused(error), kExitHost;
  const int group = request.group == kNoGroup ? 0 : request.group;
  const int groups = PaletteGroups(palette);
  if (groups > 0 && group >= groups)
    return caller.Refused(request.palette + " has " + Counted(groups, "group", "groups") +
                          "; there is no group " + std::to_string(group)),
           kExitHost;
  GroupColours colours;
  SetRefusal why;
  why.palette = CelColours(palette, group, &colours);
  if (why.palette) {
    why.fault = SetFault::kPalette;
    why.file = request.palette;
    return caller.Refused(SetRefusalWords(request.palette, why)), kExitHost;
  }
  const Drawing drawing = DrawCel(cel, colours);
  NotePastColours(caller, input, drawing.pastColours, group);
  return WriteDrawing(caller, request, drawing.image, out,
                      input + " -> " + out + " (" + SizeText(drawing.image) + ", group " +
                          std::to_string(group) + " of " + request.palette + ")");
}

int DrawSetTo(Caller& caller, const OpenRequest& request, const std::string& input,
              const DollSet& doll, const DrawJob& job) {
  if (!doll.cnf.SetUsed(job.set))
    return caller.Refused(input + " does not use set " + std::to_string(job.set) + " (it uses " +
                          SetsUsed(doll.cnf) + ")"),
           kExitHost;
  const SetDrawing drawn = DrawSet(doll, job.set);
  const std::string what = input + " set " + std::to_string(job.set);
  NotePastColours(caller, what, drawn.drawing.pastColours, drawn.group);
  if (drawn.celsUnplaced > 0)
    caller.Note(what + ": " + Counted(int64_t(drawn.celsUnplaced), "cel has", "cels have") +
                " no position in this set and " + (drawn.celsUnplaced == 1 ? "is" : "are") +
                " left out");
  return WriteDrawing(caller, request, drawn.drawing.image, job.output,
                      what + " -> " + job.output + " (" + SizeText(drawn.drawing.image) + ", " +
                          Counted(int64_t(drawn.celsDrawn), "cel", "cels") + ", group " +
                          std::to_string(drawn.group) + ")");
}

}  // namespace

bool IsCel(const std::string& path) { return HasExtension(NameOf(path), kCelExtension); }

bool IsSet(const std::string& path) {
  return HasExtension(NameOf(path), kArchiveExtension) ||
         HasExtension(NameOf(path), kConfigurationExtension);
}

bool AnyDrawn(const std::vector<std::string>& inputs) {
  return std::any_of(inputs.begin(), inputs.end(),
                     [](const std::string& i) { return IsCel(i) || IsSet(i); });
}

RequestFault CheckDrawing(const OpenRequest& request) {
  size_t cels = 0, sets = 0;
  for (const std::string& input : request.inputs) {
    cels += IsCel(input);
    sets += IsSet(input);
  }
  if (cels + sets == 0) {
    if (!request.palette.empty()) return RequestFault::kPaletteWithoutCel;
    return request.set == kNoSet ? RequestFault::kNone : RequestFault::kSetWithoutSet;
  }
  if (cels + sets < request.inputs.size()) return RequestFault::kDrawnWithPalettes;
  if (cels > 0 && request.palette.empty()) return RequestFault::kCelWithoutPalette;
  if (cels == 0 && !request.palette.empty()) return RequestFault::kPaletteWithoutCel;
  if (sets == 0 && request.set != kNoSet) return RequestFault::kSetWithoutSet;
  if (request.format != ImageFormat::kPng) return RequestFault::kDrawnAsPng;
  if (request.group == kAllGroups || request.swatch > 0) return RequestFault::kDrawnWhole;
  return RequestFault::kNone;
}

DrawPlan PlanDrawing(const OpenRequest& request) {
  DrawPlan plan;
  std::vector<std::string> rest;  // inputs that write nothing: a set not read, the palette
  for (const std::string& input : request.inputs) {
    std::vector<DrawJob>& jobs = plan.jobs[input];
    const std::string out = OutputFor(request, input);
    if (IsCel(input) || request.set != kAllSets) {
      jobs.push_back({IsCel(input) ? kNoSet : std::max(request.set, 0), out});
    } else {
      auto doll = std::make_shared<DollSet>();
      if (!OpenSet(input, "", doll.get())) {
        plan.sets[input] = doll;
        for (int s = 0; s < kSetCount; ++s)
          if (doll->cnf.SetUsed(s)) jobs.push_back({s, GroupOutput(out, s)});
      }
    }
    for (const DrawJob& job : jobs) {
      plan.inputs.push_back(input);
      plan.outputs.push_back(job.output);
    }
    if (jobs.empty()) rest.push_back(input);
  }
  if (!request.palette.empty()) rest.push_back(request.palette);
  plan.inputs.insert(plan.inputs.end(), rest.begin(), rest.end());
  return plan;
}

int DrawPlanned(Caller& caller, const OpenRequest& request, const DrawPlan& plan,
                const std::string& input) {
  const std::vector<DrawJob>& jobs = plan.jobs.at(input);
  if (IsCel(input)) return DrawCelTo(caller, request, input, jobs.front().output);
  std::shared_ptr<DollSet> doll;
  const auto planned = plan.sets.find(input);
  if (planned != plan.sets.end()) doll = planned->second;
  if (!doll) {
    doll = std::make_shared<DollSet>();
    const SetRefusal refused = OpenSet(input, "", doll.get());
    if (refused) return caller.Refused(SetRefusalWords(input, refused)), kExitHost;
  }
  for (const CnfNote& note : doll->cnf.notes)
    caller.Note(ConfigurationNoteWords(doll->configurationName, note));
  if (jobs.empty()) return caller.Refused(input + " uses no set: there is no doll to draw"), kExitHost;
  int status = kExitSuccess;
  for (const DrawJob& job : jobs) status = std::max(status, DrawSetTo(caller, request, input, *doll, job));
  return status;
}

}  // namespace plughost
