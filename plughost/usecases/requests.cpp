#include "plughost/usecases/requests.h"

#include "plughost/files/file_checks.h"

namespace plughost {

namespace {

// One output for one input, or an output folder for any number.
RequestFault CheckOutputChoice(size_t count, const std::string& out, const std::string& outDir) {
  if (count == 0) return RequestFault::kNoInputs;
  if (out.empty() == outDir.empty()) return RequestFault::kOutputChoice;
  if (!out.empty() && count > 1) return RequestFault::kSeveralNeedFolder;
  return RequestFault::kNone;
}

std::string OutputInFolder(const std::string& outDir, const std::string& input, const std::string& extension) {
  return InFolder(outDir, StemOf(input) + "." + extension);
}

}  // namespace

std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  return folder + (last == '/' || last == '\\' ? "" : "/") + name;
}

bool GroupNumberOf(const std::string& digits, int* group) {
  if (digits.empty() || digits.size() > 5 || (digits[0] == '0' && digits.size() > 1)) return false;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  *group = n;
  return n <= kMaxGroup;
}

std::string StemOf(const std::string& path) {
  const std::string name = NameOf(path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

RequestFault CheckRequest(OpenRequest* request) {
  const RequestFault choice = CheckOutputChoice(request->inputs.size(), request->out, request->outDir);
  if (choice != RequestFault::kNone) return choice;
  const ImageFormat byName = request->out.empty() ? ImageFormat::kUnknown : FormatFromPath(request->out);
  if (!request->out.empty() && byName == ImageFormat::kUnknown) return RequestFault::kOutputNotWritten;
  if (request->format != ImageFormat::kUnknown && !request->out.empty() && request->format != byName)
    return RequestFault::kFormatContradicts;
  if (request->format == ImageFormat::kUnknown)
    request->format = byName != ImageFormat::kUnknown ? byName : ImageFormat::kPng;
  if (request->swatch > 0 && FormatById(request->format).kind == FileKind::kPaletteText)
    return RequestFault::kSwatchOfPaletteText;
  return RequestFault::kNone;
}

RequestFault CheckRequest(const SaveRequest& request) {
  if (!request.into.empty() && !request.intoDir.empty()) return RequestFault::kIntoBoth;
  if (!request.intoDir.empty()) {
    if (!request.out.empty() || !request.outDir.empty()) return RequestFault::kIntoAndOutputs;
    if (request.group != kNoGroup) return RequestFault::kGroupFromNames;
    return request.images.empty() ? RequestFault::kNoInputs : RequestFault::kNone;
  }
  if (request.into.empty()) {
    const RequestFault wrong = CheckOutputChoice(request.images.size(), request.out, request.outDir);
    if (wrong == RequestFault::kNone && request.group != kNoGroup)
      return RequestFault::kGroupWithoutInto;
    return wrong;
  }
  if (!request.out.empty() || !request.outDir.empty()) return RequestFault::kIntoAndOutputs;
  if (request.images.size() != 1)
    return request.images.empty() ? RequestFault::kNoInputs : RequestFault::kIntoTakesOne;
  return RequestFault::kNone;
}

std::string OutputFor(const OpenRequest& request, const std::string& input) {
  if (request.outDir.empty()) return request.out;
  return OutputInFolder(request.outDir, input, FormatById(request.format).extensions.front());
}

std::string OutputFor(const SaveRequest& request, const std::string& input) {
  if (!request.into.empty()) return request.into;
  if (request.outDir.empty()) return request.out;
  return OutputInFolder(request.outDir, input, FormatById(ImageFormat::kKissPalette).extensions.front());
}

std::string GroupOutput(const std::string& path, int group) {
  const std::string stem = StemOf(path);
  return FolderOf(path) + stem + "-" + std::to_string(group) + NameOf(path).substr(stem.size());
}

}  // namespace plughost
