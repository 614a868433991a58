// What a path is on POSIX: a file's status and identity, links followed,
// real names, and the listing of a folder.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "plughost/system/system.h"

namespace plughost::sys {

FileStatus StatusOf(const std::string& path, FolderVolumes*) {
  FileStatus status;
  struct stat s;
  if (stat(path.c_str(), &s) != 0) {
    status.error = errno;
    status.type =
        errno == ENOENT || errno == ENOTDIR ? FileType::kMissing : FileType::kUnreachable;
    return status;
  }
  status.type = S_ISREG(s.st_mode)   ? FileType::kRegular
                : S_ISDIR(s.st_mode) ? FileType::kDirectory
                                     : FileType::kOther;
  status.id.device = static_cast<uint64_t>(s.st_dev);
  status.id.index = static_cast<uint64_t>(s.st_ino);
  status.size = static_cast<uint64_t>(s.st_size);
  status.mode = s.st_mode & 07777;
  status.owner = s.st_uid;
  status.group = s.st_gid;
  status.modified = uint64_t(s.st_mtim.tv_sec) * 1000000000u + uint64_t(s.st_mtim.tv_nsec);
  status.links = static_cast<uint32_t>(s.st_nlink);
  return status;
}

bool IsLink(const std::string& path) {
  struct stat s;
  return lstat(path.c_str(), &s) == 0 && S_ISLNK(s.st_mode);
}

std::string FollowLinks(const std::string& path) {
  std::string at = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat s;
    if (lstat(at.c_str(), &s) != 0 || !S_ISLNK(s.st_mode)) return at;
    std::string target(static_cast<size_t>(s.st_size > 0 ? s.st_size : 4096) + 1, '\0');
    const ssize_t n = readlink(at.c_str(), &target[0], target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) return at;
    target.resize(static_cast<size_t>(n));
    at = target[0] == '/' ? target : FolderPart(at) + target;
  }
  return at;
}

bool RealFolder(const std::string& folder, std::string* real) {
  char* named = realpath(folder.empty() ? "." : folder.c_str(), nullptr);
  if (named == nullptr) return false;
  *real = named;
  std::free(named);
  if (real->empty() || real->back() != '/') *real += '/';
  return true;
}

bool ListFolder(const std::string& folder, size_t most, std::vector<std::string>* names) {
  DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
  if (listing == nullptr) return errno == ENOENT;  // a folder still to be made holds nothing
  bool whole = true;
  while (const dirent* entry = readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    if (names->size() == most) {
      whole = false;
      break;
    }
    names->emplace_back(entry->d_name);
  }
  closedir(listing);
  return whole;
}

void ListBeginning(const std::string& folder, const char* prefix, size_t most,
                   std::vector<std::string>* names) {
  DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
  if (listing == nullptr) return;
  const size_t length = std::strlen(prefix);
  while (const dirent* entry = readdir(listing)) {
    if (names->size() == most) break;
    if (std::strncmp(entry->d_name, prefix, length) == 0) names->emplace_back(entry->d_name);
  }
  closedir(listing);
}

bool MayWrite(const std::string& path, const FileStatus& status) {
  return (status.mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

std::string InCurrentFolder(const std::string& name) { return "./" + name; }
const char* PathSeparators() { return "/"; }

}  // namespace plughost::sys
