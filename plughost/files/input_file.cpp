#include "plughost/files/input_file.h"

#include <algorithm>

#include "plughost/files/file_checks.h"
#include "plughost/system/system.h"

namespace plughost {

bool InputFile::Open(const std::string& path, std::string* error) {
  Close();
  int failure = 0;
  bool notRegular = false;
  // Opened first and looked at through the reference: one look at the file
  // for the common case, and what is read is what was looked at. Only a
  // refusal asks again, for its words.
  uint64_t size = 0;
  ref_ = sys::OpenRegularForReading(path, &failure, &notRegular, &size);
  if (ref_ < 0) {
    const std::string refusal = Refusal(path, StatusOf(path));
    *error = !refusal.empty() ? refusal
             : notRegular     ? path + " is not a regular file"
                              : path + ": " + ReasonText(failure);
    return false;
  }
  path_ = path;
  size_ = size;
  return true;
}

void InputFile::Close() {
  sys::Close(ref_);
  ref_ = -1;
}

std::vector<uint8_t> InputFile::Head(size_t count) const {
  // No more than the file held when opened: a read that could only find its
  // end costs a system call a file.
  std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(count, size_)));
  const int64_t n = ReadAt(0, bytes.data(), bytes.size());
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

int64_t InputFile::ReadAt(uint64_t at, uint8_t* into, size_t count) const {
  return ref_ >= 0 ? sys::ReadAt(ref_, at, into, count) : -1;
}

uint64_t InputFile::Position() const { return ref_ >= 0 ? sys::PositionOf(ref_) : 0; }

bool InputFile::ReadAll(std::vector<uint8_t>* bytes, std::string* error,
                        uint64_t limit) const {
  if (size_ > limit) {
    *error = path_ + " is larger than the " + std::to_string(limit >> 20) + " MiB plughost reads";
    return false;
  }
  bytes->resize(static_cast<size_t>(size_));
  const int64_t n = ReadAt(0, bytes->data(), bytes->size());
  if (n < 0) {
    *error = path_ + ": " + ReasonText(LastSystemError());
    return false;
  }
  bytes->resize(static_cast<size_t>(n));
  return true;
}

}  // namespace plughost
