#include "plughost/files/atomic_file.h"

#include <cstring>
#include <set>

#include "plughost/files/file_checks.h"
#include "plughost/files/file_faults.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/files/placing.h"
#include "plughost/system/system.h"

namespace plughost {

std::string ChangedMeanwhile(const std::string& target, const std::string& replaced,
                             const FileStatus& was, KnownFolders* folders) {
  if (was.type != FileType::kRegular) return "";
  const FileStatus now = StatusOf(replaced, folders);
  if (now.type == was.type && now.id == was.id && now.size == was.size && now.modified == was.modified)
    return "";
  return target + " was changed by another program while its new bytes were written; it is "
                  "left as that program made it";
}

std::string BareFolder(const std::string& folder) {
  std::string bare = folder;
  while (bare.size() > 1 && std::strchr(sys::PathSeparators(), bare.back()) != nullptr)
    bare.pop_back();
  return bare;
}

std::string FolderKey(const std::string& folder, KnownFolders* folders) {
  return FollowFolderLinks(BareFolder(folder), folders);
}

CommitTogether::CommitTogether(FileFaults* faults) : faults_(faults) {}

CommitTogether::~CommitTogether() {
  std::vector<std::string> ignored;
  if (!queue_.empty()) Abandon("the command stopped before they were put in place", &ignored);
  DropStaged();
}

bool CommitTogether::StageFolder(const std::string& folder, int* error) {
  const std::string bare = BareFolder(folder), parent = FolderOf(bare);
  if (!parent.empty() && !sys::MakeFolders(parent, error)) return false;
  RemovePendingOnInterrupt();
  {
    sys::InterruptsHeld held;
    if (!sys::CreateUniqueFolder(parent, &staging_, error)) return false;
    stagingPending_ = RememberPendingFolder(staging_);
  }
  staged_ = bare;
  stagedKey_ = FolderKey(bare, &folders_);
  lastFolder_.clear();
  return true;
}

std::string CommitTogether::StagedPlace(const std::string& path) const {
  if (staging_.empty()) return "";
  // A batch's outputs come folder by folder: each folder is judged once.
  std::string folder = FolderOf(path);
  if (folder != lastFolder_) {
    lastStaged_ = FolderKey(folder, &folders_) == stagedKey_;
    lastFolder_ = std::move(folder);
  }
  return lastStaged_ ? staging_ + sys::PathSeparators()[0] + NameOf(path) : "";
}

// Removes the staging folder, emptied of its files by then.
void CommitTogether::DropStaged() {
  if (staging_.empty()) return;
  RemoveOwnFolder(staging_, stagingPending_, &leftBehind_);
  staging_.clear();
  stagingPending_ = nullptr;
}

bool CommitTogether::LeftAsItWas(const std::string& target) const {
  return left_.count(target) > 0;
}

bool CommitTogether::Finish(std::vector<std::string>* errors) {
  left_.clear();
  if (queue_.empty()) {
    DropStaged();
    return true;
  }
  if (InterruptRequested()) {
    Abandon("the command was interrupted", errors);
    return false;
  }
  // A disk that failed under one new file is trusted with none.
  if (!hostFailure_.empty()) {
    Abandon(hostFailure_, errors);
    return false;
  }
  if (!SyncAll(errors)) return false;
  // The folders whose names change: a staged folder's is in the one above,
  // and a lone file's own name in it was not synced with the file system.
  std::set<std::string> folders;
  for (const Queued& q : queue_) folders.insert(q.staged ? FolderOf(staged_) : FolderOf(q.replaced));
  if (queue_.size() == 1 && queue_.front().staged) folders.insert(staged_);
  // From the first rename on an interrupt only asks: every output is put in
  // place, and the command then says it was interrupted. One that came
  // before leaves every target as it was.
  sys::InterruptsOnlyAsk();
  if (InterruptRequested()) {
    Abandon("the command was interrupted", errors);
    return false;
  }
  bool ok = RenameAll(errors);
  queue_.clear();
  for (const std::string& folder : folders) {
    int failure = 0;
    if (gate::SyncFolder(faults_, folder, &failure)) continue;
    errors->push_back("the new files in " + (folder.empty() ? std::string(".") : folder) +
                      " may not outlast a power cut: cannot sync the folder: " + ReasonText(failure));
    ok = false;
  }
  return ok;
}

// Every queued file renamed over its target (Finish has made interrupts
// only ask: the whole batch is put in place).
bool CommitTogether::RenameAll(std::vector<std::string>* errors) {
  bool ok = true;
  for (Queued& q : queue_) {
    int failure = 0;
    if (q.staged) continue;
    const std::string changed = ChangedMeanwhile(q.target, q.replaced, q.was, &folders_);
    if (changed.empty() && gate::RenameOver(faults_, q.temp, q.replaced, &failure)) {
      ForgetPending(q.pending);
    } else {
      errors->push_back(!changed.empty() ? changed : "cannot write " + q.target + ": " + ReasonText(failure));
      left_.insert(q.target);
      RemoveOwnFile(q.temp, q.pending, &leftBehind_, faults_);
      ok = false;
    }
    q.hold.reset();
  }
  return PlaceStaged(errors) && ok;
}

// The staged folder renamed into its place, with every new file in it; or,
// when that fails, none of them written.
bool CommitTogether::PlaceStaged(std::vector<std::string>* errors) {
  if (staging_.empty()) return true;
  int failure = 0;
  const bool placed = gate::RenameFolder(faults_, staging_, staged_, &failure);
  size_t files = 0;
  for (Queued& q : queue_) {
    if (!q.staged) continue;
    ++files;
    if (placed) {
      ForgetPending(q.pending);
    } else {
      left_.insert(q.target);
      RemoveOwnFile(q.temp, q.pending, &leftBehind_, faults_);
    }
    q.hold.reset();
  }
  if (!placed) {
    errors->push_back("cannot make the folder " + staged_ + ": " + ReasonText(failure) + "; " +
                      (files == 1 ? "its new file is" : "none of its " + std::to_string(files) +
                                                            " new files is") +
                      " written");
    DropStaged();
    return false;
  }
  ForgetPending(stagingPending_);
  staging_.clear();
  stagingPending_ = nullptr;
  return true;
}

// Every queued file's bytes on disk: a lone file by its own sync, more by
// one sync of each file system they are on (each folder's, to be sure of it).
bool CommitTogether::SyncAll(std::vector<std::string>* errors) {
  int failure = 0;
  bool synced = true;
  if (queue_.size() == 1) {
    synced = gate::SyncFile(faults_, queue_.front().temp, &failure);
  } else {
    std::set<std::string> folders;
    for (const Queued& q : queue_) {
      if (!folders.insert(FolderOf(q.replaced)).second) continue;
      synced = gate::SyncFileSystemOf(faults_, q.temp, &failure);
      if (!synced) break;
    }
  }
  if (!synced) Abandon("the new bytes could not be put on disk: " + ReasonText(failure), errors);
  return synced;
}

// Removes every queued file, each target left as it was, saying so in one
// sentence: "X is left as it was: why", or for many, the first and the last.
void CommitTogether::Abandon(const std::string& why, std::vector<std::string>* errors) {
  left_.clear();
  if (queue_.empty()) return DropStaged();
  const std::string first = queue_.front().target, last = queue_.back().target;
  errors->push_back(queue_.size() == 1 ? first + " is left as it was: " + why
                                       : "the " + std::to_string(queue_.size()) + " files from " +
                                             first + " to " + last + " are left as they were: " +
                                             why);
  for (Queued& q : queue_) {
    RemoveOwnFile(q.temp, q.pending, &leftBehind_, faults_);
    left_.insert(q.target);
    q.hold.reset();
  }
  queue_.clear();
  DropStaged();
}

}  // namespace plughost
