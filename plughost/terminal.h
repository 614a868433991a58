// What the program shows besides its results: a progress bar on stderr
// driven by the module's progress calls, the JSON-lines trace, and message
// boxes answered for scripts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <nlohmann/json_fwd.hpp>
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

// One JSON object per line: {"seq":N,"event":...,fields...}. Each line is
// flushed, so a trace of a run that crashes is complete up to the crash.
class TraceWriter {
 public:
  bool Open(const std::string& path, std::string* error);
  bool active() const { return file_ != nullptr; }
  void Write(const std::string& event, const nlohmann::ordered_json& fields);
  // False with the reason when any line could not be written.
  bool Close(std::string* error);
  ~TraceWriter();

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  int failure_ = 0;  // the first write error
  int64_t seq_ = 0;
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

#if defined(_WIN32)
 private:
  void* hook_ = nullptr;
#endif
};

}  // namespace plughost
