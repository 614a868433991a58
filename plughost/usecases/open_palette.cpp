#include "plughost/usecases/open_palette.h"

#include <algorithm>

#include "interface/result_codes.h"
#include "kiss/palette_bytes.h"
#include "plughost/files/atomic_file.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/files/scratch_file.h"
#include "plughost/images/formats.h"
#include "plughost/images/swatch.h"
#include "plughost/usecases/palette_source.h"
#include "plughost/usecases/palette_words.h"
#include "plughost/usecases/replacing.h"

namespace plughost {

namespace {

// The module's opening of `ref`, which holds `input` or one group of it.
int16_t RunModuleOpen(Caller& caller, const std::string& input, const std::string& label,
                      int32_t ref, OpenedPalette* opened) {
  const std::string note = ExtensionNote(caller.module(), false, input);
  if (!note.empty()) caller.Note(note);
  opened->host = caller.NewHost("open", input);
  caller.RunStarts(*opened->host, label);
  const int16_t result = opened->host->Open(ref);
  caller.RunEnds(*opened->host, "open");
  return result;
}

int Refuse(Caller& caller, const OpenedPalette& opened, int16_t result, const std::string& why) {
  caller.Refused(opened.what + ": " + DescribeResult(caller, *opened.host, result) +
                 (why.empty() ? "" : "; " + why));
  caller.Tail(*opened.host);
  return kExitModule;
}

int OpenWhole(Caller& caller, const std::string& input, const std::string& label,
              OpenedPalette* opened) {
  InputFile file;
  std::string error;
  if (!file.Open(input, &error)) return caller.Refused(error), kExitHost;
  opened->SetHead(file.Head(kNoteBytes));
  opened->size = file.size();
  const int16_t result = RunModuleOpen(caller, input, label, file.ref(), opened);
  // What the module reads of a palette is what its form holds, within the file.
  opened->read = std::min<uint64_t>(opened->size, BytesPromised(opened->parsed));
  if (result == kNoError) return kExitSuccess;
  const std::string why = ExplainRefusal(opened->parsed, opened->head.size(), result);
  const int groups =
      result == kCannotReadFile ? GroupsToOpenOneByOne(opened->form, opened->fault) : 0;
  const std::string hint = groups > 0 ? caller.Advise({Hint::kOpenGroups, input, groups}) : "";
  return Refuse(caller, *opened, result, why + hint);
}

// Why `source` has no groups to open, in the file's name; "" when it has.
std::string NoGroupsText(const PaletteSource& source) {
  if (!source.Read()) return source.error;
  const std::string why = FormFaultText(source.head, source.fault);
  return why.empty() ? "" : source.input + " has no groups to open: " + why;
}

// One group's view, or why there is none.
std::string GroupViewOf(const PaletteSource& source, int group, std::vector<uint8_t>* view) {
  const std::string none = NoGroupsText(source);
  if (!none.empty()) return none;
  const std::string past = GroupPastTheLast(source.input, source.form, group);
  if (!past.empty()) return past;
  std::vector<uint8_t> colours;
  const std::string error = GroupBytes(source, group, &colours);
  if (error.empty()) *view = GroupView(source.form, source.head, colours);
  return error;
}

// The group opened from a view in `view`, made beside `beside` unless one
// of the same source's groups made it already.
int OpenGroup(Caller& caller, const PaletteSource& source, int group, ScratchFile& view,
              const std::string& beside, const std::string& label, OpenedPalette* opened) {
  std::vector<uint8_t> bytes;
  std::string error = GroupViewOf(source, group, &bytes);
  opened->SetHead(std::move(bytes));
  if (error.empty() && (view.begun() || view.Begin(beside, &error, caller.outputs())))
    view.Rewrite(opened->head, &error);
  if (!error.empty()) return caller.Refused(error), kExitHost;
  opened->size = opened->head.size();
  const int16_t result = RunModuleOpen(caller, source.input, label, view.ref(), opened);
  opened->read = view.Position();
  if (result == kNoError) return kExitSuccess;
  return Refuse(caller, *opened, result,
                ExplainGroupRefusal(source.form, group, source.size, result));
}

// The document as the request's format: an image (a swatch when asked) or
// a palette text.
std::vector<uint8_t> Encoded(const OpenRequest& request, const std::string& out,
                             const OpenedPalette& opened) {
  const Image& document = opened.host->document();
  const Image written = request.swatch > 0 ? MakeSwatch(document, request.swatch) : document;
  return FormatById(request.format).encode(written, StemOf(out), opened.ColoursHeld());
}

// "a.kcf -> a.png (16 x 16 RGB)"; a swatch is said at the size it is
// written: one tile and a grid line a colour, and a closing line.
std::string OpenedLine(const OpenRequest& request, const std::string& out,
                       const OpenedPalette& opened) {
  const Image& document = opened.host->document();
  const auto side = [&](int colours) {
    return std::to_string(request.swatch > 0 ? colours * (request.swatch + 1) + 1 : colours);
  };
  const int held = opened.ColoursHeld();
  const std::string size =
      FormatById(request.format).kind == FileKind::kPaletteText
          ? Counted(held >= 0 ? held : document.columns * document.rows, "colour", "colours")
          : side(document.columns) + " x " + side(document.rows) + " RGB";
  const std::string swatch =
      request.swatch > 0 ? ", a swatch of " + std::to_string(request.swatch) +
                               "-pixel tiles, one for each of " + std::to_string(document.columns) +
                               " x " + std::to_string(document.rows) + " colours"
                         : "";
  return opened.what + " -> " + out + " (" + size + swatch + ")";
}

}  // namespace

int OpenedPalette::ColoursHeld() const {
  return fault == FormFault::kNone ? int(std::min<int64_t>(form.Colours(), kMaxColors)) : -1;
}

void OpenedPalette::SetHead(std::vector<uint8_t> bytes) {
  head = std::move(bytes);
  parsed = ReadPaletteHead(head);
  fault = ReadPaletteForm(parsed, &form);
}

namespace {

void NameOpened(const std::string& input, int group, OpenedPalette* opened) {
  opened->what = group == kNoGroup ? input : input + " group " + std::to_string(group);
  opened->layer = group == kNoGroup ? "palette" : "group " + std::to_string(group);
}

}  // namespace

int OpenPalette(Caller& caller, const std::string& input, int group,
                const std::string& scratchBeside, const std::string& label, OpenedPalette* opened) {
  NameOpened(input, group, opened);
  if (group == kNoGroup) return OpenWhole(caller, input, label, opened);
  ScratchFile view;
  return OpenGroup(caller, ReadPaletteSource(input), group, view, scratchBeside, label, opened);
}

namespace {

// The opened palette written to `out` as the request asks; the caller is
// told what was written, or why not.
int WriteOpened(Caller& caller, const OpenRequest& request, const std::string& input,
                const std::string& out, const OpenedPalette& opened) {
  const std::vector<uint8_t> encoded = Encoded(request, out, opened);
  std::string error;
  if (encoded.empty()) {
    const Image& document = opened.host->document();
    error = "cannot encode a " + std::to_string(document.columns) + " x " +
            std::to_string(document.rows) + " image for " + out;
  }
  if (!encoded.empty())
    WriteFileAtomically(out, encoded, MayReplaceWithImage(request.force, caller), &error,
                        caller.outputs());
  if (!error.empty()) return caller.Refused(error), kExitHost;
  caller.Done(OpenedLine(request, out, opened), out);
  const std::string note = OpenedNote(opened.head, opened.size, opened.read);
  if (!note.empty()) caller.Note(opened.what + ": " + note);
  caller.Opened(*opened.host);
  caller.Tail(*opened.host);
  return Verdict(caller, *opened.host, kExitSuccess, input);
}

}  // namespace

int OpenToFile(Caller& caller, const OpenRequest& request, const std::string& input, int group,
               const std::string& out, const std::string& label) {
  OpenedPalette opened;
  const int status = OpenPalette(caller, input, group, out, label, &opened);
  if (status != kExitSuccess) return status;
  return WriteOpened(caller, request, input, out, opened);
}

namespace {

void PlanEveryGroup(const OpenRequest& request, OpenPlan* plan) {
  uint64_t kept = 0;
  for (const std::string& input : request.inputs) {
    if (plan->sources.count(input) != 0) continue;
    PaletteSource& source = plan->sources[input] = ReadPaletteSource(input);
    // A batch keeps what it read of its files while that stays small; past
    // that a file is read again when its turn comes.
    kept += source.bytes.size();
    if (kept > kMostPlanBytes) {
      kept -= source.bytes.size();
      source.bytes = {};
    }
    std::vector<OpenJob>& jobs = plan->jobs[input];
    for (int g = 0; g < source.Groups(); ++g) {
      jobs.push_back({g, GroupOutput(OutputFor(request, input), g)});
      plan->inputs.push_back(input);
      plan->outputs.push_back(jobs.back().output);
    }
  }
  for (const auto& p : plan->sources) {
    if (p.second.Groups() == 0) plan->inputs.push_back(p.first);
  }
}

int OpenEveryGroupToFiles(Caller& caller, const OpenRequest& request, const PaletteSource& planned,
                          const std::vector<OpenJob>& jobs, const std::string& label) {
  // Its groups could not be read when the command's files were planned.
  if (planned.Groups() == 0) {
    const std::string none = NoGroupsText(planned);
    caller.Refused(!none.empty() ? none : planned.input + " has no groups to open");
    return kExitHost;
  }
  const bool dropped = planned.bytes.empty();
  const PaletteSource reread = dropped ? ReadPaletteSource(planned.input) : PaletteSource();
  const PaletteSource& source = dropped ? reread : planned;
  if (!source.Read()) return caller.Refused(source.error), kExitHost;
  int status = kExitSuccess;
  ScratchFile view;  // one for every group's view in turn
  for (const OpenJob& job : jobs) {
    OpenedPalette opened;
    NameOpened(source.input, job.group, &opened);
    const std::string place = label + " group " + std::to_string(job.group);
    int one = OpenGroup(caller, source, job.group, view, job.output, place, &opened);
    if (one == kExitSuccess) one = WriteOpened(caller, request, source.input, job.output, opened);
    if (one == kExitHost || status == kExitSuccess) status = std::max(status, one);
  }
  return status;
}

}  // namespace

OpenPlan PlanOpen(const OpenRequest& request) {
  OpenPlan plan;
  if (request.group == kAllGroups) {
    PlanEveryGroup(request, &plan);
    return plan;
  }
  for (const std::string& input : request.inputs) {
    plan.jobs[input] = {{request.group, OutputFor(request, input)}};
    plan.inputs.push_back(input);
    plan.outputs.push_back(plan.jobs[input].front().output);
  }
  return plan;
}

int OpenPlanned(Caller& caller, const OpenRequest& request, const OpenPlan& plan,
                const std::string& input, const std::string& label) {
  const std::vector<OpenJob>& jobs = plan.jobs.at(input);
  if (request.group == kAllGroups)
    return OpenEveryGroupToFiles(caller, request, plan.sources.at(input), jobs, label);
  return OpenToFile(caller, request, input, jobs.front().group, jobs.front().output, label);
}

int OpenLayers(Caller& caller, const std::string& input, const std::string& scratchFolder,
               std::vector<OpenedPalette>* layers, std::string* formText, LayerPart* part) {
  const PaletteSource source = ReadPaletteSource(input);
  if (!source.Read()) return caller.Refused(source.error), kExitHost;
  const int groups = source.Groups();
  if (formText != nullptr) *formText = groups > 0 ? FormText(source.form) : "";
  const int first = part != nullptr ? part->first : 0;
  const int end = part != nullptr ? int(std::min<int64_t>(groups, int64_t{first} + part->count))
                                  : groups;
  if (part != nullptr) part->groups = groups;
  std::vector<int> wanted;
  for (int g = first; g < end && groups > 1; ++g) wanted.push_back(g);
  if (groups <= 1 && first == 0) wanted.push_back(kNoGroup);
  const std::string label = "Opening " + input;
  ScratchFile view;
  for (int group : wanted) {
    layers->emplace_back();
    OpenedPalette& opened = layers->back();
    NameOpened(input, group, &opened);
    const int status =
        group == kNoGroup
            ? OpenWhole(caller, input, label, &opened)
            : OpenGroup(caller, source, group, view, scratchFolder + NameOf(input), label, &opened);
    if (status != kExitSuccess) return status;
    caller.Tail(*opened.host);
    const int planes = opened.host->document().planes;
    if (planes != 3) {
      caller.Refused(opened.what + ": the module gave an image of " + std::to_string(planes) +
                     " channels, not RGB");
      return kExitModule;
    }
  }
  if (layers->empty() || (groups > 1 && end < groups)) return kExitSuccess;
  // A palette read group by group is noted as if read whole, since that is
  // what its groups cover.
  const uint64_t read = groups > 1 ? source.form.End() : layers->front().read;
  const std::string note = OpenedNote(source.NoteBytes(), source.size, std::min(read, source.size));
  if (!note.empty()) caller.Note(input + ": " + note);
  return kExitSuccess;
}

}  // namespace plughost
