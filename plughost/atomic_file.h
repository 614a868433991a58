// Writing a file so that its target is replaced only by a complete result:
// everything goes to a new file beside the target (same directory, so the
// final rename stays on one file system), which is renamed over the target
// on Commit and removed otherwise. An existing target is never opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

class AtomicFile {
 public:
  // Creates the temporary file (empty, exclusively). False with a message.
  bool Begin(const std::string& target, std::string* error);
  const std::string& tempPath() const { return temp_; }
  const std::string& target() const { return target_; }
  // Flushes the temporary file to disk and renames it over the target.
  bool Commit(std::string* error);
  // Removes the temporary file; the target is as it was.
  void Abandon();
  ~AtomicFile() { Abandon(); }

 private:
  std::string target_;
  std::string temp_;
};

// The whole of `bytes` as the new content of `target`, or nothing changed.
bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         std::string* error);

}  // namespace plughost
