// The host's system layer on Windows. The module's _lread/_lwrite/_llseek
// take HFILEs, so references are HFILEs made with _lopen.
#include <windows.h>
#include <winternl.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "plughost/system/system.h"
#include "plughost/system/unique_name.h"

// Exported by ntdll, declared by no header of the toolchain.
extern "C" ULONG NTAPI RtlIsDosDeviceName_U(PCWSTR name);

namespace plughost::sys {

namespace {

HANDLE AsHandle(int32_t ref) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(ref)); }

// "\\?\C:\x" as GetFinalPathNameByHandle gives it, without the prefix.
std::string WithoutLongPrefix(std::string path) {
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
  if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
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

int LastError() { return static_cast<int>(GetLastError()); }

std::string SystemWords(int error) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string words = n > 0 && text != nullptr ? std::string(text, n) : "";
  if (text != nullptr) LocalFree(text);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.'))
    words.pop_back();
  if (words.empty()) return "an error the system does not describe";
  words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
  return words;
}

int AsErrno(int error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_CRC:
      return EIO;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;
    case ERROR_BAD_EXE_FORMAT:
      return ENOEXEC;
    default:
      return 0;
  }
}

int FromErrno(int error) {
  switch (error) {
    case ENOSPC:
      return ERROR_DISK_FULL;
    case EACCES:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_WRITE_FAULT;
  }
}

int32_t OpenRegularForReading(const std::string& path, int* error, bool* notRegular,
                              uint64_t* size) {
  HFILE file = _lopen(path.c_str(), OF_READ | OF_SHARE_DENY_NONE);
  if (file == HFILE_ERROR) {
    *error = LastError();
    return -1;
  }
  if (GetFileType(AsHandle(static_cast<int32_t>(file))) != FILE_TYPE_DISK) {
    _lclose(file);
    *notRegular = true;
    return -1;
  }
  *size = SizeOf(static_cast<int32_t>(file));
  return static_cast<int32_t>(file);
}

int64_t ReadAt(int32_t ref, uint64_t at, uint8_t* into, size_t count) {
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

uint64_t SizeOf(int32_t ref) {
  const HFILE file = static_cast<HFILE>(ref);
  const LONG was = _llseek(file, 0, FILE_CURRENT);
  const LONG end = _llseek(file, 0, FILE_END);
  _llseek(file, was, FILE_BEGIN);
  return end < 0 ? 0 : static_cast<uint64_t>(end);
}

void Close(int32_t ref) {
  if (ref >= 0) _lclose(static_cast<HFILE>(ref));
}

int32_t CreateNamed(const std::string& path, int* error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastError();
    return -1;
  }
  CloseHandle(file);
  HFILE ref = _lopen(path.c_str(), OF_READWRITE | OF_SHARE_EXCLUSIVE);
  if (ref != HFILE_ERROR) return static_cast<int32_t>(ref);
  *error = LastError();
  DeleteFileA(path.c_str());
  return -1;
}

namespace {

// A seed no other plughost is likely to have at the same moment: the
// process, the performance counter and the attempt.
uint64_t NameSeed(int attempt) {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return uint64_t{GetCurrentProcessId()} * 0x100000001B3u ^ static_cast<uint64_t>(now.QuadPart) ^
         static_cast<uint64_t>(attempt) << 48;
}

}  // namespace

int32_t CreateUnique(const std::string& folder, std::string* path, int* error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *path = UniqueName(folder, NameSeed(attempt));
    const int32_t ref = CreateNamed(*path, error);
    if (ref >= 0) return ref;
    if (*error != ERROR_FILE_EXISTS) break;
  }
  path->clear();
  return -1;
}

bool CreateUniqueFolder(const std::string& folder, std::string* path, int* error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *path = UniqueName(folder, NameSeed(attempt));
    if (CreateDirectoryA(path->c_str(), nullptr)) return true;
    *error = LastError();
    if (*error != ERROR_ALREADY_EXISTS) break;
  }
  path->clear();
  return false;
}

bool RemoveFolder(const std::string& path, int* error) {
  if (RemoveDirectoryA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
      GetLastError() == ERROR_PATH_NOT_FOUND)
    return true;
  if (error != nullptr) *error = LastError();
  return false;
}

void KeepModeAndOwner(int32_t, const FileStatus&) {}

bool WriteAll(int32_t ref, const uint8_t* bytes, size_t count, int* error) {
  const UINT n =
      _lwrite(static_cast<HFILE>(ref), reinterpret_cast<LPCCH>(bytes), static_cast<UINT>(count));
  if (n == count) return true;
  *error = n == UINT(HFILE_ERROR) ? LastError() : ERROR_DISK_FULL;
  return false;
}

bool Rewrite(int32_t ref, const uint8_t* bytes, size_t count, uint64_t size, int* error) {
  const HANDLE file = AsHandle(ref);
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    *error = LastError();
    return false;
  }
  if (!WriteAll(ref, bytes, count, error)) return false;
  if ((size > count && !SetEndOfFile(file)) ||
      SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    *error = LastError();
    return false;
  }
  return true;
}

bool SyncAndClose(int32_t ref, int* error) {
  const bool flushed = FlushFileBuffers(AsHandle(ref)) != 0;
  if (!flushed) *error = LastError();
  _lclose(static_cast<HFILE>(ref));
  return flushed;
}

bool CloseForBatch(int32_t ref, int* error) { return SyncAndClose(ref, error); }

// Each file was flushed as it closed, and each rename is written through.
bool SyncFileSystemOf(const std::string&, int*) { return true; }
bool SyncFile(const std::string&, int*) { return true; }
bool SyncFolder(const std::string&, int*) { return true; }

bool RenameOver(const std::string& from, const std::string& to, int* error) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  *error = LastError();
  return false;
}

bool RenameFolder(const std::string& from, const std::string& to, int* error) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  *error = LastError();
  return false;
}

bool Remove(const std::string& path, int* error) {
  if (DeleteFileA(path.c_str()) != 0 || IsNotFound(GetLastError())) return true;
  if (error != nullptr) *error = LastError();
  return false;
}

bool CreateExclusive(const std::string& path, int* error, bool* exists) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *exists = GetLastError() == ERROR_FILE_EXISTS;
    *error = LastError();
    return false;
  }
  *exists = false;
  CloseHandle(file);
  return true;
}

bool MakeFolders(const std::string& path, int* error) {
  std::error_code made;
  std::filesystem::create_directories(path, made);
  if (made) *error = ERROR_PATH_NOT_FOUND;
  return !made;
}

int32_t OpenReference(const std::string& path, bool create) {
  HFILE file = create ? _lcreat(path.c_str(), 0) : _lopen(path.c_str(), OF_READ | OF_SHARE_DENY_NONE);
  return file == HFILE_ERROR ? -1 : static_cast<int32_t>(file);
}

}  // namespace plughost::sys
