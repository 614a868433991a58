// The --trace file: every selector call and host callback as one JSON line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace plughost {

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

}  // namespace plughost
