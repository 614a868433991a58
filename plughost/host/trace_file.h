// The --trace file: every selector call and host callback as one JSON line.
// It is an output like any other: written beside its target and renamed
// over it when the command ends, through the files gate's checks.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "plughost/files/atomic_file.h"

namespace plughost {

// One JSON object per line: {"seq":N,"event":...,fields...}, each line
// written to the new file as it happens.
class TraceWriter {
 public:
  // `mayReplace` judges an existing file at `path` (see AtomicFile).
  bool Open(const std::string& path, const ReplaceCheck& mayReplace, std::string* error);
  bool active() const { return open_; }
  void Write(const std::string& event, const nlohmann::ordered_json& fields);
  // Puts the trace in place, with `together`'s outputs when given; false
  // with the reason when any line could not be written or the file not
  // replaced.
  bool Close(std::string* error, CommitTogether* together = nullptr);

 private:
  AtomicFile file_;
  bool open_ = false;
  std::string failure_;  // the first write error
  int64_t seq_ = 0;
};

}  // namespace plughost
