#include "plughost/files/input_file.h"

#include "plughost/files/file_checks.h"
#include "plughost/files/file_refs.h"
#include "plughost/files/system_headers.h"

namespace plughost {

namespace {

#if defined(_WIN32)

int32_t OpenRegular(const std::string& path, int* error) {
  HFILE file = _lopen(path.c_str(), OF_READ | OF_SHARE_DENY_NONE);
  if (file == HFILE_ERROR) {
    *error = LastSystemError();
    return -1;
  }
  return static_cast<int32_t>(file);
}

int64_t ReadFileAt(int32_t ref, uint64_t at, uint8_t* into, size_t count) {
  const HFILE file = static_cast<HFILE>(ref);
  const LONG was = _llseek(file, 0, FILE_CURRENT);
  _llseek(file, static_cast<LONG>(at), FILE_BEGIN);
  const UINT n = _lread(file, into, static_cast<UINT>(count));
  _llseek(file, was, FILE_BEGIN);
  return n == UINT(HFILE_ERROR) ? -1 : int64_t{n};
}

uint64_t PositionOf(int32_t ref) {
  const LONG at = _llseek(static_cast<HFILE>(ref), 0, FILE_CURRENT);
  return at < 0 ? 0 : static_cast<uint64_t>(at);
}

#else

// O_NONBLOCK so that a FIFO put in place after the check cannot hang the
// open; fstat then tells what was really opened.
int32_t OpenRegular(const std::string& path, int* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  struct stat s;
  if (fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) {
    close(fd);
    *error = EINVAL;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int64_t ReadFileAt(int32_t ref, uint64_t at, uint8_t* into, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = pread(ref, into + done, count - done, static_cast<off_t>(at + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

uint64_t PositionOf(int32_t ref) {
  const off_t at = lseek(ref, 0, SEEK_CUR);
  return at < 0 ? 0 : static_cast<uint64_t>(at);
}

#endif

}  // namespace

bool InputFile::Open(const std::string& path, std::string* error) {
  Close();
  const FileStatus status = StatusOf(path);
  if (status.type != FileType::kRegular) {
    *error = Refusal(path, status);
    return false;
  }
  int failure = 0;
  ref_ = OpenRegular(path, &failure);
  if (ref_ < 0) {
    *error = failure == 0 ? path + " is not a regular file" : path + ": " + ReasonText(failure);
#if !defined(_WIN32)
    if (failure == EINVAL) *error = path + " is not a regular file";
#endif
    return false;
  }
  path_ = path;
  size_ = status.size;
  return true;
}

void InputFile::Close() {
  if (ref_ >= 0) CloseFile(ref_);
  ref_ = -1;
}

std::vector<uint8_t> InputFile::Head(size_t count) const {
  std::vector<uint8_t> bytes(count);
  const int64_t n = ref_ >= 0 ? ReadFileAt(ref_, 0, bytes.data(), count) : 0;
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

int64_t InputFile::ReadAt(uint64_t at, uint8_t* into, size_t count) const {
  return ref_ >= 0 ? ReadFileAt(ref_, at, into, count) : -1;
}

uint64_t InputFile::Position() const { return ref_ >= 0 ? PositionOf(ref_) : 0; }

bool InputFile::ReadAll(std::vector<uint8_t>* bytes, std::string* error) const {
  if (size_ > kMaxImageFileBytes) {
    *error = path_ + " is larger than the 1 GiB plughost reads";
    return false;
  }
  bytes->resize(static_cast<size_t>(size_));
  const int64_t n = ReadFileAt(ref_, 0, bytes->data(), bytes->size());
  if (n < 0) {
    *error = path_ + ": " + ReasonText(LastSystemError());
    return false;
  }
  bytes->resize(static_cast<size_t>(n));
  return true;
}

}  // namespace plughost
