// What the program shows on the terminal besides its results: a progress
// bar on stderr driven by the module's progress calls, and message boxes
// answered for scripts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace plughost {

bool StderrIsTerminal();

// Draws "[#####-----] done/total label" on one line of stderr and clears it
// at the end. Does nothing unless enabled (stderr a terminal).
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


// While it lives, each message box the module shows on this thread is
// printed on stderr and closed with OK at once. Only Windows shows real
// boxes; the native layer prints them on stderr and never waits.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(bool enabled);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

 private:
  void* hook_ = nullptr;
};

}  // namespace plughost
