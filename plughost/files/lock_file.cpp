#include "plughost/files/lock_file.h"

#include <chrono>
#include <thread>

#include "plughost/files/atomic_file.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/system/system.h"

namespace plughost {

LockFile::~LockFile() {
  if (!path_.empty())
    RemoveOwnFile(path_, pending_, together_ != nullptr ? &together_->leftBehind() : nullptr);
}

std::string LockNameOf(const std::string& file) { return FollowLinks(file) + ".lock"; }

bool LockFile::Acquire(const std::string& file, std::string* error, CommitTogether* together) {
  together_ = together;
  const std::string lock = LockNameOf(file);
  RemovePendingOnInterrupt();
  constexpr int kStep = 50;
  for (int waited = 0;; waited += kStep) {
    int failure = 0;
    bool exists = false, made = false;
    {
      // Made and listed for removal as one step, as every new file.
      sys::InterruptsHeld held;
      made = sys::CreateExclusive(lock, &failure, &exists);
      if (made) pending_ = RememberPending(lock);
    }
    if (made) return path_ = lock, true;
    if (!exists) {
      *error = "cannot lock " + file + " to rewrite it: " + lock + ": " + ReasonText(failure);
      return false;
    }
    if (waited >= kLockWaitMilliseconds) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(kStep));
  }
  *error = file + " is being rewritten by another plughost: its lock " + lock +
           " is there; if no plughost is running, a run that was killed left it: remove " + lock +
           " and try again";
  return false;
}

}  // namespace plughost
