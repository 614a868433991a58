#include "plughost/commands/command_line_caller.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iostream>

#include <nlohmann/json.hpp>

#include "interface/result_codes.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/file_plan.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/system/system.h"
#include "plughost/usecases/replacing.h"

namespace plughost {

namespace {

using Json = nlohmann::ordered_json;

// A plain name is a file in the current folder, as info reads it, never a
// library the system would look for on its own search path.
std::string AsModulePath(const std::string& name) {
  if (!NameOf(name).empty() && NameOf(name) != name) return name;
  return sys::InCurrentFolder(name);
}

}  // namespace

CommandLineCaller::CommandLineCaller(const Options& options, Streams io)
    : options_(options),
      io_(io),
      terminal_(StderrIsTerminal()),
      // Quiet by default on a terminal, as cp is; a script reading the
      // lines gets them.
      lines_(!options.quiet &&
             (options.verbose || &io.out != &std::cout || !StdoutIsTerminal())) {
  path_ = options_.module.empty() ? DefaultModulePath() : AsModulePath(options_.module);
}

int CommandLineCaller::Begin() {
  std::string error;
  if (!options_.traceFile.empty() && !trace_.Open(options_.traceFile, MayReplaceWithTrace(), &error)) {
    Refused(error);
    return kExitHost;
  }
  module_ = LoadedModule::Load(path_, &error);
  if (module_ && options_.answerBoxes) sys::AnswerBoxesOf(module_.library());
  if (!module_) Refused(error);
  return module_ ? kExitSuccess : kExitHost;
}

bool CommandLineCaller::OutputStillWritable() {
  errno = 0;
  if (io_.out.flush()) return true;
  if (outputLost_) return false;  // said once already
  outputLost_ = true;
  const int failure = sys::StdoutClosedAtStart() ? EBADF : errno != 0 ? errno : EIO;
  io_.err << "plughost: cannot write to standard output: " << ErrnoText(failure)
          << "; stopping\n";
  return false;
}

std::string CommandLineCaller::BeforePlacing(CommitTogether& outputs) {
  if (!CloseTrace(&outputs)) return "the trace could not be written";
  if (sys::StdoutReaderGone()) return "standard output has no reader left";
  return "";
}

std::unique_ptr<Host> CommandLineCaller::NewHost(const std::string& command, const std::string& file) {
  auto host = std::make_unique<Host>(module_.entry(), options_.settings);
  if (trace_.active()) {
    trace_.Write("operation", Json{{"command", command}, {"file", file}, {"module", path_}});
    host->onTrace = [this](const std::string& event, const Json& fields) {
      trace_.Write(event, fields);
    };
  }
  return host;
}

void CommandLineCaller::RunStarts(Host& host, const std::string& label) {
  bar_ = std::make_unique<ProgressBar>(terminal_ && !batchBar_ && !options_.quiet, label);
  ProgressBar* bar = bar_.get();
  host.onProgress = [bar](int32_t done, int32_t total) { bar->Update(done, total); };
}

void CommandLineCaller::RunEnds(Host& host, const char* operation) {
  host.onProgress = nullptr;
  bar_.reset();
  NoteUnreadParams(host, operation);
}

// Each line is handed on whole: standard error is unbuffered, and a batch
// may say something of many files.
// --quiet keeps only refusals; under a batch's bar notes are counted, and
// said in one line at its end, unless --verbose asks for each.
void CommandLineCaller::Note(const std::string& text) {
  if (options_.quiet) return;
  if (batchBar_ && !options_.verbose) {
    ++heldNotes_;
    return;
  }
  io_.err << "plughost: note: " + Printable(text) + "\n";
}

#if !defined(_WIN32)
namespace {

// A folder as a POSIX shell takes it: quoted when it holds anything but
// letters, digits and . _ / -; "./" for the current one.
std::string ShellQuoted(const std::string& folder) {
  if (folder.empty()) return "./";
  const bool plain = std::all_of(folder.begin(), folder.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr("._/-", c) != nullptr;
  });
  if (plain) return folder;
  std::string quoted = "'";
  for (char c : folder) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace
#endif

std::string CommandLineCaller::Advise(const Advice& advice) const {
  const std::string n = std::to_string(advice.number);
  switch (advice.hint) {
    case Hint::kReplace:
      return "; give --force to replace it";
    case Hint::kPutIntoOrReplace:
      return "; give --into " + advice.file +
             " to put the colours into it in its own form, or --force to replace it";
    case Hint::kOpenGroups:
      return "; open one group at a time with --group N, N from 0 to " +
             std::to_string(advice.number - 1) + ", or every group with --group all";
    case Hint::kChooseGroup:
      return "; give --group N to put the colours into one group";
    case Hint::kSwatch:
      return ": give --swatch " + n;
    case Hint::kSwatchIfOne:
      return "; if it is one, add --swatch " + n + " to save one colour from each tile";
    case Hint::kSwatchFound:
      return "; give --swatch 0 to save its first pixels as they are";
    case Hint::kHostAnswered:
      return " (--advance-fails-at)";
    case Hint::kHostLines:
      return " (host: lines)";
    case Hint::kOneLayerOfMany:
      return "; put it back with save --into " + advice.file + " --group N";
    case Hint::kLeftovers:
#if defined(_WIN32)
      return std::string("; once no plughost is running, delete ") + (advice.number == 1 ? "it" : "them");
#else
      return std::string("; once no plughost is running, remove ") + (advice.number == 1 ? "it" : "them") +
             ": rm -r " + ShellQuoted(advice.file) + sys::kTemporaryPrefix + "*";
#endif
  }
  return "";
}

void CommandLineCaller::Refused(const std::string& sentence) {
  io_.err << "plughost: " + Printable(sentence) + "\n";
}

void CommandLineCaller::Done(const std::string& line, const std::string& target) {
  // On a terminal a single file still gets its line; a batch, its bar.
  if (target.empty() || lines_ || (!options_.quiet && !batchBar_)) io_.out << Printable(line) << "\n";
}

void CommandLineCaller::Opened(const Host& host) {
  // The module attaches the same note to every document: a batch shows it
  // only when asked.
  const std::string note = HistoryNote(host);
  if (options_.verbose && !note.empty()) io_.out << "  history note: " << Printable(note) << "\n";
}

void CommandLineCaller::BatchStarts(size_t count) {
  batchBar_ = terminal_ && count > 1;
  batchProgress_ = std::make_unique<BatchProgress>(batchBar_ && !options_.quiet, count);
}

void CommandLineCaller::FileStarts() {
  if (batchProgress_) batchProgress_->BeforeFile();
}

void CommandLineCaller::FileEnds(size_t done) {
  if (batchProgress_) batchProgress_->FileDone(done);
}

void CommandLineCaller::BatchEnds() {
  if (batchProgress_) batchProgress_->Finish();
  if (heldNotes_ == 0) return;
  io_.err << "plughost: " << WithThousands(heldNotes_) << (heldNotes_ == 1 ? " note" : " notes")
          << " on these files not shown; give -v to see each\n";
  heldNotes_ = 0;
}

void CommandLineCaller::Tail(const Host& host) {
  for (const std::string& v : host.counts().violations)
    io_.err << "  host: module " << Printable(v) << "\n";
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

void CommandLineCaller::NoteUnreadParams(const Host& host, const char* command) {
  if (notedParams_) return;
  notedParams_ = true;
  for (const DescriptorEntry& given : options_.settings.readParams) {
    const std::vector<FourCharCode>& read = host.paramsRead();
    if (std::find(read.begin(), read.end(), given.key) != read.end()) continue;
    io_.err << "plughost: note: " << command << " does not use --param " << CodeText(given.key)
            << "; the module read no such key\n";
  }
}

bool CommandLineCaller::CloseTrace(CommitTogether* together) {
  std::string error;
  if (trace_.Close(&error, together)) return true;
  Refused(error);
  return false;
}

}  // namespace plughost
