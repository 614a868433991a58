#include "plughost/files/atomic_file.h"

#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/files/system.h"

namespace plughost {

namespace {

std::string KindRefusal(const std::string& target, Content content,
                        const std::vector<uint8_t>& head) {
  const bool image = LooksLikeImage(head), palette = LooksLikePalette(head);
  if ((content == Content::kPalette || content == Content::kText) && image)
    return target + " holds an image, not a palette; give --force to replace it";
  if ((content == Content::kImage || content == Content::kText) && palette)
    return target + " holds a KiSS palette, not an image; give --force to replace it";
  return "";
}

// What the target's first bytes are, read through the gate's own reader.
std::vector<uint8_t> HeadOf(const std::string& path) {
  InputFile file;
  std::string ignored;
  return file.Open(path, &ignored) ? file.Head(16) : std::vector<uint8_t>();
}

// Why `target` (the name given) may not be replaced by a new file at
// `replaced` (the file it names), or "".
std::string TargetRefusal(const std::string& target, const std::string& replaced,
                          const FileStatus& old, Content content, bool force) {
  if (old.type == FileType::kMissing && replaced != target && sys::IsLink(target))
    return target + " is a symbolic link to a missing file; not writing through it";
  if (old.type == FileType::kDirectory || old.type == FileType::kOther ||
      old.type == FileType::kUnreachable)
    return Refusal(target, old);
  if (old.type != FileType::kRegular) return "";
  if (!sys::MayWrite(replaced, old)) return target + ": permission denied";
  return force ? "" : KindRefusal(target, content, HeadOf(replaced));
}

}  // namespace

bool AtomicFile::Begin(const std::string& target, Content content, bool force,
                       std::string* error) {
  Abandon();
  target_ = target;
  replaced_ = FollowLinks(target);
  const FileStatus old = StatusOf(replaced_);
  *error = TargetRefusal(target, replaced_, old, content, force);
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
    *error = target + ": " + ReasonText(failure);
    return false;
  }
  sys::KeepModeAndOwner(ref_, old);
  return true;
}

bool AtomicFile::Write(const uint8_t* bytes, size_t count, std::string* error) {
  int failure = 0;
  if (ref_ >= 0 && sys::WriteAll(ref_, bytes, count, &failure)) return true;
  *error = "cannot write " + target_ + ": " + ReasonText(failure);
  return false;
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
  int failure = 0;
  const bool flushed = sys::SyncAndClose(ref_, &failure);
  ref_ = -1;
  bool renamed = false;
  if (flushed) {
    sys::InterruptsHeld held;
    renamed = sys::RenameOver(temp_, replaced_, &failure);
    if (renamed) ForgetPending(pending_);
  }
  if (!renamed) {
    *error = "cannot write " + target_ + ": " + ReasonText(failure);
    Abandon();
    return false;
  }
  pending_ = nullptr;
  temp_.clear();
  return true;
}

void AtomicFile::Abandon() {
  sys::Close(ref_);
  ref_ = -1;
  sys::InterruptsHeld held;
  if (!temp_.empty()) sys::Remove(temp_);
  temp_.clear();
  ForgetPending(pending_);
  pending_ = nullptr;
}

bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         Content content, bool force, std::string* error) {
  AtomicFile file;
  return file.Begin(target, content, force, error) && file.Write(bytes, error) &&
         file.Commit(error);
}

bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         std::string* error) {
  return WriteFileAtomically(target, bytes, Content::kAny, false, error);
}

}  // namespace plughost
