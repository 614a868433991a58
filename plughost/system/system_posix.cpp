// The host's system layer on POSIX for files: errors, references, and
// making, writing, syncing, renaming and removing files and folders.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "plughost/system/system.h"
#include "plughost/system/unique_name.h"

namespace plughost::sys {

int LastError() { return errno; }

std::string SystemWords(int error) {
  std::string words = std::strerror(error);
  if (!words.empty()) words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
  return words;
}

int AsErrno(int error) { return error; }

int FromErrno(int error) { return error; }

int32_t OpenRegularForReading(const std::string& path, int* error, bool* notRegular,
                              uint64_t* size) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  struct stat s;
  if (fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) {
    close(fd);
    *notRegular = true;
    return -1;
  }
  // O_NONBLOCK kept a FIFO from holding up the open; a regular file's reads
  // never wait on it, so it stays.
  *size = static_cast<uint64_t>(s.st_size);
  return fd;
}

int64_t ReadAt(int32_t ref, uint64_t at, uint8_t* into, size_t count) {
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

uint64_t SizeOf(int32_t ref) {
  struct stat s;
  return fstat(ref, &s) == 0 ? static_cast<uint64_t>(s.st_size) : 0;
}

void Close(int32_t ref) {
  if (ref >= 0) close(ref);
}

namespace {

// A seed no other plughost is likely to have at the same moment: the
// process, the clock's nanoseconds and the attempt.
uint64_t NameSeed(int attempt) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(getpid()) * 0x100000001B3u ^
         (static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec)) ^
         static_cast<uint64_t>(attempt) << 48;
}

}  // namespace

int32_t CreateNamed(const std::string& path, int* error) {
  // Mode 0666 less the umask, as any new file, until it takes the old one's.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) *error = errno;
  return fd;
}

int32_t CreateUnique(const std::string& folder, std::string* path, int* error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *path = UniqueName(folder, NameSeed(attempt));
    const int fd = CreateNamed(*path, error);
    if (fd >= 0) return fd;
    if (*error != EEXIST) break;
  }
  path->clear();
  return -1;
}

bool CreateUniqueFolder(const std::string& folder, std::string* path, int* error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *path = UniqueName(folder, NameSeed(attempt));
    if (mkdir(path->c_str(), 0777) == 0) return true;
    *error = errno;
    if (errno != EEXIST) break;
  }
  path->clear();
  return false;
}

bool RemoveFolder(const std::string& path, int* error) {
  if (rmdir(path.c_str()) == 0 || errno == ENOENT) return true;
  if (error != nullptr) *error = errno;
  return false;
}

void KeepModeAndOwner(int32_t ref, const FileStatus& old) {
  if (old.type != FileType::kRegular) return;
  if (geteuid() == 0 && fchown(ref, old.owner, old.group) != 0) {
    // A file system without owners: the mode still counts.
  }
  fchmod(ref, static_cast<mode_t>(old.mode));
}

bool WriteAll(int32_t ref, const uint8_t* bytes, size_t count, int* error) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = write(ref, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool Rewrite(int32_t ref, const uint8_t* bytes, size_t count, uint64_t size, int* error) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = pwrite(ref, bytes + done, count - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if ((size > count && ftruncate(ref, static_cast<off_t>(count)) != 0) || lseek(ref, 0, SEEK_SET) != 0) {
    *error = errno;
    return false;
  }
  return true;
}

bool SyncAndClose(int32_t ref, int* error) {
  bool ok = true;
  if (fsync(ref) != 0) {
    *error = errno;
    ok = false;
  }
  if (close(ref) != 0 && ok) {
    *error = errno;
    ok = false;
  }
  return ok;
}

bool CloseForBatch(int32_t ref, int* error) {
  if (close(ref) == 0) return true;
  *error = errno;
  return false;
}

namespace {

// Opens `path` for reading (a folder too), runs `sync` on it and closes it.
bool SyncThrough(const std::string& path, int (*sync)(int), int* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  bool ok = fd >= 0 && sync(fd) == 0;
  if (!ok) *error = errno;
  if (fd >= 0) close(fd);
  return ok;
}

}  // namespace

bool SyncFileSystemOf(const std::string& path, int* error) {
#if defined(__EMSCRIPTEN__)
  // Emscripten keeps its files in memory and has no syncfs: an fsync is
  // all its file systems can be asked.
  return SyncThrough(path, fsync, error);
#else
  return SyncThrough(path, syncfs, error);
#endif
}

bool SyncFile(const std::string& path, int* error) { return SyncThrough(path, fsync, error); }

bool SyncFolder(const std::string& folder, int* error) {
  return SyncThrough(folder.empty() ? "." : folder, fsync, error);
}

bool RenameOver(const std::string& from, const std::string& to, int* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = errno;
  return false;
}

bool RenameFolder(const std::string& from, const std::string& to, int* error) {
  return RenameOver(from, to, error);
}

bool Remove(const std::string& path, int* error) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  if (error != nullptr) *error = errno;
  return false;
}

bool CreateExclusive(const std::string& path, int* error, bool* exists) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
  *exists = fd < 0 && errno == EEXIST;
  if (fd < 0) return *error = errno, false;
  close(fd);
  return true;
}

bool MakeFolders(const std::string& path, int* error) {
  std::error_code made;
  std::filesystem::create_directories(path, made);
  if (made) *error = made.value();
  return !made;
}

int32_t OpenReference(const std::string& path, bool create) {
  return create ? open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                : open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

}  // namespace plughost::sys
