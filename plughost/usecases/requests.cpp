#include "plughost/usecases/requests.h"

#include "plughost/files/file_checks.h"

namespace plughost {

namespace {

// One of --out (for one input) and --out-dir; `inputs` names the inputs
// ("palette files"), `outTakes` what --out takes.
std::string CheckOutputChoice(size_t count, const std::string& out, const std::string& outDir,
                              const char* inputs, const char* outTakes) {
  if (count == 0) return std::string("no ") + inputs + " given";
  if (out.empty() == outDir.empty())
    return std::string("give --out ") + outTakes + " for one file or --out-dir DIR for several";
  if (!out.empty() && count > 1) return std::string("several ") + inputs + " need --out-dir DIR";
  return "";
}

std::string InFolder(const std::string& outDir, const std::string& input, const std::string& extension) {
  const char last = outDir.back();
  const std::string sep = last == '/' || last == '\\' ? "" : "/";
  return outDir + sep + StemOf(input) + "." + extension;
}

}  // namespace

std::string StemOf(const std::string& path) {
  const std::string name = NameOf(path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string CheckRequest(OpenRequest* request) {
  const std::string choice = CheckOutputChoice(request->inputs.size(), request->out,
                                               request->outDir, "palette files", "IMAGE");
  if (!choice.empty()) return choice;
  const ImageFormat byName = request->out.empty() ? ImageFormat::kUnknown : FormatFromPath(request->out);
  if (!request->out.empty() && byName == ImageFormat::kUnknown)
    return "--out must end in .png or .ppm, or .gpl or .pal for a palette: " + request->out;
  if (request->format != ImageFormat::kUnknown && !request->out.empty() && request->format != byName)
    return "--format contradicts the extension of --out " + request->out;
  if (request->format == ImageFormat::kUnknown)
    request->format = byName != ImageFormat::kUnknown ? byName : ImageFormat::kPng;
  if (request->swatch > 0 && FormatById(request->format).kind == FileKind::kPaletteText)
    return "--swatch makes tiles of an image; a palette file lists its colours";
  return "";
}

std::string CheckRequest(const SaveRequest& request) {
  if (request.into.empty()) {
    const std::string wrong = CheckOutputChoice(request.images.size(), request.out,
                                                request.outDir, "images", "FILE.kcf");
    if (wrong.empty() && request.group != kNoGroup)
      return "--group chooses a group of the palette given with --into";
    return wrong;
  }
  if (!request.out.empty() || !request.outDir.empty())
    return "give --into PALETTE.kcf, or --out or --out-dir, not both";
  if (request.images.size() != 1) return request.images.empty() ? "no images given" : "--into takes one image";
  return "";
}

std::string OutputFor(const OpenRequest& request, const std::string& input) {
  if (request.outDir.empty()) return request.out;
  return InFolder(request.outDir, input, FormatById(request.format).extensions.front());
}

std::string OutputFor(const SaveRequest& request, const std::string& input) {
  if (!request.into.empty()) return request.into;
  if (request.outDir.empty()) return request.out;
  return InFolder(request.outDir, input, FormatById(ImageFormat::kKissPalette).extensions.front());
}

std::string GroupOutput(const std::string& path, int group) {
  const std::string stem = StemOf(path);
  return FolderOf(path) + stem + "-" + std::to_string(group) + NameOf(path).substr(stem.size());
}

}  // namespace plughost
