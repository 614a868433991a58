#include "plughost/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "plughost/system_headers.h"

namespace plughost {

namespace {

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

#if defined(_WIN32)

std::string LastErrorText() {
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 GetLastError(), 0, text, sizeof text, nullptr);
  std::string s(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
  return s.empty() ? "error " + std::to_string(GetLastError()) : s;
}

bool CreateExclusive(const std::string& target, std::string* temp, std::string* error) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temp = DirectoryOf(target) + "." + NameOf(target) + ".plughost-" +
            std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + ".tmp";
    HANDLE file = CreateFileA(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  *error = "cannot create a file beside " + target + ": " + LastErrorText();
  temp->clear();
  return false;
}

bool FlushToDisk(const std::string& path, std::string* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  const bool ok = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file) != 0;
  if (!ok) *error = "cannot flush " + path + ": " + LastErrorText();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to, std::string* error) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  *error = "cannot replace " + to + ": " + LastErrorText();
  return false;
}

#else

bool CreateExclusive(const std::string& target, std::string* temp, std::string* error) {
  std::string pattern = DirectoryOf(target) + "." + NameOf(target) + ".plughost-XXXXXX";
  const int fd = mkstemp(&pattern[0]);
  if (fd < 0) {
    *error = "cannot create a file beside " + target + ": " + std::strerror(errno);
    return false;
  }
  // mkstemp makes it private; the result should look like any new file, or
  // keep the mode of the file it replaces.
  struct stat old;
  mode_t mode = 0;
  if (stat(target.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  close(fd);
  *temp = pattern;
  return true;
}

bool FlushToDisk(const std::string& path, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const bool ok = fd >= 0 && fsync(fd) == 0;
  if (!ok) *error = "cannot flush " + path + ": " + std::strerror(errno);
  if (fd >= 0) close(fd);
  return ok;
}

bool RenameOver(const std::string& from, const std::string& to, std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = "cannot replace " + to + ": " + std::strerror(errno);
  return false;
}

#endif

}  // namespace

bool AtomicFile::Begin(const std::string& target, std::string* error) {
  Abandon();
  target_ = target;
  return CreateExclusive(target, &temp_, error);
}

bool AtomicFile::Commit(std::string* error) {
  if (temp_.empty()) {
    *error = "nothing to commit for " + target_;
    return false;
  }
  if (!FlushToDisk(temp_, error) || !RenameOver(temp_, target_, error)) return false;
  temp_.clear();
  return true;
}

void AtomicFile::Abandon() {
  if (temp_.empty()) return;
  std::remove(temp_.c_str());
  temp_.clear();
}

bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         std::string* error) {
  AtomicFile file;
  if (!file.Begin(target, error)) return false;
  std::FILE* out = std::fopen(file.tempPath().c_str(), "wb");
  bool ok = out != nullptr;
  if (ok && !bytes.empty()) ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (out != nullptr) ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    *error = "cannot write " + file.tempPath() + ": " + std::strerror(errno);
    return false;
  }
  return file.Commit(error);
}

}  // namespace plughost
