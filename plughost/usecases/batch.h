// A batch: the files of one command (its inputs, the outputs written from
// them, and the caller's own files: a trace, the module it loads) checked
// together before anything is written; then each file run in turn, a bad
// one not stopping the rest; then every output put in place together, or,
// when the batch stopped, none. The caller holds the batch and runs its
// files through it; the use cases each file calls are handed the batch's
// Caller, whose outputs() they write through, so that nothing but that
// object decides how an output is put in place.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plughost/files/atomic_file.h"
#include "plughost/usecases/caller.h"

namespace plughost {

// What a command touches, for the check of its files together.
struct BatchFiles {
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;  // outputs[i] is written from inputs[i]
  std::string outDir;                // "" for none; made whole at the end when not there
  std::string trace;                 // the caller's own files: "" for none
  std::string module;
  std::vector<std::string> locked;   // files locked to be rewritten (the palettes of a save)
};

// What became of one file a batch ran.
enum class Outcome {
  kDone,         // it ran, and every output written from it is in place
  kLeftAsItWas,  // it ran, but its outputs were not put in place
  kRefused,      // it failed, and the caller was told why
  kNotBegun,     // the batch stopped before it
};
struct FileOutcome {
  std::string file;
  Outcome outcome = Outcome::kNotBegun;
  int status = kExitSuccess;  // of its run
  std::string refusal;        // the first thing said of it refused, for a line a file
};
// One output of a batch: in place at the end, or not (its target as it was).
struct OutputOutcome {
  std::string file, input;
  bool placed = false;
};

// How a batch ended: what the caller says of it, in its own words.
struct BatchTally {
  int status = kExitSuccess;  // the batch's exit status
  size_t files = 0;           // in the batch
  size_t run = 0;             // of them run before it ended
  size_t failed = 0;          // that failed, apart from those below
  size_t broken = 0;          // done by a module that broke the host interface
  size_t placed = 0;          // outputs in place at the end
  bool stopped = false;       // after `run` files, none of its outputs placed
  bool interrupted = false;   // stopped so by the user
  bool interruptedWhilePlacing = false;  // every output was put in place all the same
  std::string hostFailure;    // stopped so by a full or failing disk: its reason
  size_t leftBehind = 0;      // new files that could not be removed
  std::string leftBehindNames;
  std::vector<FileOutcome> ran;        // each file of the batch, in order
  std::vector<OutputOutcome> outputs;  // each output planned, in order
};

// One file of a batch: the caller to hand the use cases, the file, and a
// label with its place for a progress bar ("a.kcf (3 of 20)").
using BatchRun =
    std::function<int(Caller& caller, const std::string& file, const std::string& label)>;

class Batch {
 public:
  explicit Batch(Caller& caller);
  ~Batch();
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;

  // Checks every file together and makes the output folder when something
  // of its name is there (a folder not there yet is made whole by Run):
  // kExitSuccess; kExitUsage with the clash in *wrong; or kExitHost after
  // telling the caller.
  int Plan(const BatchFiles& files, std::string* wrong);
  // Runs `run` for each file, then puts every output in place together;
  // the host's own failures outrank the module's refusals, and a batch
  // that placed some outputs but not all ends kExitSome.
  BatchTally Run(const std::vector<std::string>& files, const BatchRun& run);

 private:
  class Together;
  bool Conclude(bool stopped, BatchTally* tally);
  void Account(BatchTally* tally) const;
  void SayLeftovers(const BatchFiles& files);

  Caller& caller_;
  BatchFiles files_;
  std::string stagedFolder_;
  CommitTogether outputs_;
  std::unique_ptr<Together> together_;
};

}  // namespace plughost
