#include "plughost/usecases/batch.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "plughost/files/file_checks.h"
#include "plughost/files/file_plan.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/system/system.h"

namespace plughost {

// The caller the batch hands the use cases: the batch's own caller in all
// but two things. Outputs are queued to be put in place together, and the
// line of an output is kept until they are about to be.
class Batch::Together : public Caller {
 public:
  Together(Caller& caller, CommitTogether& outputs) : caller_(caller), outputs_(outputs) {}
  const LoadedModule& module() const override { return caller_.module(); }
  std::unique_ptr<Host> NewHost(const std::string& operation, const std::string& file) override {
    return caller_.NewHost(operation, file);
  }
  void RunStarts(Host& host, const std::string& label) override { caller_.RunStarts(host, label); }
  void RunEnds(Host& host, const char* operation) override { caller_.RunEnds(host, operation); }
  void Note(const std::string& text) override { caller_.Note(text); }
  std::string Advise(const Advice& advice) const override { return caller_.Advise(advice); }
  void Refused(const std::string& sentence) override {
    if (refusal_ != nullptr && refusal_->empty()) *refusal_ = sentence;
    caller_.Refused(sentence);
  }
  // Where the first refusal of the file running is kept; null between files.
  void KeepRefusal(std::string* refusal) { refusal_ = refusal; }
  void Done(const std::string& line, const std::string& target) override {
    if (target.empty()) caller_.Done(line, target);
    else done_.emplace_back(target, line);
  }
  void Opened(const Host& host) override { caller_.Opened(host); }
  void Tail(const Host& host) override { caller_.Tail(host); }
  void BrokeInterface() override {
    ++broken_;
    caller_.BrokeInterface();
  }
  CommitTogether* outputs() override { return &outputs_; }

  size_t broken() const { return broken_; }
  // The kept lines, said now.
  void SayKept() {
    for (const auto& done : done_) caller_.Done(done.second, done.first);
  }
  // How many of the outputs of the kept lines are in place.
  size_t Placed() const {
    size_t placed = 0;
    for (const auto& done : done_) placed += !outputs_.LeftAsItWas(done.first);
    return placed;
  }
  // The outputs written in full, whether or not they were then put in place.
  std::unordered_set<std::string> Written() const {
    std::unordered_set<std::string> written;
    for (const auto& done : done_) written.insert(done.first);
    return written;
  }

 private:
  Caller& caller_;
  CommitTogether& outputs_;
  size_t broken_ = 0;
  std::string* refusal_ = nullptr;
  std::vector<std::pair<std::string, std::string>> done_;  // target, line
};

Batch::Batch(Caller& caller)
    : caller_(caller),
      outputs_(caller.fileFaults()),
      together_(std::make_unique<Together>(caller, outputs_)) {}

Batch::~Batch() = default;

int Batch::Plan(const BatchFiles& files, std::string* wrong) {
  files_ = files;
  RemovePendingOnInterrupt();
  if (!CheckCommandFiles({files.inputs, files.outputs, files.trace, files.module, files.locked},
                         wrong, &outputs_))
    return kExitUsage;
  SayLeftovers(files);
  int failure = 0;
  if (!files.outDir.empty() && StatusOf(files.outDir).type == FileType::kMissing) {
    stagedFolder_ = files.outDir;
  } else if (!files.outDir.empty() && !sys::MakeFolders(files.outDir, &failure)) {
    caller_.Refused("cannot make the folder " + files.outDir + ": " + ReasonText(failure));
    return kExitHost;
  }
  return kExitSuccess;
}

// What a run that was killed (or one still going) left where this one
// writes, named once for each folder: the outputs' folders, the folder of a
// palette rewritten, and the one a new output folder is staged in.
void Batch::SayLeftovers(const BatchFiles& files) {
  std::vector<std::string> folders;
  for (const std::string& output : files.outputs) {
    if (folders.empty() || folders.back() != FolderOf(output)) folders.push_back(FolderOf(output));
  }
  for (const std::string& locked : files.locked) folders.push_back(FolderOf(locked));
  if (!files.outDir.empty()) {
    std::string bare = files.outDir;
    while (bare.size() > 1 && FolderOf(bare).size() == bare.size()) bare.pop_back();
    folders.push_back(FolderOf(bare));
  }
  for (const Leftovers& left : FindLeftovers(folders)) {
    const std::string where = left.folder.empty() ? "the current folder" : left.folder;
    caller_.Note(where + " holds " +
                 (left.count == 1 ? "a file" : std::to_string(left.count) + " files") +
                 " " + caller_.name() + " left behind (" + left.first +
                 (left.count == 1 ? "" : " and others") +
                 "), from a run that was killed or is still going" +
                 caller_.Advise({Hint::kLeftovers, left.folder, int(left.count)}));
  }
}

BatchTally Batch::Run(const std::vector<std::string>& files, const BatchRun& run) {
  BatchTally tally;
  tally.files = files.size();
  int failure = 0;
  if (!stagedFolder_.empty() && !outputs_.StageFolder(stagedFolder_, &failure)) {
    caller_.Refused("cannot make the folder " + stagedFolder_ + ": " + ReasonText(failure));
    tally.status = kExitHost;
    return tally;
  }
  caller_.BatchStarts(files.size());
  bool stopped = false;
  for (size_t i = 0; i < files.size() && !stopped; ++i) {
    const std::string place = files.size() > 1 ? " (" + std::to_string(i + 1) + " of " +
                                                     std::to_string(files.size()) + ")"
                                               : "";
    caller_.FileStarts();
    const size_t broken = together_->broken();
    std::string refusal;
    together_->KeepRefusal(&refusal);
    const int one = run(*together_, files[i], NameOf(files[i]) + place);
    together_->KeepRefusal(nullptr);
    tally.ran.push_back({files[i], one == kExitSuccess ? Outcome::kDone : Outcome::kRefused, one, refusal});
    tally.run = i + 1;
    caller_.FileEnds(tally.run);
    // A file done by a module that broke the interface was done all the same.
    tally.failed += one != kExitSuccess && together_->broken() == broken;
    // The host's own failures outrank the module's refusals.
    if (one == kExitHost || tally.status == kExitSuccess) tally.status = std::max(tally.status, one);
    // A full or failing disk is the host's failure, not one file's: no
    // later file would fare better, and the batch is all or nothing.
    tally.hostFailure = outputs_.hostFailure();
    stopped = !caller_.MayGoOn() || InterruptRequested() || !tally.hostFailure.empty();
    tally.interrupted = stopped && InterruptRequested();
  }
  caller_.BatchEnds();
  tally.broken = together_->broken();
  tally.stopped = stopped;
  if (stopped) tally.status = kExitHost;
  if (!Conclude(stopped, &tally)) tally.status = kExitHost;
  for (size_t i = tally.ran.size(); i < files.size(); ++i)
    tally.ran.push_back({files[i], Outcome::kNotBegun, kExitSuccess, ""});
  Account(&tally);
  return tally;
}

// What became of each output and each file: an output is in place when it
// was written in full and put in place with the others; a file that ran
// well is done when each of its outputs is. Some in place and some not is
// a status of its own, so that a script knows to look.
void Batch::Account(BatchTally* tally) const {
  const std::unordered_set<std::string> written = together_->Written();
  std::unordered_map<std::string, bool> whole;  // of each input: every output in place
  size_t placed = 0;
  for (size_t i = 0; i < files_.outputs.size(); ++i) {
    const std::string& output = files_.outputs[i];
    const std::string& input = i < files_.inputs.size() ? files_.inputs[i] : "";
    const bool in = written.count(output) > 0 && !outputs_.LeftAsItWas(output);
    tally->outputs.push_back({output, input, in});
    placed += in;
    // A file of the batch is an input, or, for colours put back, the palette written.
    for (const std::string* key : {&input, &output}) {
      auto it = whole.emplace(*key, true).first;
      it->second = it->second && in;
    }
  }
  for (FileOutcome& file : tally->ran) {
    const auto it = whole.find(file.file);
    if (file.outcome == Outcome::kDone && it != whole.end() && !it->second)
      file.outcome = Outcome::kLeftAsItWas;
  }
  const bool some = placed > 0 && placed < tally->outputs.size();
  if (tally->status != kExitSuccess && tally->status != kExitUsage && some) tally->status = kExitSome;
}

// The end of a batch, however it ends: the caller's own files put with the
// outputs; the lines of the outputs said, and the caller asked whether it
// could say them; then either every output put in place together or, when
// the batch stopped, the caller says none may be or could not say what
// they are, none of them. So a standard output that cannot be written
// leaves every target as it was. False when anything failed, after saying
// why.
bool Batch::Conclude(bool stopped, BatchTally* tally) {
  // Asked even of a batch that stopped: the caller's files go with the outputs.
  const std::string refused = caller_.BeforePlacing(outputs_);
  std::string why = !tally->hostFailure.empty() ? tally->hostFailure
                    : stopped                     ? "the command stopped"
                                                  : refused;
  if (why.empty()) {
    together_->SayKept();
    if (!caller_.MayGoOn()) why = "what was done could not be said";
  }
  std::vector<std::string> errors;
  bool finished = why.empty();
  if (finished)
    finished = outputs_.Finish(&errors);
  else
    outputs_.Abandon(why, &errors);
  for (const std::string& e : errors) caller_.Refused(e);
  tally->placed = together_->Placed();
  tally->leftBehindNames = outputs_.leftBehind().Take(&tally->leftBehind);
  // An interrupt during the renames waited for them: every output is in
  // place, and the caller says so.
  tally->interruptedWhilePlacing = finished && InterruptRequested();
  return finished && tally->leftBehind == 0 && !stopped;
}

}  // namespace plughost
