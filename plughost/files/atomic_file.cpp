#include "plughost/files/atomic_file.h"

#include <cstdio>
#include <cstring>

#include "plughost/files/file_checks.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/files/system_headers.h"

namespace plughost {

namespace {

std::string KindRefusal(const std::string& target, Content content,
                        const std::vector<uint8_t>& head) {
  if (content == Content::kPalette && LooksLikeImage(head))
    return target + " holds an image, not a palette; give --force to replace it";
  if (content == Content::kImage && LooksLikePalette(head))
    return target + " holds a KiSS palette, not an image; give --force to replace it";
  return "";
}

#if defined(_WIN32)

std::vector<uint8_t> HeadOf(const std::string& path) {
  std::vector<uint8_t> head(16);
  HFILE file = _lopen(path.c_str(), OF_READ | OF_SHARE_DENY_NONE);
  if (file == HFILE_ERROR) return {};
  const UINT n = _lread(file, head.data(), static_cast<UINT>(head.size()));
  _lclose(file);
  head.resize(n == UINT(HFILE_ERROR) ? 0 : n);
  return head;
}

bool MayWrite(const std::string&, const FileStatus& status) { return (status.mode & 0222) != 0; }

int32_t CreateBeside(const std::string& folder, std::string* temp, int* failure) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = folder + ".plughost-" + std::to_string(GetCurrentProcessId() % 100000) + "-" +
            std::to_string(counter++);
    HANDLE file = CreateFileA(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      HFILE ref = _lopen(temp->c_str(), OF_READWRITE | OF_SHARE_EXCLUSIVE);
      if (ref != HFILE_ERROR) return static_cast<int32_t>(ref);
      *failure = LastSystemError();
      DeleteFileA(temp->c_str());
      break;
    }
    *failure = LastSystemError();
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  temp->clear();
  return -1;
}

void KeepModeAndOwner(int32_t, const FileStatus&) {}

bool WriteAllTo(int32_t ref, const std::vector<uint8_t>& bytes, int* failure) {
  const UINT n = _lwrite(static_cast<HFILE>(ref), reinterpret_cast<LPCCH>(bytes.data()),
                         static_cast<UINT>(bytes.size()));
  if (n == bytes.size()) return true;
  *failure = n == UINT(HFILE_ERROR) ? LastSystemError() : ERROR_DISK_FULL;
  return false;
}

uint64_t SizeOf(int32_t ref) {
  const HFILE file = static_cast<HFILE>(ref);
  const LONG was = _llseek(file, 0, FILE_CURRENT);
  const LONG end = _llseek(file, 0, FILE_END);
  _llseek(file, was, FILE_BEGIN);
  return end < 0 ? 0 : static_cast<uint64_t>(end);
}

bool FlushAndClose(int32_t ref, int* failure) {
  const HFILE file = static_cast<HFILE>(ref);
  const bool flushed = FlushFileBuffers(reinterpret_cast<HANDLE>(static_cast<intptr_t>(file))) != 0;
  if (!flushed) *failure = LastSystemError();
  _lclose(file);
  return flushed;
}

bool RenameOver(const std::string& from, const std::string& to, int* failure) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  *failure = LastSystemError();
  return false;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }
void CloseRef(int32_t ref) { _lclose(static_cast<HFILE>(ref)); }

#else

std::vector<uint8_t> HeadOf(const std::string& path) {
  std::vector<uint8_t> head(16);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return {};
  const ssize_t n = read(fd, head.data(), head.size());
  close(fd);
  head.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return head;
}

// No write permission bits means read-only to everyone, root included.
bool MayWrite(const std::string& path, const FileStatus& status) {
  return (status.mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

int32_t CreateBeside(const std::string& folder, std::string* temp, int* failure) {
  std::string pattern = folder + ".plughost-XXXXXX";
  const int fd = mkostemp(&pattern[0], O_CLOEXEC);
  if (fd < 0) {
    *failure = errno;
    return -1;
  }
  *temp = pattern;
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);  // as any new file, until it takes the old one's
  return fd;
}

void KeepModeAndOwner(int32_t ref, const FileStatus& old) {
  if (old.type != FileType::kRegular) return;
  if (geteuid() == 0 && fchown(ref, old.owner, old.group) != 0) {
    // A file system without owners: the mode still counts.
  }
  fchmod(ref, static_cast<mode_t>(old.mode));
}

bool WriteAllTo(int32_t ref, const std::vector<uint8_t>& bytes, int* failure) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(ref, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *failure = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

uint64_t SizeOf(int32_t ref) {
  struct stat s;
  return fstat(ref, &s) == 0 ? static_cast<uint64_t>(s.st_size) : 0;
}

bool FlushAndClose(int32_t ref, int* failure) {
  bool ok = fsync(ref) == 0;
  if (!ok) *failure = errno;
  if (close(ref) != 0 && ok) {
    *failure = errno;
    ok = false;
  }
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to, int* failure) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *failure = errno;
  return false;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }
void CloseRef(int32_t ref) { close(ref); }

#endif

}  // namespace

bool AtomicFile::Begin(const std::string& target, Content content, bool force,
                       std::string* error) {
  Abandon();
  target_ = target;
  replaced_ = FollowLinks(target);
  const FileStatus old = StatusOf(replaced_);
  if (old.type == FileType::kDirectory || old.type == FileType::kOther ||
      old.type == FileType::kUnreachable) {
    *error = Refusal(target, old);
    return false;
  }
  if (old.type == FileType::kRegular) {
    if (!MayWrite(replaced_, old)) {
      *error = target + ": permission denied";
      return false;
    }
    const std::string kind = force ? "" : KindRefusal(target, content, HeadOf(replaced_));
    if (!kind.empty()) {
      *error = kind;
      return false;
    }
  }
  RemovePendingOnInterrupt();
  int failure = 0;
  ref_ = CreateBeside(FolderOf(replaced_), &temp_, &failure);
  if (ref_ < 0) {
    *error = target + ": " + ReasonText(failure);
    return false;
  }
  slot_ = RememberPending(temp_);
  KeepModeAndOwner(ref_, old);
  return true;
}

bool AtomicFile::Write(const std::vector<uint8_t>& bytes, std::string* error) {
  int failure = 0;
  if (ref_ >= 0 && WriteAllTo(ref_, bytes, &failure)) return true;
  *error = "cannot write " + target_ + ": " + ReasonText(failure);
  return false;
}

uint64_t AtomicFile::BytesWritten() const { return ref_ >= 0 ? SizeOf(ref_) : 0; }

bool AtomicFile::Commit(std::string* error) {
  if (temp_.empty()) {
    *error = "nothing to commit for " + target_;
    return false;
  }
  int failure = 0;
  const bool flushed = FlushAndClose(ref_, &failure);
  ref_ = -1;
  if (!flushed || !RenameOver(temp_, replaced_, &failure)) {
    *error = "cannot write " + target_ + ": " + ReasonText(failure);
    Abandon();
    return false;
  }
  ForgetPending(slot_);
  slot_ = -1;
  temp_.clear();
  return true;
}

void AtomicFile::Abandon() {
  if (ref_ >= 0) CloseRef(ref_);
  ref_ = -1;
  if (!temp_.empty()) RemoveFile(temp_);
  temp_.clear();
  ForgetPending(slot_);
  slot_ = -1;
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
