#include "plughost/host/trace_file.h"

#include <cerrno>

#include <nlohmann/json.hpp>

#include "plughost/files/file_checks.h"

namespace plughost {

bool TraceWriter::Open(const std::string& path, std::string* error) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr) *error = "cannot write the trace " + path + ": " + ErrnoText(errno);
  return file_ != nullptr;
}

bool TraceWriter::Close(std::string* error) {
  if (file_ != nullptr) {
    if (std::fclose(file_) != 0 && failure_ == 0) failure_ = errno != 0 ? errno : EIO;
    file_ = nullptr;
  }
  if (failure_ == 0) return true;
  *error = "cannot write the trace " + path_ + ": " + ErrnoText(failure_);
  return false;
}

void TraceWriter::Write(const std::string& event, const nlohmann::ordered_json& fields) {
  if (file_ == nullptr) return;
  nlohmann::ordered_json line{{"seq", ++seq_}, {"event", event}};
  for (auto it = fields.begin(); it != fields.end(); ++it) line[it.key()] = it.value();
  // Module strings are ANSI, not UTF-8: replace what cannot be encoded.
  const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (failure_ != 0) return;
  errno = 0;
  if (std::fprintf(file_, "%s\n", text.c_str()) < 0 || std::fflush(file_) != 0)
    failure_ = errno != 0 ? errno : EIO;
}

TraceWriter::~TraceWriter() {
  std::string ignored;
  Close(&ignored);
}

}  // namespace plughost
