#include "plughost/files/scratch_file.h"

#include "plughost/files/atomic_file.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/system/system.h"

namespace plughost {

ScratchFile::~ScratchFile() {
  sys::Close(ref_);
  RemoveOwnFile(path_, pending_, together_ != nullptr ? &together_->leftBehind() : nullptr);
}

bool ScratchFile::Begin(const std::string& beside, std::string* error, CommitTogether* together) {
  if (ref_ >= 0) {
    *error = "a temporary file beside " + beside + " is made once";
    return false;
  }
  beside_ = beside;
  together_ = together;
  RemovePendingOnInterrupt();
  int failure = 0;
  {
    // Made and listed for removal as one step, as a new output is.
    sys::InterruptsHeld held;
    // Beside a new output of a folder being staged: in the staging folder.
    const std::string place = together != nullptr ? together->StagedPlace(beside) : "";
    ref_ = sys::CreateUnique(FolderOf(place.empty() ? FollowLinks(beside, nullptr, together != nullptr ? &together->folders() : nullptr) : place), &path_, &failure);
    if (ref_ >= 0) pending_ = RememberPending(path_);
  }
  if (ref_ >= 0) return true;
  *error = "cannot make a temporary file beside " + beside + ": " + ReasonText(failure);
  return false;
}

bool ScratchFile::Write(const std::vector<uint8_t>& bytes, std::string* error) {
  int failure = 0;
  if (ref_ >= 0 && sys::WriteAll(ref_, bytes.data(), bytes.size(), &failure)) {
    size_ += bytes.size();
    return true;
  }
  *error = "cannot write a temporary file beside " + beside_ + ": " + ReasonText(failure);
  return false;
}

bool ScratchFile::Rewrite(const std::vector<uint8_t>& bytes, std::string* error) {
  int failure = 0;
  if (ref_ >= 0 && sys::Rewrite(ref_, bytes.data(), bytes.size(), size_, &failure)) {
    size_ = bytes.size();
    return true;
  }
  *error = "cannot write a temporary file beside " + beside_ + ": " + ReasonText(failure);
  return false;
}

uint64_t ScratchFile::Position() const { return ref_ >= 0 ? sys::PositionOf(ref_) : 0; }

bool ScratchFile::ReadBack(std::vector<uint8_t>* bytes, std::string* error) const {
  bytes->resize(static_cast<size_t>(ref_ >= 0 ? sys::SizeOf(ref_) : 0));
  const int64_t n = ref_ >= 0 ? sys::ReadAt(ref_, 0, bytes->data(), bytes->size()) : -1;
  if (n >= 0) {
    bytes->resize(static_cast<size_t>(n));
    return true;
  }
  *error = "cannot read back the temporary file beside " + beside_ + ": " +
           ReasonText(LastSystemError());
  return false;
}

}  // namespace plughost
