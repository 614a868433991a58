#include "plughost/host/trace_file.h"

#include <nlohmann/json.hpp>

namespace plughost {

bool TraceWriter::Open(const std::string& path, const ReplaceCheck& mayReplace,
                       std::string* error) {
  open_ = file_.Begin(path, mayReplace, error);
  if (!open_) *error = "cannot write the trace: " + *error;
  return open_;
}

bool TraceWriter::Close(std::string* error, CommitTogether* together) {
  if (!open_) return true;
  open_ = false;
  if (together != nullptr) file_.PlaceWith(*together);
  if (failure_.empty() && file_.Commit(&failure_)) return true;
  file_.Abandon();
  *error = "cannot write the trace: " + failure_;
  return false;
}

void TraceWriter::Write(const std::string& event, const nlohmann::ordered_json& fields) {
  if (!open_ || !failure_.empty()) return;
  nlohmann::ordered_json line{{"seq", ++seq_}, {"event", event}};
  for (auto it = fields.begin(); it != fields.end(); ++it) line[it.key()] = it.value();
  // Module strings are ANSI, not UTF-8: replace what cannot be encoded.
  const std::string text =
      line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  file_.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &failure_);
}

}  // namespace plughost
