#include "plughost/usecases/caller.h"

#include <cctype>

#include "interface/result_codes.h"
#include "plughost/files/file_checks.h"
#include "plughost/images/formats.h"

namespace plughost {

std::string ResultText(int result) {
  return "result " + std::to_string(result) + ": " + ResultMeaning(result);
}

std::string DescribeResult(const Caller& caller, const Host& host, int result) {
  const std::vector<Exchange>& exchanges = host.exchanges();
  if (!exchanges.empty() && exchanges.back().answer == result && result != kNoError) {
    // No warning was shown: the module only passed on what advanceState said.
    const std::string meaning = result == kUserCancelled ? "user cancelled" : ResultMeaning(result);
    return "result " + std::to_string(result) + ": " + meaning +
           ", answered by the host's own advanceState at row " +
           std::to_string(exchanges.back().rectTop) + caller.Advise({Hint::kHostAnswered, "", 0});
  }
  return ResultText(result);
}

void KeepingCaller::Tail(const Host& host) {
  for (const std::string& v : host.counts().violations)
    Note("the module broke the host interface: " + v);
}

std::string HistoryNote(const Host& host) {
  for (const Resource& r : host.resources())
    if (r.type == MakeFourCharCode("hist")) return std::string(r.bytes.begin(), r.bytes.end());
  return "";
}

int Verdict(Caller& caller, const Host& host, int status, const std::string& file) {
  const size_t broken = host.counts().violations.size();
  if (broken == 0 || status != kExitSuccess) return status;
  caller.Refused((file.empty() ? "" : file + ": ") + "the module broke the host interface " +
                 (broken == 1 ? "once" : std::to_string(broken) + " times") +
                 caller.Advise({Hint::kHostLines, file, int(broken)}));
  caller.BrokeInterface();
  return kExitModule;
}

std::string ExtensionNote(const LoadedModule& module, bool writes, const std::string& path) {
  const PropertyList& list = module.propertyList();
  const std::vector<std::string>& extensions = writes ? list.writeExtensions : list.readExtensions;
  if (!module.hasPropertyList() || extensions.empty()) return "";
  const std::string ext = ExtensionOf(path);
  std::string listed;
  for (const std::string& e : extensions) {
    std::string lower = ExtensionText(e);
    listed += (listed.empty() ? "." : ", .") + lower;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == ext) return "";
  }
  return std::string("the module ") + (writes ? "writes " : "reads ") + listed + " files; " +
         NameOf(path) + " has another extension";
}

}  // namespace plughost
