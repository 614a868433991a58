// What a path is on Windows: a file's status and identity, links followed,
// final names, and the listing of a folder.
#include <windows.h>
#include <winternl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "plughost/system/system.h"
#include "plughost/system/win32_helpers.h"

// Exported by ntdll, declared by no header of the toolchain.
extern "C" ULONG NTAPI RtlIsDosDeviceName_U(PCWSTR name);

namespace plughost::sys {

namespace {

// "\\?\C:\x" as GetFinalPathNameByHandle gives it, without the prefix.
std::string WithoutLongPrefix(std::string path) {
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
  if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

// Whether opening `path` could find something its folder does not list: a
// device name (NUL, COM1, CON.txt in any folder) or a name in the device
// space (\\.\pipe\x).
bool MayNameDevice(const std::string& path) {
  const auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (path.size() >= 4 && separator(path[0]) && separator(path[1]) && path[2] == '.' &&
      separator(path[3]))
    return true;
  const std::string name = NamePart(path);
  if (_stricmp(name.c_str(), "CONIN$") == 0 || _stricmp(name.c_str(), "CONOUT$") == 0) return true;
  const int wide = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (wide <= 0) return true;
  std::wstring text(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &text[0], wide);
  return RtlIsDosDeviceName_U(text.c_str()) != 0;
}

HANDLE OpenForQuery(const std::string& path) {
  return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The serial of the volume a folder's files are on, asked once a folder of
// `volumes`.
bool FolderVolume(const std::string& path, FolderVolumes* volumes, DWORD* serial) {
  const std::string folder = FolderPart(path);
  const auto found = volumes->serials.find(folder);
  if (found != volumes->serials.end()) {
    *serial = found->second;
    return true;
  }
  HANDLE handle = OpenForQuery(folder.empty() ? "." : folder);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // The folder's own information, not GetVolumeInformationByHandle: that
  // fails on volumes without a drive of their own (wine's Z:), where a
  // file's information still gives the serial its files have.
  BY_HANDLE_FILE_INFORMATION info;
  const bool asked = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!asked) return false;
  *serial = info.dwVolumeSerialNumber;
  volumes->serials.emplace(folder, *serial);
  return true;
}

// A regular file that is no link, on its folder's volume (known to
// `volumes`): its size and attributes as the folder lists them, its index
// from the file.
bool DescribeListed(const std::string& path, HANDLE file, const WIN32_FILE_ATTRIBUTE_DATA& attributes,
                    FolderVolumes* volumes, FileStatus* status) {
  IO_STATUS_BLOCK io;
  FILE_INTERNAL_INFORMATION internal;
  DWORD serial = 0;
  if (NtQueryInformationFile(file, &io, &internal, sizeof internal, FileInternalInformation) < 0 ||
      !FolderVolume(path, volumes, &serial))
    return false;
  status->id.device = serial;
  status->id.index = static_cast<uint64_t>(internal.IndexNumber.QuadPart);
  status->size = uint64_t{attributes.nFileSizeHigh} << 32 | attributes.nFileSizeLow;
  status->modified = uint64_t{attributes.ftLastWriteTime.dwHighDateTime} << 32 |
                     attributes.ftLastWriteTime.dwLowDateTime;
  status->mode = (attributes.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  return true;
}

// A link, which may lead to another volume, or a file of a caller that
// keeps no volumes: everything from the file it opened, its volume asked.
bool Describe(HANDLE file, FileStatus* status) {
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info) == 0) return false;
  status->id.device = info.dwVolumeSerialNumber;
  status->id.index = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  status->size = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  status->modified = uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32 | info.ftLastWriteTime.dwLowDateTime;
  status->mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  status->links = static_cast<uint32_t>(info.nNumberOfLinks);
  return true;
}

}  // namespace

FileStatus StatusOf(const std::string& path, FolderVolumes* volumes) {
  FileStatus status;
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  const bool listed = GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes) != 0;
  const DWORD listError = GetLastError();
  if (listed && (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status.type = FileType::kDirectory;
    return status;
  }
  if (!listed && IsNotFound(listError) && !MayNameDevice(path)) {
    status.error = static_cast<int>(listError);
    status.type = FileType::kMissing;
    return status;
  }
  // Opened for no access at all, which also finds devices such as NUL.
  HANDLE file = OpenForQuery(path);
  if (file == INVALID_HANDLE_VALUE) {
    status.error = static_cast<int>(listed ? GetLastError() : listError);
    // A device that will not be opened this way (CON, CONIN$) is still no
    // regular file; so it is said, not in the system's words.
    status.type = MayNameDevice(path)                                ? FileType::kOther
                  : IsNotFound(static_cast<DWORD>(status.error)) ? FileType::kMissing
                                                                     : FileType::kUnreachable;
    return status;
  }
  const bool link = (attributes.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  const bool known = listed && GetFileType(file) == FILE_TYPE_DISK &&
                     (link || volumes == nullptr ? Describe(file, &status)
                                                 : DescribeListed(path, file, attributes, volumes, &status));
  status.type = known ? FileType::kRegular : FileType::kOther;
  CloseHandle(file);
  return status;
}

bool IsLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

namespace {

// The name the system gives the file it opens for `path`, links followed;
// false when it cannot be opened or named.
bool FinalName(const std::string& path, std::string* named) {
  HANDLE file = OpenForQuery(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  char final[MAX_PATH * 4] = {};
  const DWORD n = GetFinalPathNameByHandleA(file, final, sizeof final, FILE_NAME_NORMALIZED);
  CloseHandle(file);
  if (n == 0 || n >= sizeof final) return false;
  *named = WithoutLongPrefix(std::string(final, n));
  return true;
}

}  // namespace

// The file by its final name, so that a link is replaced at the file it
// names, as natively.
std::string FollowLinks(const std::string& path) {
  std::string named;
  return FinalName(path, &named) ? named : path;
}

bool RealFolder(const std::string& folder, std::string* real) {
  if (!FinalName(folder.empty() ? "." : folder, real)) return false;
  if (real->back() != '\\') *real += '\\';
  return true;
}

bool MayWrite(const std::string&, const FileStatus& status) { return (status.mode & 0222) != 0; }

bool ListFolder(const std::string&, size_t, std::vector<std::string>*) { return false; }

void ListBeginning(const std::string& folder, const char* prefix, size_t most,
                   std::vector<std::string>* names) {
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((folder + prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (names->size() == most) break;
    names->emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found) != 0);
  FindClose(search);
}

std::string InCurrentFolder(const std::string& name) { return ".\\" + name; }
const char* PathSeparators() { return "/\\"; }

}  // namespace plughost::sys
