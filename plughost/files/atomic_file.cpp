#include "plughost/files/atomic_file.h"

#include <cstring>
#include <set>

#include "plughost/files/file_checks.h"
#include "plughost/files/file_plan.h"
#include "plughost/files/input_file.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/files/system.h"

namespace plughost {

namespace {

// What the target holds, read through the gate's own reader, for its caller to judge.
std::string Judged(const std::string& target, const std::string& replaced, const FileStatus& old,
                   const ReplaceCheck& mayReplace) {
  if (!mayReplace) return "";
  InputFile file;
  std::string error;
  if (!file.Open(replaced, &error)) return error;
  return mayReplace(
      ExistingFile{target, file.Head(kExistingHeadBytes), file.size(), old.id, old.modified});
}

// Why `target` (the name given) may not be replaced by a new file at
// `replaced` (the file it names), or "".
std::string TargetRefusal(const std::string& target, const std::string& replaced,
                          bool nameChanged, const FileStatus& old, const ReplaceCheck& mayReplace) {
  if (old.type == FileType::kMissing && nameChanged && sys::IsLink(target))
    return target + " is a symbolic link to a missing file; not writing through it";
  if (old.type == FileType::kDirectory || old.type == FileType::kOther ||
      old.type == FileType::kUnreachable)
    return Refusal(target, old);
  if (old.type != FileType::kRegular) return "";
  if (!sys::MayWrite(replaced, old)) return target + ": permission denied";
  return Judged(target, replaced, old, mayReplace);
}

// Why the file at `replaced` may not be replaced after all, just before it
// would be: another program changed or swapped it since it was judged
// (`was`), and what it made is kept. "" for one that is as it was, or was
// not there.
std::string ChangedMeanwhile(const std::string& target, const std::string& replaced,
                             const FileStatus& was) {
  if (was.type != FileType::kRegular) return "";
  const FileStatus now = StatusOf(replaced);
  if (now.type == was.type && now.id == was.id && now.size == was.size && now.modified == was.modified)
    return "";
  return target + " was changed by another program while its new bytes were written; it is "
                  "left as that program made it";
}

// A folder's name without separators at its end.
std::string Bare(const std::string& folder) {
  std::string bare = folder;
  while (bare.size() > 1 && std::strchr(sys::PathSeparators(), bare.back()) != nullptr)
    bare.pop_back();
  return bare;
}

// A folder as the paths of its files lead to it, the links of the folders
// above followed: "out", "out/" and the folder of "./out//x" meet.
std::string FolderKey(const std::string& folder) { return FollowFolderLinks(Bare(folder)); }

}  // namespace

bool AtomicFile::Begin(const std::string& target, const ReplaceCheck& mayReplace,
                       std::string* error, CommitTogether* together) {
  Abandon();
  target_ = target;
  together_ = together;
  const std::string place = together != nullptr ? together->StagedPlace(target) : "";
  if (!place.empty()) {
    TakeCheckedMissing(target);
    return BeginStaged(place, error);
  }
  bool nameChanged = false;
  // A batch's check of its files found most outputs missing, and is
  // trusted until they are put in place.
  const bool missing = TakeCheckedMissing(target);
  replaced_ = missing ? FollowFolderLinks(target) : FollowLinks(target, &nameChanged);
  const FileStatus old = missing ? FileStatus{} : StatusOf(replaced_);
  *error = TargetRefusal(target, replaced_, nameChanged, old, mayReplace);
  if (!error->empty()) return false;
  RemovePendingOnInterrupt();
  int failure = 0;
  {
    // Made and listed for removal as one step: an interrupt between the two
    // would leave the new file behind.
    sys::InterruptsHeld held;
    ref_ = sys::CreateUnique(FolderOf(replaced_), &temp_, &failure);
    if (ref_ >= 0) pending_ = RememberPending(temp_);
  }
  if (ref_ < 0) {
    *error = Failed(target + ": ", failure);
    return false;
  }
  sys::KeepModeAndOwner(ref_, old);
  was_ = old;
  return true;
}

// In a folder being staged nothing else is, so the new file takes its own
// name there at once.
bool AtomicFile::BeginStaged(const std::string& place, std::string* error) {
  replaced_ = FollowFolderLinks(target_);  // where the staged folder puts it
  RemovePendingOnInterrupt();
  int failure = 0;
  {
    sys::InterruptsHeld held;
    ref_ = sys::CreateNamed(place, &failure);
    if (ref_ >= 0) pending_ = RememberPending(place);
  }
  if (ref_ < 0) {
    *error = Failed(target_ + ": ", failure);
    return false;
  }
  temp_ = place;
  staged_ = true;
  return true;
}

bool AtomicFile::Write(const uint8_t* bytes, size_t count, std::string* error) {
  int failure = 0;
  if (ref_ >= 0 && sys::WriteAll(ref_, bytes, count, &failure)) return true;
  *error = Failed("cannot write " + target_ + ": ", failure);
  return false;
}

std::string AtomicFile::Failed(const std::string& prefix, int failure) {
  const std::string reason = ReasonText(failure);
  if (together_ != nullptr && IsHostFailure(failure)) together_->HostFailed(reason);
  return prefix + reason;
}

bool AtomicFile::Write(const std::vector<uint8_t>& bytes, std::string* error) {
  return Write(bytes.data(), bytes.size(), error);
}

uint64_t AtomicFile::BytesWritten() const { return ref_ >= 0 ? sys::SizeOf(ref_) : 0; }

bool AtomicFile::Commit(std::string* error) {
  if (temp_.empty()) {
    *error = "nothing to commit for " + target_;
    return false;
  }
  if (InterruptRequested()) {
    *error = target_ + " is left as it was: the command was interrupted";
    Abandon();
    return false;
  }
  return together_ != nullptr ? Queue(*together_, error) : CommitNow(error);
}

bool AtomicFile::CommitNow(std::string* error) {
  int failure = 0;
  const bool flushed = sys::SyncAndClose(ref_, &failure);
  ref_ = -1;
  bool renamed = false;
  const std::string changed = flushed ? ChangedMeanwhile(target_, replaced_, was_) : "";
  if (flushed && changed.empty()) {
    sys::InterruptsHeld held;
    renamed = sys::RenameOver(temp_, replaced_, &failure);
    if (renamed) ForgetPending(pending_);
  }
  if (!renamed) {
    *error = !changed.empty() ? changed : "cannot write " + target_ + ": " + ReasonText(failure);
    Abandon();
    return false;
  }
  pending_ = nullptr;
  temp_.clear();
  hold_.reset();
  // The new name, too, is to outlast a power cut.
  if (!sys::SyncFolder(FolderOf(replaced_), &failure)) {
    *error = target_ + " was replaced, but its folder could not be synced: " + ReasonText(failure);
    return false;
  }
  return true;
}

bool AtomicFile::Queue(CommitTogether& batch, std::string* error) {
  int failure = 0;
  const bool closed = sys::CloseForBatch(ref_, &failure);
  ref_ = -1;
  if (!closed) {
    *error = Failed("cannot write " + target_ + ": ", failure);
    Abandon();
    return false;
  }
  batch.Add({target_, replaced_, temp_, pending_, std::move(hold_), staged_, was_});
  pending_ = nullptr;  // the batch removes or renames it now
  temp_.clear();
  staged_ = false;
  return true;
}

void AtomicFile::Abandon() {
  sys::Close(ref_);
  ref_ = -1;
  if (temp_.empty() && pending_ == nullptr) return;  // committed, or never begun
  RemoveOwnFile(temp_, pending_);
  temp_.clear();
  pending_ = nullptr;
  hold_.reset();
  staged_ = false;
  was_ = FileStatus{};
}

namespace {

}  // namespace

CommitTogether::CommitTogether() = default;

CommitTogether::~CommitTogether() {
  std::vector<std::string> ignored;
  if (!queue_.empty()) Abandon("the command stopped before they were put in place", &ignored);
  DropStaged();
}

bool CommitTogether::StageFolder(const std::string& folder, int* error) {
  const std::string bare = Bare(folder), parent = FolderOf(bare);
  if (!parent.empty() && !sys::MakeFolders(parent, error)) return false;
  RemovePendingOnInterrupt();
  {
    sys::InterruptsHeld held;
    if (!sys::CreateUniqueFolder(parent, &staging_, error)) return false;
    stagingPending_ = RememberPendingFolder(staging_);
  }
  staged_ = bare;
  stagedKey_ = FolderKey(bare);
  lastFolder_.clear();
  return true;
}

std::string CommitTogether::StagedPlace(const std::string& path) const {
  if (staging_.empty()) return "";
  // A batch's outputs come folder by folder: each folder is judged once.
  std::string folder = FolderOf(path);
  if (folder != lastFolder_) {
    lastStaged_ = FolderKey(folder) == stagedKey_;
    lastFolder_ = std::move(folder);
  }
  return lastStaged_ ? staging_ + sys::PathSeparators()[0] + NameOf(path) : "";
}

// Removes the staging folder, emptied of its files by then.
void CommitTogether::DropStaged() {
  if (staging_.empty()) return;
  RemoveOwnFolder(staging_, stagingPending_);
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
    if (sys::SyncFolder(folder, &failure)) continue;
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
    const std::string changed = ChangedMeanwhile(q.target, q.replaced, q.was);
    if (changed.empty() && sys::RenameOver(q.temp, q.replaced, &failure)) {
      ForgetPending(q.pending);
    } else {
      errors->push_back(!changed.empty() ? changed : "cannot write " + q.target + ": " + ReasonText(failure));
      left_.insert(q.target);
      RemoveOwnFile(q.temp, q.pending);
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
  const bool placed = sys::RenameFolder(staging_, staged_, &failure);
  size_t files = 0;
  for (Queued& q : queue_) {
    if (!q.staged) continue;
    ++files;
    if (placed) {
      ForgetPending(q.pending);
    } else {
      left_.insert(q.target);
      RemoveOwnFile(q.temp, q.pending);
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
    synced = sys::SyncFile(queue_.front().temp, &failure);
  } else {
    std::set<std::string> folders;
    for (const Queued& q : queue_) {
      if (!folders.insert(FolderOf(q.replaced)).second) continue;
      synced = sys::SyncFileSystemOf(q.temp, &failure);
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
    RemoveOwnFile(q.temp, q.pending);
    left_.insert(q.target);
    q.hold.reset();
  }
  queue_.clear();
  DropStaged();
}

bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         const ReplaceCheck& mayReplace, std::string* error,
                         CommitTogether* together) {
  AtomicFile file;
  return file.Begin(target, mayReplace, error, together) && file.Write(bytes, error) &&
         file.Commit(error);
}

bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         std::string* error) {
  return WriteFileAtomically(target, bytes, nullptr, error);
}

}  // namespace plughost
