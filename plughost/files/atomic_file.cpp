#include "plughost/files/atomic_file.h"

#include "plughost/files/file_checks.h"
#include "plughost/files/file_faults.h"
#include "plughost/files/input_file.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/files/placing.h"
#include "plughost/system/system.h"

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

}  // namespace

bool AtomicFile::Begin(const std::string& target, const ReplaceCheck& mayReplace,
                       std::string* error, CommitTogether* together) {
  Abandon();
  target_ = target;
  together_ = together;
  const std::string place = together != nullptr ? together->StagedPlace(target) : "";
  if (!place.empty()) {
    together->TakeCheckedMissing(target);
    return BeginStaged(place, error);
  }
  bool nameChanged = false;
  // A batch's check of its files found most outputs missing, and is
  // trusted until they are put in place.
  const bool missing = together != nullptr && together->TakeCheckedMissing(target);
  KnownFolders* folders = together != nullptr ? &together->folders() : nullptr;
  replaced_ = missing ? FollowFolderLinks(target, folders) : FollowLinks(target, &nameChanged, folders);
  const FileStatus old = missing ? FileStatus{} : StatusOf(replaced_, folders);
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
  replaced_ = FollowFolderLinks(target_, &together_->folders());  // where the staged folder puts it
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
  if (ref_ >= 0 && gate::WriteAll(Faults(), ref_, bytes, count, &failure)) return true;
  *error = Failed("cannot write " + target_ + ": ", failure);
  return false;
}

std::string AtomicFile::Failed(const std::string& prefix, int failure) {
  const std::string reason = ReasonText(failure);
  if (together_ != nullptr && IsHostFailure(failure)) together_->HostFailed(reason);
  return prefix + reason;
}

FileFaults* AtomicFile::Faults() const {
  return together_ != nullptr ? together_->faults() : faults_;
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
  const bool flushed = gate::SyncAndClose(Faults(), ref_, &failure);
  ref_ = -1;
  bool renamed = false;
  const std::string changed = flushed ? ChangedMeanwhile(target_, replaced_, was_, nullptr) : "";
  if (flushed && changed.empty()) {
    sys::InterruptsHeld held;
    renamed = gate::RenameOver(Faults(), temp_, replaced_, &failure);
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
  if (!gate::SyncFolder(Faults(), FolderOf(replaced_), &failure)) {
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
  RemoveOwnFile(temp_, pending_, together_ != nullptr ? &together_->leftBehind() : &leftBehind_,
                Faults());
  temp_.clear();
  pending_ = nullptr;
  hold_.reset();
  staged_ = false;
  was_ = FileStatus{};
}

bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         const ReplaceCheck& mayReplace, std::string* error,
                         CommitTogether* together, FileFaults* faults) {
  AtomicFile file(faults);
  return file.Begin(target, mayReplace, error, together) && file.Write(bytes, error) &&
         file.Commit(error);
}

bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         std::string* error) {
  return WriteFileAtomically(target, bytes, nullptr, error);
}

}  // namespace plughost
