// The layer of the things people do with palettes: open one (whole, one
// group, every group), save an image or a palette text as a new palette or
// into an existing one in its own form, probe a file. Every caller (the
// command line, GIMP) hands a request to it and is told, through the
// Caller it supplies, what happened in this layer's words; every rule
// about palettes and about what may be replaced lives here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plughost/host/host.h"
#include "plughost/host/module_loader.h"

namespace plughost {

class CommitTogether;
struct FileFaults;

// How an operation ended, the same numbers a script reads from plughost:
//   0 success, every output in place; 1 the module answered a non-zero
//   result (or broke the host interface); 2 a request that does not hold
//   together; 3 the host itself failed (cannot read an input, load the
//   module, write an output), every target as it was; 4 some outputs in
//   place and others not (an input refused in a batch that went on, an
//   output that could not be put in place with the others).
enum ExitStatus {
  kExitSuccess = 0,
  kExitModule = 1,
  kExitUsage = 2,
  kExitHost = 3,
  kExitSome = 4
};

// Groups of a palette: one (from 0), none asked for, or every one.
constexpr int kNoGroup = -1;
constexpr int kAllGroups = -2;
// The last group number a palette can have: its count is a signed 16-bit number.
constexpr int kMaxGroup = 32766;

// What a user can do about something this layer says, or what caused it,
// which each caller puts in its own words: the command line names its
// options, GIMP and the page what their users can choose. The layer's own
// sentence comes first; the advice follows it.
enum class Hint {
  kReplace,           // the file may be replaced all the same
  kPutIntoOrReplace,  // the colours may go into `file` in its own form, or replace it
  kOpenGroups,        // one group at a time, 0 to `number` - 1, or every group
  kChooseGroup,       // the colours may go into one group of the palette
  kSwatch,            // the image has the size of a swatch of `number`-pixel tiles
  kSwatchIfOne,       // the same, said of an image saved as it is
  kSwatchFound,       // an image was read as the swatch it looks like
  kHostAnswered,      // the host's own advanceState answered, as it was told to
  kLeftovers,         // `file` is a folder holding files of plughost's own names, to remove
  kOneLayerOfMany,    // an image of one layer exported over `file`, of `number` groups
  kHostLines,         // where the caller shows each misuse the host caught
};
struct Advice {
  Hint hint;
  std::string file;
  int number = 0;
};

// The caller's side: the module it loaded, the host it wants for each run
// of the module, and where what this layer says goes. Sentences name their
// file and carry no prefix of the caller's.
class Caller {
 public:
  virtual ~Caller() = default;
  virtual const LoadedModule& module() const = 0;
  // What its users call the program that reads their files, in sentences
  // such as "a form of PNG plughost cannot decode".
  virtual std::string name() const { return "this program"; }
  // The caller's own files of a job, checked with the job's files: the
  // trace it writes and the module it loads ("" for none).
  virtual std::string traceFile() const { return ""; }
  virtual std::string moduleFile() const { return ""; }
  // Once the job's files were checked together, before any file runs: the
  // caller opens what it writes and loads its module. kExitSuccess, or the
  // status after saying why.
  virtual int Begin() { return kExitSuccess; }
  // A test's faults for the files a job writes, handed to its commit; null
  // in every run of the program.
  virtual FileFaults* fileFaults() { return nullptr; }
  // A host for one run of the module on `file` ("open", "save", "probe").
  virtual std::unique_ptr<Host> NewHost(const std::string& operation, const std::string& file) = 0;
  // Around each run of the module, `label` naming it for a progress bar.
  virtual void RunStarts(Host& /*host*/, const std::string& /*label*/) {}
  virtual void RunEnds(Host& /*host*/, const char* /*operation*/) {}
  // What a user may want to know: "FILE: what".
  virtual void Note(const std::string& text) = 0;
  // `advice` in this caller's words, to follow a sentence (the command line
  // names the option that does it). Empty when its users have nothing to
  // do about it.
  virtual std::string Advise(const Advice& /*advice*/) const { return ""; }
  // Why an operation failed: one sentence naming the file.
  virtual void Refused(const std::string& sentence) = 0;
  // What was done: "a.kcf -> a.png (16 x 16 RGB)", once `target` (when
  // given) is in place; in a batch, when every output is about to be put
  // in place (one that then cannot be is refused by name).
  virtual void Done(const std::string& /*line*/, const std::string& /*target*/) {}
  // A palette the module opened, for what its host holds (the history note).
  virtual void Opened(const Host& /*host*/) {}
  // After each run: what the host caught the module doing, and whatever
  // else the caller shows of a run.
  virtual void Tail(const Host& /*host*/) {}
  // An operation done by a module that broke the host interface, after
  // Refused has said so (followed by what advice kHostLines gets).
  virtual void BrokeInterface() {}
  // Where a use case puts what it writes: null for each output on its own,
  // as it is written; a batch's caller answers the batch's outputs, put in
  // place together when the batch ends (usecases/batch.h).
  virtual CommitTogether* outputs() { return nullptr; }

  // A batch of `count` files (usecases/batch.h) tells its caller when it
  // starts, before and after each file (`done` of them so far), and when
  // the last has run; a caller that shows one bar for a batch draws it here.
  virtual void BatchStarts(size_t /*count*/) {}
  virtual void FileStarts() {}
  virtual void FileEnds(size_t /*done*/) {}
  virtual void BatchEnds() {}
  // Asked after each file of a batch: false stops it, once the caller can
  // no longer show what happens (after saying why).
  virtual bool MayGoOn() { return true; }
  // Before a batch's outputs are put in place: the caller's own files of
  // the command (a trace) go with them; "" or why none may be placed, after
  // saying what failed.
  virtual std::string BeforePlacing(CommitTogether& /*outputs*/) { return ""; }
};

// A caller that keeps what it is told for its user to see when the call
// returns: the first refusal (the reason, since what follows is its
// consequence), the notes, including what the host caught the module
// doing, and the done lines. GIMP and the page build on it: a new caller
// adds only its module and its hosts.
class KeepingCaller : public Caller {
 public:
  void Note(const std::string& text) override { notes_.push_back(text); }
  void Refused(const std::string& sentence) override {
    if (refusal_.empty()) refusal_ = sentence;
  }
  void Done(const std::string& line, const std::string& /*target*/) override {
    done_.push_back(line);
  }
  void Tail(const Host& host) override;

  const std::string& refusal() const { return refusal_; }
  const std::vector<std::string>& notes() const { return notes_; }
  const std::vector<std::string>& done() const { return done_; }

 private:
  std::string refusal_;
  std::vector<std::string> notes_;
  std::vector<std::string> done_;
};

// The history note the module attached to the document it opened (its
// "hist" resource); "" when it attached none.
std::string HistoryNote(const Host& host);

// The status of an operation that ended with `status`: a module failure, as
// a plug-in validator would have it, when the module broke the host
// interface (each misuse is the caller's Tail to show).
int Verdict(Caller& caller, const Host& host, int status, const std::string& file);

// "result -39: end of file"
std::string ResultText(int result);
// The same, saying when it was the host's own advanceState that answered
// it rather than the module.
std::string DescribeResult(const Caller& caller, const Host& host, int result);

// A note when `path` has none of the extensions the module's property list
// gives for what it `verb`s ("reads", "writes"); "" otherwise.
std::string ExtensionNote(const LoadedModule& module, bool writes, const std::string& path);

}  // namespace plughost
