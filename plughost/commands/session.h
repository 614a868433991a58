// What every command shares: the module loaded once, the trace, a fresh Host
// for each operation, and the report that follows each file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plughost/commands/commands.h"
#include "plughost/files/input_file.h"
#include "plughost/host/module_loader.h"
#include "plughost/commands/terminal.h"
#include "plughost/host/trace_file.h"

namespace plughost {

class Session {
 public:
  Session(const Options& options, Streams io);
  // Checks every file the command names together (its inputs and outputs,
  // the trace and the module), makes `outDir` when one is given, opens the
  // trace and loads the module: 0, or the exit status after saying why.
  int Start(const char* command, const std::vector<std::string>& inputs,
            const std::vector<std::string>& outputs, const std::string& outDir);
  // False (after saying so) once standard output can no longer be written:
  // a closed pipe, a full disk.
  bool OutputStillWritable();
  // True (after saying so) when the user interrupted the command and it is
  // to stop after `done` of `count` files.
  bool StopRequested(size_t done, size_t count);
  // A host for one operation on `file`, traced when a trace is written.
  std::unique_ptr<Host> NewHost(const std::string& command, const std::string& file);
  // A progress bar for the operation, drawn while stderr is a terminal
  // and no batch draws one bar for all its files.
  void AttachProgress(Host& host, ProgressBar& bar);
  bool ShowProgress() const;
  // A batch of `count` files: one bar for them all (see BatchProgress),
  // none for each operation; answers whether that bar is drawn.
  bool ShowBatchProgress(size_t count);
  // Misuse the host caught, then with --verbose each selector and what the
  // module recorded: the tail of every file's report.
  void ReportTail(const Host& host);
  // The status of an operation that ended with `status`, made a module
  // failure, as a plug-in validator would, when the module broke the host
  // interface (each misuse is said by ReportTail).
  int Verdict(const Host& host, int status, const std::string& file);
  // How many operations Verdict made failures: done, but by a module that
  // broke the interface.
  size_t BrokenInterfaceCount() const { return brokenInterface_; }
  // "result -128: ..." for `result`, saying when it was the host's own
  // advanceState that answered it rather than the module.
  std::string DescribeResult(const Host& host, int result) const;
  // A note for each --param key the module did not read.
  void NoteUnreadParams(const Host& host, const char* command);
  // Opens an input for the module; false after saying why it will not.
  bool OpenInput(const std::string& name, InputFile* file);
  // False (and a message) when the trace could not be written or standard
  // output could not be.
  bool Finish();

  const LoadedModule& module() const { return module_; }
  bool verbose() const { return options_.verbose; }
  Streams io() const { return io_; }

 private:
  const Options& options_;
  Streams io_;
  TraceWriter trace_;
  std::string path_;
  LoadedModule module_;
  bool notedParams_ = false;
  bool outputLost_ = false;
  bool terminal_;  // stderr, asked once
  bool batchBar_ = false;
  size_t brokenInterface_ = 0;
};

// "plughost: note: the module reads .KCF files; x.txt has another extension",
// or nothing.
std::string ExtensionNote(const LoadedModule& module, const std::vector<std::string>& extensions,
                          const std::string& path, const char* verb);

}  // namespace plughost
