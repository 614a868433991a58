// plughost open: palettes in, images out, one file or a batch.
#include <filesystem>
#include <memory>

#include "interface/result_codes.h"
#include "plughost/atomic_file.h"
#include "plughost/file_checks.h"
#include "plughost/input_file.h"
#include "plughost/palette_notes.h"
#include "plughost/session.h"

namespace plughost {

namespace {

ImageFormat FormatOf(const OpenRequest& request) {
  if (request.format != ImageFormat::kUnknown) return request.format;
  return request.out.empty() ? ImageFormat::kPng : FormatFromPath(request.out);
}

std::string OutputFor(const OpenRequest& request, const std::string& input) {
  if (request.outDir.empty()) return request.out;
  const char* ext = FormatOf(request) == ImageFormat::kPpm ? ".ppm" : ".png";
  const char last = request.outDir.back();
  const std::string sep = last == '/' || last == '\\' ? "" : "/";
  return request.outDir + sep + StemOf(input) + ext;
}

bool CheckOpenRequest(const OpenRequest& request, Streams io) {
  auto usage = [&](const std::string& text) {
    io.err << "plughost open: " << text << "\n";
    return false;
  };
  if (request.inputs.empty()) return usage("no palette file given");
  if (request.out.empty() == request.outDir.empty())
    return usage("give either --out IMAGE (one file) or --out-dir DIR");
  if (!request.out.empty() && request.inputs.size() > 1)
    return usage("several files need --out-dir DIR, not --out");
  if (!request.out.empty()) {
    const ImageFormat byName = FormatFromPath(request.out);
    if (byName == ImageFormat::kUnknown)
      return usage("--out must end in .png or .ppm: " + request.out);
    if (request.format != ImageFormat::kUnknown && request.format != byName)
      return usage("--format contradicts the extension of --out " + request.out);
  }
  return true;
}

// The image of one palette: read, run the module, write, report.
int OpenOne(Session& session, const OpenRequest& request, const std::string& input,
            const std::string& label) {
  Streams io = session.io();
  InputFile file;
  std::string error;
  if (!file.Open(input, &error)) {
    io.err << "plughost: " << error << "\n";
    return kExitHost;
  }
  const std::vector<uint8_t> head = file.Head(kNoteBytes);
  io.err << ExtensionNote(session.module(), session.module().propertyList().readExtensions, input,
                          "reads");
  std::unique_ptr<Host> host = session.NewHost("open", input);
  ProgressBar bar(session.ShowProgress(), label);
  session.AttachProgress(*host, bar);
  const int16_t result = host->Open(file.ref());
  const uint64_t read = file.Position();
  file.Close();
  bar.Finish();
  session.NoteUnreadParams(*host, "open");
  if (result != kNoError) {
    const std::string why = ExplainRefusal(head, result);
    io.err << "plughost: " << input << ": " << session.DescribeResult(*host, result)
           << (why.empty() ? "" : "; " + why) << "\n";
    session.ReportTail(*host);
    return kExitModule;
  }
  const std::string out = OutputFor(request, input);
  const Image& document = host->document();
  const Image written = request.swatch > 0 ? MakeSwatch(document, request.swatch) : document;
  const std::vector<uint8_t> encoded = EncodeImage(written, FormatOf(request));
  if (encoded.empty()) {
    io.err << "plughost: cannot encode a " << written.columns << " x " << written.rows
           << " image for " << out << "\n";
    return kExitHost;
  }
  if (!WriteFileAtomically(out, encoded, Content::kImage, request.force, &error)) {
    io.err << "plughost: " << error << "\n";
    return kExitHost;
  }
  io.out << input << " -> " << out << " (" << document.columns << " x " << document.rows << " RGB"
         << (request.swatch > 0 ? ", swatch of " + std::to_string(request.swatch) + "-pixel tiles"
                                : "")
         << ")\n";
  const std::string note = OpenedNote(head, file.size(), read);
  if (!note.empty()) io.err << "plughost: note: " << input << ": " << note << "\n";
  for (const Resource& r : host->resources()) {
    if (r.type == MakeFourCharCode("hist"))
      io.out << "  history note: " << std::string(r.bytes.begin(), r.bytes.end()) << "\n";
  }
  session.ReportTail(*host);
  return kExitSuccess;
}

}  // namespace

int RunOpen(const Options& options, const OpenRequest& request, Streams io) {
  if (!CheckOpenRequest(request, io)) return kExitUsage;
  std::vector<std::string> outputs;
  outputs.reserve(request.inputs.size());
  for (const std::string& input : request.inputs) outputs.push_back(OutputFor(request, input));
  std::string error;
  if (!CheckBatchPaths(request.inputs, outputs, options.traceFile, &error)) {
    io.err << "plughost open: " << error << "\n";
    return kExitUsage;
  }
  std::error_code made;
  if (!request.outDir.empty()) std::filesystem::create_directories(request.outDir, made);
  if (made) {
    io.err << "plughost: cannot make the folder " << request.outDir << ": "
           << ErrnoText(made.value()) << "\n";
    return kExitHost;
  }
  Session session(options, io);
  if (!session.Start()) return kExitHost;
  int status = kExitSuccess, failed = 0;
  const size_t count = request.inputs.size();
  for (size_t i = 0; i < count; ++i) {
    const std::string& input = request.inputs[i];
    const std::string place =
        count > 1 ? " (" + std::to_string(i + 1) + " of " + std::to_string(count) + ")" : "";
    const int one = OpenOne(session, request, input, NameOf(input) + place);
    failed += one != kExitSuccess;
    status = CombineStatus(status, one);
  }
  ReportBatch(io, count, failed);
  return session.Finish() ? status : kExitHost;
}

}  // namespace plughost
