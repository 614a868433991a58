// What every command shares: the module loaded once, the trace, a fresh Host
// for each operation, and the report that follows each file. It is the
// command line's Caller of the use-case layer: what that layer says goes
// to standard output and standard error here, in plughost's words.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plughost/commands/commands.h"
#include "plughost/commands/terminal.h"
#include "plughost/files/atomic_file.h"
#include "plughost/host/module_loader.h"
#include "plughost/host/trace_file.h"
#include "plughost/usecases/batch.h"
#include "plughost/usecases/caller.h"

namespace plughost {

class CommandLineCaller : public Caller {
 public:
  CommandLineCaller(const Options& options, Streams io);
  // The trace and the module, checked with the job's files.
  std::string traceFile() const override { return options_.traceFile; }
  std::string moduleFile() const override { return path_; }
  // Opens the trace and loads the module: 0, or the exit status after
  // saying why.
  int Begin() override;
  // False (after saying so) once standard output can no longer be written:
  // a closed pipe, a full disk.
  bool OutputStillWritable();
  bool MayGoOn() override { return OutputStillWritable(); }
  // The trace goes with the outputs; none may be placed when it could not
  // be written, or standard output has lost its reader.
  std::string BeforePlacing(CommitTogether& outputs) override;
  // A host for one operation on `file`, traced when a trace is written.
  std::unique_ptr<Host> NewHost(const std::string& operation, const std::string& file) override;
  // A progress bar for each run of the module, drawn while stderr is a
  // terminal and no batch draws one bar for all its files; then a note
  // for each --param key the module did not read.
  void RunStarts(Host& host, const std::string& label) override;
  void RunEnds(Host& host, const char* operation) override;
  // Every line is printed through Printable: a file's name never drives
  // the terminal.
  void Note(const std::string& text) override;
  void Refused(const std::string& sentence) override;
  std::string name() const override { return "plughost"; }
  // What the user can do, by the options that do it.
  std::string Advise(const Advice& advice) const override;
  // The line of an output is printed with --verbose, when standard output
  // is no terminal, or for a single file, never with --quiet; one of no
  // output always.
  void Done(const std::string& line, const std::string& target) override;
  bool quiet() const { return options_.quiet; }
  // With --verbose, the module's history note.
  void Opened(const Host& host) override;
  // Misuse the host caught, then with --verbose each selector and what the
  // module recorded: the tail of every file's report.
  void Tail(const Host& host) override;
  // A batch of several files on a terminal: one bar for them all (see
  // BatchProgress), none for each operation.
  void BatchStarts(size_t count) override;
  void FileStarts() override;
  void FileEnds(size_t done) override;
  void BatchEnds() override;
  // Whether a batch's closing summary is said: its bar is drawn, and no
  // --quiet.
  bool ShowSummary() const { return batchBar_ && !options_.quiet; }
  // Puts the trace in place, with `together`'s outputs when given; false
  // after saying why when it could not be written.
  bool CloseTrace(CommitTogether* together = nullptr);

  const LoadedModule& module() const override { return module_; }
  bool verbose() const { return options_.verbose; }
  Streams io() const { return io_; }

 private:
  // A note for each --param key the module did not read, said once.
  void NoteUnreadParams(const Host& host, const char* command);

  const Options& options_;
  Streams io_;
  TraceWriter trace_;
  std::string path_;
  LoadedModule module_;
  bool notedParams_ = false;
  bool outputLost_ = false;
  bool terminal_;  // stderr, asked once
  bool lines_;     // a line for each output
  size_t heldNotes_ = 0;  // notes a batch's bar kept from the terminal
  bool batchBar_ = false;
  std::unique_ptr<ProgressBar> bar_;  // of the run under way
  std::unique_ptr<BatchProgress> batchProgress_;
};

}  // namespace plughost
