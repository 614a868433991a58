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
#include "plughost/usecases/caller.h"

namespace plughost {

class Session : public Caller {
 public:
  Session(const Options& options, Streams io);
  // Checks every file the command names together (its inputs and outputs,
  // the trace and the module), makes `outDir` when one is given and there
  // is something of that name (a folder not there yet is left to
  // StageOutputFolder), opens the trace and loads the module: 0, or the
  // exit status after saying why.
  int Start(const char* command, const std::vector<std::string>& inputs,
            const std::vector<std::string>& outputs, const std::string& outDir);
  // False (after saying so) once standard output can no longer be written:
  // a closed pipe, a full disk.
  bool OutputStillWritable();
  // Has the batch make the output folder Start left, whole at its end:
  // false after saying why it cannot.
  bool StageOutputFolder(CommitTogether& outputs);
  // True (after saying so) when the user interrupted the command and it is
  // to stop after `done` of `count` files.
  bool StopRequested(size_t done, size_t count);
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
  // A line of an output is kept until the batch's outputs are in place
  // (SayDone); one of no output is printed at once.
  void Done(const std::string& line, const std::string& target) override;
  // The kept lines of the outputs in place after `outputs` finished,
  // printed with --verbose or when standard output is no terminal, never
  // with --quiet; answers how many outputs are in place.
  size_t SayDone(const CommitTogether& outputs);
  bool quiet() const { return options_.quiet; }
  // With --verbose, the module's history note.
  void Opened(const Host& host) override;
  // Misuse the host caught, then with --verbose each selector and what the
  // module recorded: the tail of every file's report.
  void Tail(const Host& host) override;
  void BrokeInterface() override { ++brokenInterface_; }
  // A batch of `count` files: one bar for them all (see BatchProgress),
  // none for each operation; answers whether that bar is drawn.
  bool ShowBatchProgress(size_t count);
  // Whether a batch's closing summary is said: its bar is drawn, and no
  // --quiet.
  bool ShowSummary() const { return batchBar_ && !options_.quiet; }
  // How many operations were done by a module that broke the interface.
  size_t BrokenInterfaceCount() const { return brokenInterface_; }
  // Puts the trace with the command's outputs; false after saying why
  // when it could not be written.
  bool CloseTrace();

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
  std::string stagedFolder_;
  LoadedModule module_;
  bool notedParams_ = false;
  bool outputLost_ = false;
  bool terminal_;  // stderr, asked once
  bool lines_;     // a line for each output
  bool batchBar_ = false;
  size_t brokenInterface_ = 0;
  std::unique_ptr<ProgressBar> bar_;  // of the run under way
  std::vector<std::pair<std::string, std::string>> done_;  // target, line
};

}  // namespace plughost
