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
  caller.Refused(opened.what + ": " + DescribeResult(*opened.host, result) +
                 (why.empty() ? "" : "; " + why));
  caller.Tail(*opened.host);
  return kExitModule;
}

int OpenWhole(Caller& caller, const std::string& input, const std::string& label,
              OpenedPalette* opened) {
  InputFile file;
  std::string error;
  if (!file.Open(input, &error)) return caller.Refused(error), kExitHost;
  opened->head = file.Head(kNoteBytes);
  opened->size = file.size();
  const int16_t result = RunModuleOpen(caller, input, label, file.ref(), opened);
  // What the module reads of a palette is what its form holds, within the file.
  opened->read = std::min<uint64_t>(opened->size, BytesPromised(ReadPaletteHead(opened->head)));
  if (result == kNoError) return kExitSuccess;
  const std::string why = ExplainRefusal(opened->head, result);
  const std::string hint = result == kCannotReadFile ? GroupHint(opened->head) : "";
  return Refuse(caller, *opened, result, why + hint);
}

// The bytes of one group as the file holds them: fewer where it is cut short.
bool ReadGroup(const InputFile& file, const PaletteForm& form, int group,
               std::vector<uint8_t>* colours) {
  const uint64_t at = form.GroupAt(group);
  const uint64_t held = file.size() > at ? std::min(form.GroupSize(), file.size() - at) : 0;
  colours->resize(static_cast<size_t>(held));
  return file.ReadAt(at, colours->data(), colours->size()) == int64_t(held);
}

// One group's view, or why there is none.
// The form of the file's groups; "" or why it has none, in the file's name.
std::string GroupsFormOf(const InputFile& file, const std::string& input, PaletteHead* head,
                         PaletteForm* form) {
  *head = ReadPaletteHead(file.Head(kPaletteHeaderSize));
  const std::string why = FormFaultText(*head, ReadPaletteForm(*head, form));
  return why.empty() ? "" : input + " has no groups to open: " + why;
}

std::string GroupViewOf(const InputFile& file, const std::string& input, int group,
                        PaletteForm* form, std::vector<uint8_t>* view) {
  PaletteHead head;
  const std::string none = GroupsFormOf(file, input, &head, form);
  if (!none.empty()) return none;
  const std::string past = GroupPastTheLast(input, *form, group);
  if (!past.empty()) return past;
  std::vector<uint8_t> colours;
  if (!ReadGroup(file, *form, group, &colours)) return input + ": " + ReasonText(LastSystemError());
  *view = GroupView(*form, head, colours);
  return "";
}

int OpenGroup(Caller& caller, const std::string& input, int group, const std::string& beside,
              const std::string& label, OpenedPalette* opened) {
  InputFile file;
  PaletteForm form;
  ScratchFile view;
  std::string error;
  if (file.Open(input, &error)) error = GroupViewOf(file, input, group, &form, &opened->head);
  if (error.empty() && view.Begin(beside, &error)) view.Write(opened->head, &error);
  if (!error.empty()) return caller.Refused(error), kExitHost;
  opened->size = opened->head.size();
  const int16_t result = RunModuleOpen(caller, input, label, view.ref(), opened);
  opened->read = view.Position();
  if (result == kNoError) return kExitSuccess;
  return Refuse(caller, *opened, result, ExplainGroupRefusal(form, group, file.size(), result));
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
          ? std::to_string(held >= 0 ? held : document.columns * document.rows) + " colours"
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
  PaletteForm form;
  return ReadPaletteForm(ReadPaletteHead(head), &form) == FormFault::kNone
             ? int(std::min<int64_t>(form.Colours(), kMaxColors))
             : -1;
}

int OpenPalette(Caller& caller, const std::string& input, int group,
                const std::string& scratchBeside, const std::string& label, OpenedPalette* opened) {
  opened->what = group == kNoGroup ? input : input + " group " + std::to_string(group);
  opened->layer = group == kNoGroup ? "palette" : "group " + std::to_string(group);
  return group == kNoGroup ? OpenWhole(caller, input, label, opened)
                           : OpenGroup(caller, input, group, scratchBeside, label, opened);
}

namespace {

bool FormByHeader(const std::string& input, PaletteForm* form) {
  InputFile file;
  std::string why;
  return file.Open(input, &why) &&
         ReadPaletteForm(ReadPaletteHead(file.Head(kPaletteHeaderSize)), form) == FormFault::kNone;
}

}  // namespace

int GroupsOf(const std::string& input) {
  PaletteForm form;
  return FormByHeader(input, &form) ? form.groups : 0;
}

std::string FormOf(const std::string& input) {
  PaletteForm form;
  return FormByHeader(input, &form) ? FormText(form) : "";
}

int OpenToFile(Caller& caller, const OpenRequest& request, const std::string& input, int group,
               const std::string& out, const std::string& label) {
  OpenedPalette opened;
  const int status = OpenPalette(caller, input, group, out, label, &opened);
  if (status != kExitSuccess) return status;
  const std::vector<uint8_t> encoded = Encoded(request, out, opened);
  std::string error;
  if (encoded.empty()) {
    const Image& document = opened.host->document();
    error = "cannot encode a " + std::to_string(document.columns) + " x " +
            std::to_string(document.rows) + " image for " + out;
  }
  if (!encoded.empty())
    WriteFileAtomically(out, encoded, MayReplaceWithImage(request.force), &error);
  if (!error.empty()) return caller.Refused(error), kExitHost;
  caller.Done(OpenedLine(request, out, opened), out);
  const std::string note = OpenedNote(opened.head, opened.size, opened.read);
  if (!note.empty()) caller.Note(opened.what + ": " + note);
  caller.Opened(*opened.host);
  caller.Tail(*opened.host);
  return Verdict(caller, *opened.host, kExitSuccess, input);
}

EveryGroupPlan PlanEveryGroup(const OpenRequest& request) {
  EveryGroupPlan plan;
  for (const std::string& input : request.inputs) {
    const auto added = plan.groups.emplace(input, 0);
    if (!added.second) continue;
    const int groups = added.first->second = GroupsOf(input);
    for (int g = 0; g < groups; ++g) {
      plan.inputs.push_back(input);
      plan.outputs.push_back(GroupOutput(OutputFor(request, input), g));
    }
  }
  for (const auto& p : plan.groups) {
    if (p.second == 0) plan.inputs.push_back(p.first);
  }
  return plan;
}

int OpenEveryGroupToFiles(Caller& caller, const OpenRequest& request, const std::string& input,
                          int groups, const std::string& label) {
  if (groups == 0) {
    // Its groups could not be read when the command's files were planned.
    InputFile file;
    std::string error;
    if (!file.Open(input, &error)) return caller.Refused(error), kExitHost;
    PaletteHead head;
    PaletteForm form;
    error = GroupsFormOf(file, input, &head, &form);
    caller.Refused(!error.empty() ? error : input + " has no groups to open: it changed while the command ran");
    return kExitHost;
  }
  int status = kExitSuccess;
  for (int g = 0; g < groups; ++g) {
    const std::string out = GroupOutput(OutputFor(request, input), g);
    const int one = OpenToFile(caller, request, input, g, out, label + " group " + std::to_string(g));
    if (one == kExitHost || status == kExitSuccess) status = std::max(status, one);
  }
  return status;
}

int OpenLayers(Caller& caller, const std::string& input, const std::string& scratchFolder,
               std::vector<OpenedPalette>* layers) {
  const int groups = GroupsOf(input);
  std::vector<int> wanted;
  for (int g = 0; g < groups && groups > 1; ++g) wanted.push_back(g);
  if (wanted.empty()) wanted.push_back(kNoGroup);
  for (int group : wanted) {
    layers->emplace_back();
    OpenedPalette& opened = layers->back();
    const int status =
        OpenPalette(caller, input, group, scratchFolder + NameOf(input), "Opening " + input, &opened);
    if (status != kExitSuccess) return status;
    caller.Tail(*opened.host);
    const int planes = opened.host->document().planes;
    if (planes != 3) {
      caller.Refused(opened.what + ": the module gave an image of " + std::to_string(planes) +
                     " channels, not RGB");
      return kExitModule;
    }
  }
  // A palette read group by group is noted as if read whole, since that is
  // what its groups cover.
  InputFile file;
  std::string error;
  if (!file.Open(input, &error)) return kExitSuccess;
  const std::vector<uint8_t> head = file.Head(kNoteBytes);
  PaletteForm form;
  uint64_t read = layers->front().read;
  if (groups > 1 && ReadPaletteForm(ReadPaletteHead(head), &form) == FormFault::kNone)
    read = form.End();
  const std::string note = OpenedNote(head, file.size(), std::min(read, file.size()));
  if (!note.empty()) caller.Note(input + ": " + note);
  return kExitSuccess;
}

}  // namespace plughost
