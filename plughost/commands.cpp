#include "plughost/commands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>

#include "host/result_codes.h"
#include "plughost/atomic_file.h"
#include "plughost/module_loader.h"
#include "plughost/palette_notes.h"
#include "plughost/terminal.h"

namespace plughost {

namespace {

using Json = nlohmann::ordered_json;

std::string CodeText(FourCharCode code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((code >> shift) & 0xFF);
  return text;
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StemOf(const std::string& path) {
  const std::string name = NameOf(path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The module's extensions as its property list gives them ("KCF "), in
// any case; a module without a property list claims none.
std::string ExtensionNote(const LoadedModule& module, const std::vector<std::string>& extensions,
                          const std::string& path, const char* verb) {
  if (!module.hasPropertyList() || extensions.empty()) return "";
  std::string ext = NameOf(path);
  const size_t dot = ext.find_last_of('.');
  ext = dot == std::string::npos ? "" : ext.substr(dot + 1);
  std::string listed;
  for (std::string e : extensions) {
    while (!e.empty() && (e.back() == ' ' || e.back() == '\0')) e.pop_back();
    listed += (listed.empty() ? "." : ", .") + e;
    if (e.size() == ext.size() && std::equal(e.begin(), e.end(), ext.begin(), [](char a, char b) {
          return std::toupper(static_cast<unsigned char>(a)) ==
                 std::toupper(static_cast<unsigned char>(b));
        }))
      return "";
  }
  return "plughost: note: the module " + std::string(verb) + " " + listed + " files; " +
         NameOf(path) + " has another extension\n";
}

// A module loaded once for a command, a trace shared by its operations,
// and a fresh Host (data slot, suites, document) for each operation.
class Session {
 public:
  Session(const Options& options, Streams io)
      : options_(options), io_(io), boxes_(options.answerBoxes) {}

  bool Start() {
    std::string error;
    if (!options_.traceFile.empty() && !trace_.Open(options_.traceFile, &error)) {
      io_.err << "plughost: " << error << "\n";
      return false;
    }
    path_ = options_.module.empty() ? DefaultModulePath() : options_.module;
    module_ = LoadedModule::Load(path_, &error);
    if (!module_) io_.err << "plughost: " << error << "\n";
    return bool(module_);
  }

  std::unique_ptr<Host> NewHost(const std::string& command, const std::string& file) {
    auto host = std::make_unique<Host>(module_.entry(), options_.settings);
    if (trace_.active()) {
      trace_.Write("operation", Json{{"command", command}, {"file", file}, {"module", path_}});
      host->onTrace = [this](const std::string& event, const Json& fields) {
        trace_.Write(event, fields);
      };
    }
    return host;
  }

  void AttachProgress(Host& host, ProgressBar& bar) {
    host.onProgress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
  }
  bool ShowProgress() const { return StderrIsTerminal(); }

  // What the module recorded at the finish, and every selector, with --verbose.
  void PrintVerbose(const Host& host) {
    if (!options_.verbose) return;
    for (const SelectorCall& call : host.calls()) {
      io_.out << "  selector " << call.selector << " " << SelectorName(call.selector) << ": "
              << ResultText(call.result) << "\n";
    }
    const std::vector<DescriptorEntry> recorded = host.RecordedParams();
    if (recorded.empty()) io_.out << "  recorded: nothing\n";
    for (const DescriptorEntry& e : recorded) {
      io_.out << "  recorded: " << CodeText(e.key) << " (" << CodeText(e.type)
              << ") = " << (e.value != 0 ? "true" : "false") << "\n";
    }
  }

  // Misuse the host caught, which a module result alone would not show.
  void PrintViolations(const Host& host) {
    for (const std::string& v : host.counts().violations) io_.err << "  host: module " << v << "\n";
  }

  const LoadedModule& module() const { return module_; }

 private:
  const Options& options_;
  Streams io_;
  BoxAnswerer boxes_;
  TraceWriter trace_;
  std::string path_;
  LoadedModule module_;
};

void ReportModuleFailure(Streams io, const std::string& file, int result,
                         const std::vector<uint8_t>& bytes) {
  io.err << "plughost: " << file << ": " << ResultText(result);
  const std::string why = ExplainRefusal(bytes, result);
  if (!why.empty()) io.err << "; " << why;
  io.err << "\n";
}

std::string OutputFor(const OpenRequest& request, const std::string& input) {
  if (!request.outDir.empty()) {
    const char* ext = request.dirFormat == ImageFormat::kPpm ? ".ppm" : ".png";
    const char last = request.outDir.back();
    const std::string sep = last == '/' || last == '\\' ? "" : "/";
    return request.outDir + sep + StemOf(input) + ext;
  }
  return request.out;
}

// `label` names the file on the progress bar, with its place in a batch.
int OpenOne(Session& session, const OpenRequest& request, const std::string& input,
            const std::string& label, Streams io) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(input, &bytes, &error)) {
    io.err << "plughost: " << error << "\n";
    return kExitHost;
  }
  const int32_t ref = OpenForReading(input);
  if (ref < 0) {
    io.err << "plughost: cannot open " << input << "\n";
    return kExitHost;
  }
  io.err << ExtensionNote(session.module(), session.module().propertyList().readExtensions, input,
                          "reads");
  std::unique_ptr<Host> host = session.NewHost("open", input);
  ProgressBar bar(session.ShowProgress(), label);
  session.AttachProgress(*host, bar);
  const int16_t result = host->Open(ref);
  CloseFile(ref);
  bar.Finish();
  if (result != kNoError) {
    ReportModuleFailure(io, input, result, bytes);
    session.PrintViolations(*host);
    session.PrintVerbose(*host);
    return kExitModule;
  }
  const std::string out = OutputFor(request, input);
  const Image& document = host->document();
  const Image written = request.swatch > 0 ? MakeSwatch(document, request.swatch) : document;
  const std::vector<uint8_t> encoded = EncodeImage(written, FormatFromPath(out));
  if (encoded.empty()) {
    io.err << "plughost: cannot encode a " << written.columns << " x " << written.rows
           << " image for " << out << "\n";
    return kExitHost;
  }
  if (!WriteFileAtomically(out, encoded, &error)) {
    io.err << "plughost: " << error << "\n";
    return kExitHost;
  }
  io.out << input << " -> " << out << " (" << document.columns << " x " << document.rows << " RGB"
         << (request.swatch > 0 ? ", swatch of " + std::to_string(request.swatch) + "-pixel tiles"
                                : "")
         << ")\n";
  for (const Resource& r : host->resources()) {
    if (r.type == MakeFourCharCode("hist"))
      io.out << "  history note: " << std::string(r.bytes.begin(), r.bytes.end()) << "\n";
  }
  session.PrintViolations(*host);
  session.PrintVerbose(*host);
  return kExitSuccess;
}

// Both exist and are one file, by whatever names.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ignored;
  return std::filesystem::equivalent(a, b, ignored);
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
  if (!request.out.empty() && FormatFromPath(request.out) == ImageFormat::kUnknown)
    return usage("--out must end in .png or .ppm: " + request.out);
  if (request.swatch < 0 || request.swatch > 255) return usage("--swatch takes 1 to 255");
  // Two inputs of one name would overwrite each other's image.
  std::map<std::string, std::string> seen;
  for (const std::string& input : request.inputs) {
    const std::string out = OutputFor(request, input);
    if (!seen.emplace(out, input).second)
      return usage(seen[out] + " and " + input + " would both be written to " + out);
    for (const std::string& other : request.inputs)
      if (SameFile(other, out)) return usage(out + " would replace " + other + ", which is opened");
  }
  return true;
}

std::string PixelsDropped(const Image& image) {
  const int64_t kept = int64_t{std::min(image.rows, 16)} * std::min(image.columns, 16);
  const int64_t dropped = int64_t{image.rows} * image.columns - kept;
  if (dropped <= 0) return "";
  return "only the first 16 rows and 16 columns of the " + std::to_string(image.columns) + " x " +
         std::to_string(image.rows) + " image are saved; " + std::to_string(dropped) +
         " pixels are not in the palette";
}

}  // namespace

std::string ResultText(int result) {
  return "result " + std::to_string(result) + ": " + ResultMeaning(result);
}

int RunOpen(const Options& options, const OpenRequest& request, Streams io) {
  if (!CheckOpenRequest(request, io)) return kExitUsage;
  std::error_code made;
  if (!request.outDir.empty()) std::filesystem::create_directories(request.outDir, made);
  if (made) {
    io.err << "plughost: cannot create " << request.outDir << ": " << made.message() << "\n";
    return kExitHost;
  }
  Session session(options, io);
  if (!session.Start()) return kExitHost;
  int status = kExitSuccess;
  int failed = 0;
  const size_t count = request.inputs.size();
  for (size_t i = 0; i < count; ++i) {
    const std::string& input = request.inputs[i];
    const std::string place =
        count > 1 ? " (" + std::to_string(i + 1) + " of " + std::to_string(count) + ")" : "";
    const int one = OpenOne(session, request, input, NameOf(input) + place, io);
    failed += one != kExitSuccess;
    // The host's own failures outrank the module's refusals.
    if (one == kExitHost || status == kExitSuccess) status = std::max(status, one);
  }
  if (request.inputs.size() > 1 && failed > 0) {
    io.err << "plughost: " << failed << " of " << request.inputs.size()
           << " files could not be converted\n";
  }
  return status;
}

int RunSave(const Options& options, const SaveRequest& request, Streams io) {
  if (request.swatch < 0 || request.swatch > 255) {
    io.err << "plughost save: --swatch takes 1 to 255\n";
    return kExitUsage;
  }
  if (SameFile(request.image, request.out)) {
    io.err << "plughost save: --out " << request.out << " would replace the image being saved\n";
    return kExitUsage;
  }
  Image image;
  std::string error;
  if (!ReadImage(request.image, &image, &error)) {
    io.err << "plughost: cannot read the image: " << error << "\n";
    return kExitHost;
  }
  if (request.swatch > 0) {
    Image colours;
    if (!ReadSwatch(image, request.swatch, &colours, &error)) {
      io.err << "plughost: " << request.image << ": " << error << "\n";
      return kExitHost;
    }
    image = colours;
  }
  Session session(options, io);
  if (!session.Start()) return kExitHost;
  AtomicFile target;
  if (!target.Begin(request.out, &error)) {
    io.err << "plughost: " << error << "\n";
    return kExitHost;
  }
  const int32_t ref = CreateForWriting(target.tempPath());
  if (ref < 0) {
    io.err << "plughost: cannot open " << target.tempPath() << " for writing\n";
    return kExitHost;
  }
  io.err << ExtensionNote(session.module(), session.module().propertyList().writeExtensions,
                          request.out, "writes");
  std::unique_ptr<Host> host = session.NewHost("save", request.out);
  ProgressBar bar(session.ShowProgress(), NameOf(request.out));
  session.AttachProgress(*host, bar);
  const int16_t result = host->Save(ref, image);
  CloseFile(ref);
  bar.Finish();
  if (result != kNoError) {
    io.err << "plughost: " << request.out << ": " << ResultText(result) << "; "
           << "nothing was written there\n";
    session.PrintViolations(*host);
    session.PrintVerbose(*host);
    return kExitModule;
  }
  std::error_code sizeError;
  const uintmax_t bytes = std::filesystem::file_size(target.tempPath(), sizeError);
  if (!target.Commit(&error)) {
    io.err << "plughost: " << error << "\n";
    return kExitHost;
  }
  io.out << request.image << " -> " << request.out << " (" << (sizeError ? 0 : bytes)
         << " bytes)\n";
  const std::string dropped = PixelsDropped(image);
  if (!dropped.empty()) io.err << "plughost: note: " << dropped << "\n";
  session.PrintViolations(*host);
  session.PrintVerbose(*host);
  return kExitSuccess;
}

int RunProbe(const Options& options, const std::vector<std::string>& files, Streams io) {
  if (files.empty()) {
    io.err << "plughost probe: no file given\n";
    return kExitUsage;
  }
  Session session(options, io);
  if (!session.Start()) return kExitHost;
  int status = kExitSuccess;
  for (const std::string& file : files) {
    std::vector<uint8_t> bytes;
    std::string error;
    const int32_t ref = ReadFileBytes(file, &bytes, &error) ? OpenForReading(file) : -1;
    if (ref < 0) {
      io.err << "plughost: " << (error.empty() ? "cannot open " + file : error) << "\n";
      status = kExitHost;
      continue;
    }
    std::unique_ptr<Host> host = session.NewHost("probe", file);
    const int16_t result = host->Filter(ref);
    CloseFile(ref);
    if (result == kNoError) {
      io.out << file << ": palette\n";
      continue;
    }
    const std::string why = ExplainRefusal(bytes, result);
    io.out << file << ": not a palette (" << ResultText(result) << (why.empty() ? "" : "; " + why)
           << ")\n";
    if (status == kExitSuccess) status = kExitModule;
  }
  return status;
}

int RunAbout(const Options& options, Streams io) {
  Session session(options, io);
  if (!session.Start()) return kExitHost;
  std::unique_ptr<Host> host = session.NewHost("about", "");
  const int16_t before = host->result();
  const int16_t after = host->CallAbout(0);
  if (after != before) {
    io.err << "plughost: the About selector changed the result to " << ResultText(after) << "\n";
    return kExitModule;
  }
  session.PrintVerbose(*host);
  return kExitSuccess;
}

}  // namespace plughost

namespace plughost {

namespace {

// The host's image modes in the order of the "mode" bits (top bit first)
// and of the "mxch" entries.
constexpr const char* kModeNames[] = {
    "bitmap", "grayscale",    "indexed",           "RGB",      "CMYK",   "HSL",
    "HSB",    "multichannel", "duotone",           "Lab",      "gray16", "RGB48",
    "Lab48",  "CMYK64",       "deep multichannel", "duotone16"};

std::string Trimmed(const std::string& extension) {
  std::string text = extension;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

std::string JoinExtensions(const std::vector<std::string>& list) {
  std::string text;
  for (const std::string& e : list) text += (text.empty() ? "" : ", ") + Trimmed(e);
  return text.empty() ? "none" : text;
}

std::string Hex(uint32_t value, int digits) {
  static const char* const kDigits = "0123456789abcdef";
  std::string text;
  for (int i = digits - 1; i >= 0; --i) text += kDigits[(value >> (4 * i)) & 0xF];
  return "0x" + text;
}

void PrintPropertyList(const PropertyList& p, std::ostream& out) {
  out << "kind:              " << CodeText(p.kind)
      << (p.kind == MakeFourCharCode("8BIF") ? " (file-format module)" : "") << "\n";
  out << "name:              " << p.name << "\n";
  out << "interface version: " << p.interfaceMajor << "." << p.interfaceMinor << "\n";
  out << "entry point:       " << p.entryPointX86 << "\n";
  std::string modes;
  for (int bit = 0; bit < 16; ++bit) {
    if ((p.modes & (0x8000u >> bit)) != 0)
      modes += (modes.empty() ? "" : ", ") + std::string(kModeNames[bit]);
  }
  out << "image modes:       " << Hex(p.modes, 4) << " (" << (modes.empty() ? "none" : modes)
      << ")\n";
  out << "enabled when:      " << p.enableExpression << "\n";
  out << "reads:             " << JoinExtensions(p.readExtensions) << "\n";
  out << "writes:            " << JoinExtensions(p.writeExtensions) << "\n";
  out << "filters:           " << JoinExtensions(p.filterExtensions);
  for (const FilterType& t : p.filterTypes)
    out << "; type \"" << CodeText(t.fileType) << "\" creator \"" << CodeText(t.creator) << "\"";
  out << "\n";
  out << "file type:         \"" << CodeText(p.fileType) << "\" creator \""
      << CodeText(p.fileCreator) << "\"\n";
  out << "format flags:      " << Hex(p.formatFlags, 2) << "\n";
  out << "largest size:      " << p.maxRows << " rows x " << p.maxColumns << " columns\n";
  out << "channels:         ";
  for (size_t i = 0; i < p.maxChannels.size(); ++i) {
    out << (i == 0 ? " " : ", ") << (i < 16 ? kModeNames[i] : "mode " + std::to_string(i)) << " "
        << p.maxChannels[i];
  }
  out << "\n";
  if (p.hasTerminology) {
    out << "terminology:       AETE " << p.terminologyId << ", class \""
        << CodeText(p.terminologyClass) << "\", scope \"" << p.terminologyScope << "\"\n";
  }
}

}  // namespace

int RunInfo(const Options& options, const std::string& module, Streams io) {
  const std::string path = !module.empty()           ? module
                           : !options.module.empty() ? options.module
                                                     : DefaultModulePath();
  PropertyList list;
  std::string error;
  if (!LoadModulePropertyList(path, &list, &error)) {
    io.err << "plughost: " << error << "\n";
    return kExitHost;
  }
  io.out << "module:            " << path << "\n";
  PrintPropertyList(list, io.out);
  return kExitSuccess;
}

}  // namespace plughost
