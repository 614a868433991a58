// A file of the host's own that a module reads or writes through when the
// bytes it is to see are no file the user named (one group of a palette),
// or the bytes it writes are not yet what the user's file gets (colours
// put back into a palette of another form). It is made with a short name
// beside a file of the command, in a folder the command writes to, listed
// for removal on an interrupt in the same step, and removed when it goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

struct PendingFile;
class CommitTogether;

class ScratchFile {
 public:
  ScratchFile() = default;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile();

  // Makes the file beside `beside` (in the folder of the file it names,
  // links followed, or in the folder `together` stages for it); false with
  // one sentence naming `beside` and the reason. A file that cannot be
  // removed is named to `together`'s batch, which must outlive it.
  bool Begin(const std::string& beside, std::string* error, CommitTogether* together = nullptr);
  // Appends `bytes`; false with one sentence.
  bool Write(const std::vector<uint8_t>& bytes, std::string* error);
  // Makes `bytes` all the file holds, read from the start: one file serves
  // one view after another. False with one sentence.
  bool Rewrite(const std::vector<uint8_t>& bytes, std::string* error);
  bool begun() const { return ref_ >= 0; }
  // A file reference for the module's reads and writes.
  int32_t ref() const { return ref_; }
  // How far the module's reads or writes have come.
  uint64_t Position() const;
  // Everything the file holds now, whatever its position.
  bool ReadBack(std::vector<uint8_t>* bytes, std::string* error) const;

 private:
  std::string beside_;
  std::string path_;
  int32_t ref_ = -1;
  uint64_t size_ = 0;  // what was written
  PendingFile* pending_ = nullptr;
  CommitTogether* together_ = nullptr;
};

}  // namespace plughost
