// The host's system layer on Windows for files: errors, references, and
// making, writing, syncing, renaming and removing files and folders. The
// module's _lread/_lwrite/_llseek take HFILEs, so references are HFILEs
// made with _lopen.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "plughost/system/system.h"
#include "plughost/system/unique_name.h"
#include "plughost/system/win32_helpers.h"

namespace plughost::sys {

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
