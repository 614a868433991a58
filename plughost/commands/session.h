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
  // Loads the module and opens the trace; false after saying why.
  bool Start();
  // A host for one operation on `file`, traced when a trace is written.
  std::unique_ptr<Host> NewHost(const std::string& command, const std::string& file);
  // A progress bar for the operation, drawn while stderr is a terminal.
  void AttachProgress(Host& host, ProgressBar& bar);
  bool ShowProgress() const;
  // Misuse the host caught, then with --verbose each selector and what the
  // module recorded: the tail of every file's report.
  void ReportTail(const Host& host);
  // "result -128: ..." for `result`, saying when it was the host's own
  // advanceState that answered it rather than the module.
  std::string DescribeResult(const Host& host, int result) const;
  // A note for each --param key the module did not read.
  void NoteUnreadParams(const Host& host, const char* command);
  // Opens an input for the module; false after saying why it will not.
  bool OpenInput(const std::string& name, InputFile* file);
  // False (and a message) when the trace could not be written.
  bool Finish();

  const LoadedModule& module() const { return module_; }
  Streams io() const { return io_; }

 private:
  const Options& options_;
  Streams io_;
  BoxAnswerer boxes_;
  TraceWriter trace_;
  std::string path_;
  LoadedModule module_;
  bool notedParams_ = false;
};

// "plughost: note: the module reads .KCF files; x.txt has another extension",
// or nothing.
std::string ExtensionNote(const LoadedModule& module, const std::vector<std::string>& extensions,
                          const std::string& path, const char* verb);

}  // namespace plughost
