#include "plughost/commands/session.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

#include <nlohmann/json.hpp>

#include "interface/result_codes.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/file_plan.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/files/system.h"

namespace plughost {

namespace {

using Json = nlohmann::ordered_json;

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

// A plain name is a file in the current folder, as info reads it, never a
// library the system would look for on its own search path.
std::string AsModulePath(const std::string& name) {
  if (!NameOf(name).empty() && NameOf(name) != name) return name;
  return sys::InCurrentFolder(name);
}

}  // namespace

std::string ResultText(int result) {
  return "result " + std::to_string(result) + ": " + ResultMeaning(result);
}

Session::Session(const Options& options, Streams io)
    : options_(options), io_(io), terminal_(StderrIsTerminal()) {}

int Session::Start(const char* command, const std::vector<std::string>& inputs,
                   const std::vector<std::string>& outputs, const std::string& outDir) {
  RemovePendingOnInterrupt();
  path_ = options_.module.empty() ? DefaultModulePath() : AsModulePath(options_.module);
  std::string error;
  if (!CheckCommandFiles({inputs, outputs, options_.traceFile, path_}, &error)) {
    io_.err << "plughost " << command << ": " << error << "\n";
    return kExitUsage;
  }
  int failure = 0;
  if (!outDir.empty() && !sys::MakeFolders(outDir, &failure)) {
    io_.err << "plughost: cannot make the folder " << outDir << ": " << ReasonText(failure) << "\n";
    return kExitHost;
  }
  if (!options_.traceFile.empty() && !trace_.Open(options_.traceFile, &error)) {
    io_.err << "plughost: " << error << "\n";
    return kExitHost;
  }
  module_ = LoadedModule::Load(path_, &error);
  if (module_ && options_.answerBoxes) sys::AnswerBoxesOf(module_.library());
  if (!module_) io_.err << "plughost: " << error << "\n";
  return module_ ? kExitSuccess : kExitHost;
}

bool Session::OutputStillWritable() {
  errno = 0;
  if (io_.out.flush()) return true;
  if (outputLost_) return false;  // said once already
  outputLost_ = true;
  const int failure = errno != 0 ? errno : EIO;
  io_.err << "plughost: cannot write to standard output: " << ErrnoText(failure)
          << "; stopping\n";
  return false;
}

bool Session::StopRequested(size_t done, size_t count) {
  if (!InterruptRequested()) return false;
  io_.err << "plughost: interrupted after " << done << " of " << count << " files\n";
  return true;
}

std::unique_ptr<Host> Session::NewHost(const std::string& command, const std::string& file) {
  auto host = std::make_unique<Host>(module_.entry(), options_.settings);
  if (trace_.active()) {
    trace_.Write("operation", Json{{"command", command}, {"file", file}, {"module", path_}});
    host->onTrace = [this](const std::string& event, const Json& fields) {
      trace_.Write(event, fields);
    };
  }
  return host;
}

void Session::AttachProgress(Host& host, ProgressBar& bar) {
  host.onProgress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
}

bool Session::ShowProgress() const { return terminal_ && !batchBar_; }

bool Session::ShowBatchProgress(size_t count) {
  batchBar_ = terminal_ && count > 1;
  return batchBar_;
}

void Session::ReportTail(const Host& host) {
  for (const std::string& v : host.counts().violations) io_.err << "  host: module " << v << "\n";
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

int Session::Verdict(const Host& host, int status, const std::string& file) {
  const size_t broken = host.counts().violations.size();
  if (broken == 0 || status != kExitSuccess) return status;
  ++brokenInterface_;
  io_.err << "plughost: " << (file.empty() ? "" : file + ": ") << "the module broke the host interface "
          << (broken == 1 ? "once" : std::to_string(broken) + " times") << " (host: lines)\n";
  return kExitModule;
}

std::string Session::DescribeResult(const Host& host, int result) const {
  const std::vector<Exchange>& exchanges = host.exchanges();
  if (!exchanges.empty() && exchanges.back().answer == result && result != kNoError) {
    // No warning was shown: the module only passed on what advanceState said.
    const std::string meaning = result == kUserCancelled ? "user cancelled" : ResultMeaning(result);
    return "result " + std::to_string(result) + ": " + meaning +
           ", answered by the host's own advanceState at row " +
           std::to_string(exchanges.back().rectTop) + " (--advance-fails-at)";
  }
  return ResultText(result);
}

void Session::NoteUnreadParams(const Host& host, const char* command) {
  if (notedParams_) return;
  notedParams_ = true;
  for (const DescriptorEntry& given : options_.settings.readParams) {
    const std::vector<FourCharCode>& read = host.paramsRead();
    if (std::find(read.begin(), read.end(), given.key) != read.end()) continue;
    io_.err << "plughost: note: " << command << " does not use --param " << CodeText(given.key)
            << "; the module read no such key\n";
  }
}

bool Session::OpenInput(const std::string& name, InputFile* file) {
  std::string error;
  if (file->Open(name, &error)) return true;
  io_.err << "plughost: " << error << "\n";
  return false;
}

bool Session::Finish() {
  std::string error;
  const bool written = OutputStillWritable();
  if (trace_.Close(&error)) return written;
  io_.err << "plughost: " << error << "\n";
  return false;
}

std::string ExtensionNote(const LoadedModule& module, const std::vector<std::string>& extensions,
                          const std::string& path, const char* verb) {
  if (!module.hasPropertyList() || extensions.empty()) return "";
  const std::string ext = ExtensionOf(path);
  std::string listed;
  for (const std::string& e : extensions) {
    std::string lower = Trimmed(e);
    listed += (listed.empty() ? "." : ", .") + lower;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == ext) return "";
  }
  return "plughost: note: the module " + std::string(verb) + " " + listed + " files; " +
         NameOf(path) + " has another extension\n";
}

}  // namespace plughost
