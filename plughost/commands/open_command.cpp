// plughost open: palettes in, images out, one file or a batch. For each
// file: read it through the module, write the image, report.
#include <memory>

#include "interface/result_codes.h"
#include "plughost/files/atomic_file.h"
#include "plughost/commands/batch.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/images/palette_files.h"
#include "plughost/images/palette_notes.h"
#include "plughost/commands/session.h"

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

int OpenThroughModule(Session& session, const std::string& input, const std::string& label,
                      Opened* opened) {
  Streams io = session.io();
  InputFile file;
  if (!session.OpenInput(input, &file)) return kExitHost;
  opened->head = file.Head(kNoteBytes);
  opened->size = file.size();
  io.err << ExtensionNote(session.module(), session.module().propertyList().readExtensions, input,
                          "reads");
  opened->host = session.NewHost("open", input);
  ProgressBar bar(session.ShowProgress(), label);
  session.AttachProgress(*opened->host, bar);
  const int16_t result = opened->host->Open(file.ref());
  opened->read = file.Position();
  bar.Finish();
  session.NoteUnreadParams(*opened->host, "open");
  if (result == kNoError) return kExitSuccess;
  const std::string why = ExplainRefusal(opened->head, result);
  io.err << "plughost: " << input << ": " << session.DescribeResult(*opened->host, result)
         << (why.empty() ? "" : "; " + why) << "\n";
  session.ReportTail(*opened->host);
  return kExitModule;
}

int WriteDocument(Session& session, const OpenRequest& request, const std::string& out,
                  const Image& document) {
  const Image written = request.swatch > 0 ? MakeSwatch(document, request.swatch) : document;
  const PaletteText palette = PaletteKind(FormatOf(request));
  const std::vector<uint8_t> encoded =
      palette != PaletteText::kNone ? EncodePaletteText(written, palette, StemOf(out))
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

void ReportOpened(Session& session, const OpenRequest& request, const std::string& input,
                  const std::string& out, const Opened& opened) {
  Streams io = session.io();
  const Image& document = opened.host->document();
  const bool palette = PaletteKind(FormatOf(request)) != PaletteText::kNone;
  io.out << input << " -> " << out << " ("
         << (palette ? std::to_string(document.columns * document.rows) + " colours"
                     : std::to_string(document.columns) + " x " + std::to_string(document.rows) +
                           " RGB")
         << (request.swatch > 0 ? ", swatch of " + std::to_string(request.swatch) + "-pixel tiles"
                                : "")
         << ")\n";
  const std::string note = OpenedNote(opened.head, opened.size, opened.read);
  if (!note.empty()) io.err << "plughost: note: " << input << ": " << note << "\n";
  for (const Resource& r : opened.host->resources()) {
    if (r.type == MakeFourCharCode("hist"))
      io.out << "  history note: " << std::string(r.bytes.begin(), r.bytes.end()) << "\n";
  }
  session.ReportTail(*opened.host);
}

int OpenOne(Session& session, const OpenRequest& request, const std::string& input,
            const std::string& label) {
  Opened opened;
  const int status = OpenThroughModule(session, input, label, &opened);
  if (status != kExitSuccess) return status;
  const std::string out = OutputFor(request, input);
  if (WriteDocument(session, request, out, opened.host->document()) != kExitSuccess)
    return kExitHost;
  ReportOpened(session, request, input, out, opened);
  return session.Verdict(*opened.host, kExitSuccess, input);
}

}  // namespace

int RunOpen(const Options& options, const OpenRequest& request, Streams io) {
  if (!CheckOpenRequest(request, io)) return kExitUsage;
  return RunCommandBatch(
      options, io, "open", request.inputs, request.outDir,
      [&](const std::string& input) { return OutputFor(request, input); },
      [&](Session& session, const std::string& file, const std::string& label) {
        return OpenOne(session, request, file, label);
      });
}

}  // namespace plughost
