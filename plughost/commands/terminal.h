// What the program shows on the terminal besides its results: a progress
// bar on stderr driven by the module's progress calls, and message boxes
// answered for scripts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "plughost/files/file_checks.h"

namespace plughost {

bool StderrIsTerminal();
bool StdoutIsTerminal();

// One operation's bar: "[#####-----]  33% label" on one line of stderr, the
// module's counts drawn as a share of the total it gives, drawn full when
// the operation ends and its line ended. Does nothing unless enabled
// (stderr a terminal).
class ProgressBar {
 public:
  ProgressBar(bool enabled, std::string label) : enabled_(enabled), label_(std::move(label)) {}
  ~ProgressBar() { Finish(); }
  void Update(int32_t done, int32_t total);
  void Finish();

 private:
  bool enabled_;
  bool drawn_ = false;
  std::string label_;
};

// One bar for a whole batch: "[#####-----] 1,234 / 20,000 files". It is
// taken off the line while a file runs, so that what the file prints starts
// clean, and drawn again when it is done; Finish leaves it, ending its line.
class BatchProgress {
 public:
  BatchProgress(bool enabled, size_t count) : enabled_(enabled), count_(count) {}
  ~BatchProgress() { Finish(); }
  BatchProgress(const BatchProgress&) = delete;
  BatchProgress& operator=(const BatchProgress&) = delete;
  void BeforeFile();
  void FileDone(size_t done);
  void Finish();

 private:
  bool enabled_;
  bool drawn_ = false;
  size_t count_;
};

// 20000 as "20,000".
std::string WithThousands(size_t n);

// Printable (plughost/files/file_checks.h) makes every name safe to print.

}  // namespace plughost
