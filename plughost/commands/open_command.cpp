// plughost open: palettes in, images out, one file or a batch. For each
// file (or each group of it asked for): read it through the module, write
// the image, report.
#include <algorithm>
#include <map>
#include <memory>

#include "interface/result_codes.h"
#include "kiss/kiss_palette.h"
#include "plughost/commands/batch.h"
#include "plughost/images/palette_groups.h"
#include "plughost/commands/session.h"
#include "plughost/files/atomic_file.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/files/scratch_file.h"
#include "plughost/images/palette_files.h"
#include "plughost/images/palette_notes.h"

namespace plughost {

namespace {

// A palette as the module opened it, and what the host saw of the file.
struct Opened {
  std::unique_ptr<Host> host;
  std::vector<uint8_t> head;  // the first bytes, for notes
  uint64_t size = 0;
  uint64_t read = 0;  // how far the module read
};

PaletteText PaletteKind(ImageFormat format) {
  return format == ImageFormat::kGimpPalette   ? PaletteText::kGimp
         : format == ImageFormat::kJascPalette ? PaletteText::kJasc
                                               : PaletteText::kNone;
}

ImageFormat FormatOf(const OpenRequest& request) {
  if (request.format != ImageFormat::kUnknown) return request.format;
  return request.out.empty() ? ImageFormat::kPng : FormatFromPath(request.out);
}

std::string OutputFor(const OpenRequest& request, const std::string& input) {
  if (request.outDir.empty()) return request.out;
  static const char* const kExtensions[] = {".png", ".png", ".ppm", ".gpl", ".pal"};
  return InFolder(request.outDir, input, kExtensions[static_cast<int>(FormatOf(request))]);
}

bool CheckOpenRequest(const OpenRequest& request, Streams io) {
  auto usage = [&](const std::string& text) {
    io.err << "plughost open: " << text << "\n";
    return false;
  };
  const std::string choice = CheckOutputChoice(request.inputs.size(), request.out,
                                               request.outDir, "palette files", "IMAGE");
  if (!choice.empty()) return usage(choice);
  if (request.swatch > 0 && PaletteKind(FormatOf(request)) != PaletteText::kNone)
    return usage("--swatch makes tiles of an image; a palette file lists its colours");
  if (request.out.empty()) return true;
  const ImageFormat byName = FormatFromPath(request.out);
  if (byName == ImageFormat::kUnknown)
    return usage("--out must end in .png or .ppm, or .gpl or .pal for a palette: " + request.out);
  if (request.format != ImageFormat::kUnknown && request.format != byName)
    return usage("--format contradicts the extension of --out " + request.out);
  return true;
}

// The module's opening of `ref`, which holds `input` or one group of it.
int16_t RunModuleOpen(Session& session, const std::string& input, const std::string& label,
                      int32_t ref, Opened* opened) {
  session.io().err << ExtensionNote(session.module(),
                                    session.module().propertyList().readExtensions, input, "reads");
  opened->host = session.NewHost("open", input);
  ProgressBar bar(session.ShowProgress(), label);
  session.AttachProgress(*opened->host, bar);
  const int16_t result = opened->host->Open(ref);
  bar.Finish();
  session.NoteUnreadParams(*opened->host, "open");
  return result;
}

int ReportRefusal(Session& session, const std::string& what, const Opened& opened, int16_t result,
                  const std::string& why) {
  session.io().err << "plughost: " << what << ": " << session.DescribeResult(*opened.host, result)
                   << (why.empty() ? "" : "; " + why) << "\n";
  session.ReportTail(*opened.host);
  return kExitModule;
}

int OpenThroughModule(Session& session, const std::string& input, const std::string& label,
                      Opened* opened) {
  InputFile file;
  if (!session.OpenInput(input, &file)) return kExitHost;
  opened->head = file.Head(kNoteBytes);
  opened->size = file.size();
  const int16_t result = RunModuleOpen(session, input, label, file.ref(), opened);
  opened->read = file.Position();
  if (result == kNoError) return kExitSuccess;
  const std::string why = ExplainRefusal(opened->head, result);
  const std::string hint = result == kCannotReadFile ? GroupHint(opened->head) : "";
  return ReportRefusal(session, input, *opened, result, why + hint);
}

// The bytes of one group as the file holds them: fewer where it is cut short.
bool ReadGroup(const InputFile& file, const PaletteForm& form, int group,
               std::vector<uint8_t>* colours) {
  const uint64_t at = form.GroupAt(group);
  const uint64_t held = file.size() > at ? std::min(form.GroupSize(), file.size() - at) : 0;
  colours->resize(static_cast<size_t>(held));
  return file.ReadAt(at, colours->data(), colours->size()) == int64_t(held);
}

// One group of `input` as a palette of its own, which the module opens from
// a temporary file beside `out`, as it opens any palette.
int OpenGroupThroughModule(Session& session, const std::string& input, int group,
                           const std::string& out, const std::string& label, Opened* opened) {
  InputFile file;
  if (!session.OpenInput(input, &file)) return kExitHost;
  const std::vector<uint8_t> head = file.Head(kPaletteHeaderSize);
  PaletteForm form;
  std::string error;
  if (!ReadPaletteForm(head, &form, &error)) error = input + " has no groups to open: " + error;
  if (error.empty()) error = GroupPastTheLast(input, form, group);
  std::vector<uint8_t> colours;
  if (error.empty() && !ReadGroup(file, form, group, &colours))
    error = input + ": " + ReasonText(LastSystemError());
  ScratchFile view;
  if (error.empty()) opened->head = GroupView(form, head, colours);
  if (error.empty() && view.Begin(out, &error)) view.Write(opened->head, &error);
  if (!error.empty()) {
    session.io().err << "plughost: " << error << "\n";
    return kExitHost;
  }
  opened->size = opened->head.size();
  const int16_t result = RunModuleOpen(session, input, label, view.ref(), opened);
  opened->read = view.Position();
  if (result == kNoError) return kExitSuccess;
  return ReportRefusal(session, input + " group " + std::to_string(group), *opened, result,
                       ExplainGroupRefusal(form, group, file.size(), result));
}

// How many colours the opened palette holds, by its header (the view's, for
// a group): a palette text lists those and not the black entries after them.
int ColoursHeld(const std::vector<uint8_t>& head) {
  PaletteForm form;
  std::string why;
  return ReadPaletteForm(head, &form, &why) ? int(std::min<int64_t>(form.Colours(), 256)) : -1;
}

int WriteDocument(Session& session, const OpenRequest& request, const std::string& out,
                  const Image& document, int held) {
  const Image written = request.swatch > 0 ? MakeSwatch(document, request.swatch) : document;
  const PaletteText palette = PaletteKind(FormatOf(request));
  const std::vector<uint8_t> encoded =
      palette != PaletteText::kNone ? EncodePaletteText(written, palette, StemOf(out), held)
                                    : EncodeImage(written, FormatOf(request));
  std::string error;
  if (encoded.empty()) {
    error = "cannot encode a " + std::to_string(written.columns) + " x " +
            std::to_string(written.rows) + " image for " + out;
  }
  if (!encoded.empty() &&
      WriteFileAtomically(out, encoded, Content::kImage, request.force, &error)) {
    return kExitSuccess;
  }
  session.io().err << "plughost: " << error << "\n";
  return kExitHost;
}

void ReportOpened(Session& session, const OpenRequest& request, const std::string& what,
                  const std::string& out, const Opened& opened) {
  Streams io = session.io();
  const Image& document = opened.host->document();
  const bool palette = PaletteKind(FormatOf(request)) != PaletteText::kNone;
  // A swatch is said at the size it is written: one tile and a grid line a
  // colour, and a closing line.
  const auto side = [&](int colours) {
    return std::to_string(request.swatch > 0 ? colours * (request.swatch + 1) + 1 : colours);
  };
  io.out << what << " -> " << out << " ("
         << (palette ? std::to_string(ColoursHeld(opened.head) >= 0 ? ColoursHeld(opened.head)
                                                                   : document.columns * document.rows) +
                           " colours"
                     : side(document.columns) + " x " + side(document.rows) + " RGB")
         << (request.swatch > 0 ? ", a swatch of " + std::to_string(request.swatch) +
                                      "-pixel tiles, one for each of " +
                                      std::to_string(document.columns) + " x " +
                                      std::to_string(document.rows) + " colours"
                                : "")
         << ")\n";
  const std::string note = OpenedNote(opened.head, opened.size, opened.read);
  if (!note.empty()) io.err << "plughost: note: " << what << ": " << note << "\n";
  // The module attaches the same note to every document: a batch shows it
  // only when asked.
  for (const Resource& r : opened.host->resources()) {
    if (session.verbose() && r.type == MakeFourCharCode("hist"))
      io.out << "  history note: " << std::string(r.bytes.begin(), r.bytes.end()) << "\n";
  }
  session.ReportTail(*opened.host);
}

// The whole file, or one group of it, opened and written to `out`.
int OpenAndWrite(Session& session, const OpenRequest& request, const std::string& input,
                 int group, const std::string& out, const std::string& label) {
  Opened opened;
  const int status = group == kNoGroup
                         ? OpenThroughModule(session, input, label, &opened)
                         : OpenGroupThroughModule(session, input, group, out, label, &opened);
  if (status != kExitSuccess) return status;
  if (WriteDocument(session, request, out, opened.host->document(), ColoursHeld(opened.head)) !=
      kExitSuccess)
    return kExitHost;
  const std::string what = group == kNoGroup ? input : input + " group " + std::to_string(group);
  ReportOpened(session, request, what, out, opened);
  return session.Verdict(*opened.host, kExitSuccess, input);
}

// How many groups `input` holds, read before anything runs so that the
// command's files are checked together with every group's output; 0 when
// its form cannot be read (its opening then says why).
int GroupsOf(const std::string& input) {
  InputFile file;
  PaletteForm form;
  std::string why;
  if (!file.Open(input, &why) || !ReadPaletteForm(file.Head(kPaletteHeaderSize), &form, &why))
    return 0;
  return form.groups;
}

// A file whose groups could not be read when the command's files were planned.
int ReportNoGroups(Session& session, const std::string& input) {
  InputFile file;
  if (!session.OpenInput(input, &file)) return kExitHost;
  PaletteForm form;
  std::string why;
  if (ReadPaletteForm(file.Head(kPaletteHeaderSize), &form, &why))
    why = "it changed while the command ran";
  session.io().err << "plughost: " << input << " has no groups to open: " << why << "\n";
  return kExitHost;
}

// --group all: every group of each file to NAME-N, as many as were planned.
class EveryGroup {
 public:
  explicit EveryGroup(const OpenRequest& request) : request_(request) {
    for (const std::string& input : request.inputs) {
      const int groups = planned_.emplace(input, GroupsOf(input)).first->second;
      for (int g = 0; g < groups; ++g) {
        inputs_.push_back(input);
        outputs_.push_back(GroupOutput(OutputFor(request, input), g));
      }
    }
    // Files of no groups are still inputs, which no output may replace.
    for (const auto& p : planned_) {
      if (p.second == 0) inputs_.push_back(p.first);
    }
  }
  int Run(const Options& options, Streams io) const;

 private:
  int OpenEach(Session& session, const std::string& input, const std::string& label) const;

  const OpenRequest& request_;
  std::map<std::string, int> planned_;
  std::vector<std::string> inputs_, outputs_;
};

int EveryGroup::OpenEach(Session& session, const std::string& input,
                         const std::string& label) const {
  const int groups = planned_.at(input);
  if (groups == 0) return ReportNoGroups(session, input);
  int status = kExitSuccess;
  for (int g = 0; g < groups; ++g) {
    const std::string out = GroupOutput(OutputFor(request_, input), g);
    const int one = OpenAndWrite(session, request_, input, g, out, label + " group " + std::to_string(g));
    // The host's own failures outrank the module's refusals, as in a batch.
    if (one == kExitHost || status == kExitSuccess) status = std::max(status, one);
  }
  return status;
}

int EveryGroup::Run(const Options& options, Streams io) const {
  Session session(options, io);
  const int started = session.Start("open", inputs_, outputs_, request_.outDir);
  if (started != kExitSuccess) return started;
  return RunBatch(session, request_.inputs, [&](const std::string& file, const std::string& label) {
    return OpenEach(session, file, label);
  });
}

}  // namespace

int RunOpen(const Options& options, const OpenRequest& request, Streams io) {
  if (!CheckOpenRequest(request, io)) return kExitUsage;
  if (request.group == kAllGroups) return EveryGroup(request).Run(options, io);
  return RunCommandBatch(
      options, io, "open", request.inputs, request.outDir,
      [&](const std::string& input) { return OutputFor(request, input); },
      [&](Session& session, const std::string& file, const std::string& label) {
        return OpenAndWrite(session, request, file, request.group, OutputFor(request, file), label);
      });
}

}  // namespace plughost
