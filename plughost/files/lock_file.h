// A lock beside a file that is read and then replaced, as git's index.lock:
// NAME.lock, made only where nothing has that name, listed for removal on
// an interrupt in the same step, and removed when the lock goes. A second
// plughost that finds it waits a little, then is refused in words that name
// the lock and say how to remove one a killed run left.
#pragma once

#include <string>

namespace plughost {

struct PendingFile;
class CommitTogether;

class LockFile {
 public:
  LockFile() = default;
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;
  ~LockFile();

  // Locks `file` (the name given; the lock goes beside the file it names,
  // links followed). False with one sentence naming `file` and the lock. A
  // lock that cannot be removed is named to `together`'s batch, which must
  // outlive it.
  bool Acquire(const std::string& file, std::string* error, CommitTogether* together = nullptr);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  PendingFile* pending_ = nullptr;
  CommitTogether* together_ = nullptr;
};

// The lock of `file`: NAME.lock beside the file it names, links followed.
std::string LockNameOf(const std::string& file);

// How long Acquire waits for another plughost's lock to go.
constexpr int kLockWaitMilliseconds = 2000;

}  // namespace plughost
