#include "plughost/files/file_checks.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "plughost/files/system_headers.h"

namespace plughost {

namespace {

#if defined(_WIN32)
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif

// Netpbm: "P1" to "P7" and white space.
bool IsNetpbm(const std::vector<uint8_t>& head) {
  return head.size() >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '7' &&
         (head[2] == ' ' || head[2] == '\n' || head[2] == '\r' || head[2] == '\t');
}

bool StartsWith(const std::vector<uint8_t>& head, const char* text, size_t n) {
  return head.size() >= n && std::memcmp(head.data(), text, n) == 0;
}

}  // namespace

bool LooksLikeImage(const std::vector<uint8_t>& head) {
  if (StartsWith(head, "\x89PNG", 4) || StartsWith(head, "\xFF\xD8\xFF", 3) ||
      StartsWith(head, "GIF8", 4) || StartsWith(head, "BM", 2))
    return true;
  return IsNetpbm(head);
}

bool LooksLikePalette(const std::vector<uint8_t>& head) { return StartsWith(head, "KiSS", 4); }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(kSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of(kSeparators);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StemOf(const std::string& path) {
  const std::string name = NameOf(path);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string ExtensionOf(const std::string& path) {
  const std::string name = NameOf(path);
  const size_t dot = name.find_last_of('.');
  std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::string PathKey(const std::string& path) {
  std::error_code ignored;
  std::filesystem::path p = std::filesystem::absolute(path, ignored);
  std::string key = (p.empty() ? std::filesystem::path(path) : p).lexically_normal().string();
#if defined(_WIN32)
  std::replace(key.begin(), key.end(), '/', '\\');
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
  return key;
}

std::string ErrnoText(int error) {
  switch (error) {
    case ENOENT:
      return "no such file or folder";
    case ENOTDIR:
      return "a part of its path is not a folder";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ENOSPC:
      return "the disk is full";
#ifdef EDQUOT
    case EDQUOT:
      return "the disk quota is used up";
#endif
    case EROFS:
      return "the file system is read-only";
    case ENAMETOOLONG:
      return "the name is too long";
    case EISDIR:
      return "it is a directory";
#ifdef ELOOP
    case ELOOP:
      return "too many symbolic links";
#endif
    case EIO:
      return "the disk could not be read or written";
    case EMFILE:
    case ENFILE:
      return "too many files are open";
    case EFBIG:
      return "the file would be too large";
    default:
      return "system error " + std::to_string(error);
  }
}

std::string Refusal(const std::string& name, const FileStatus& status) {
  switch (status.type) {
    case FileType::kRegular:
      return "";
    case FileType::kDirectory:
      return name + " is a directory";
    case FileType::kOther:
      return name + " is not a regular file";
    case FileType::kMissing:
    case FileType::kUnreachable:
      break;
  }
  return name + ": " + ReasonText(status.error);
}

#if defined(_WIN32)

int LastSystemError() { return static_cast<int>(GetLastError()); }

std::string ReasonText(int error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "no such file or folder";
    case ERROR_ACCESS_DENIED:
      return "permission denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "the disk is full";
    case ERROR_WRITE_PROTECT:
      return "the disk is read-only";
    case ERROR_FILENAME_EXCED_RANGE:
      return "the name is too long";
    case ERROR_INVALID_NAME:
      return "the name is not valid";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "another program has the file open";
    default:
      return "system error " + std::to_string(error);
  }
}

FileStatus StatusOf(const std::string& path) {
  FileStatus status;
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  const bool listed = GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes) != 0;
  const DWORD listError = GetLastError();
  if (listed && (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status.type = FileType::kDirectory;
    return status;
  }
  // Opened for no access at all, which also finds devices such as NUL.
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    status.error = static_cast<int>(listed ? GetLastError() : listError);
    status.type = status.error == ERROR_FILE_NOT_FOUND || status.error == ERROR_PATH_NOT_FOUND
                      ? FileType::kMissing
                      : FileType::kUnreachable;
    return status;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file) != FILE_TYPE_DISK || !listed ||
      GetFileInformationByHandle(file, &info) == 0) {
    status.type = FileType::kOther;
  } else {
    status.type = FileType::kRegular;
    status.id.device = info.dwVolumeSerialNumber;
    status.id.index = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    status.size = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    status.mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  }
  CloseHandle(file);
  return status;
}

std::string FollowLinks(const std::string& path) { return path; }

#else

int LastSystemError() { return errno; }

std::string ReasonText(int error) { return ErrnoText(error); }

FileStatus StatusOf(const std::string& path) {
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
  return status;
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
    at = target[0] == '/' ? target : FolderOf(at) + target;
  }
  return at;
}

#endif

}  // namespace plughost
