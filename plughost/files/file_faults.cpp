#include "plughost/files/file_faults.h"

#include <cerrno>

#include "plughost/system/system.h"

namespace plughost::gate {

namespace {

// Logs `call`; true, with the system's code for `errnoValue` in *error,
// when it is the one of its kind (`count`) the faults fail.
bool Fails(FileFaults* faults, const std::string& call, int* count, int failAt, int errnoValue,
           int* error) {
  faults->calls.push_back(call);
  if ((*count)++ != failAt) return false;
  if (error != nullptr) *error = sys::FromErrno(errnoValue);
  return true;
}

bool SyncFails(FileFaults* faults, const std::string& what, int* error) {
  if (faults == nullptr) return false;
  if (faults->syncs == 0 && faults->atFirstSync) faults->atFirstSync();
  return Fails(faults, "sync " + what, &faults->syncs, faults->failSyncAt, EIO, error);
}

bool RenameFails(FileFaults* faults, const std::string& from, const std::string& to, int* error) {
  return faults != nullptr &&
         Fails(faults, "rename " + from + " " + to, &faults->renames, faults->failRenameAt, EIO, error);
}

}  // namespace

bool WriteAll(FileFaults* faults, int32_t ref, const uint8_t* bytes, size_t count, int* error) {
  if (faults != nullptr && Fails(faults, "write " + std::to_string(ref), &faults->writes,
                                 faults->failWriteAt, ENOSPC, error))
    return false;
  return sys::WriteAll(ref, bytes, count, error);
}

bool SyncAndClose(FileFaults* faults, int32_t ref, int* error) {
  if (!SyncFails(faults, "file " + std::to_string(ref), error)) return sys::SyncAndClose(ref, error);
  sys::Close(ref);
  return false;
}

bool SyncFile(FileFaults* faults, const std::string& path, int* error) {
  return !SyncFails(faults, path, error) && sys::SyncFile(path, error);
}

bool SyncFileSystemOf(FileFaults* faults, const std::string& path, int* error) {
  return !SyncFails(faults, path, error) && sys::SyncFileSystemOf(path, error);
}

bool SyncFolder(FileFaults* faults, const std::string& folder, int* error) {
  return !SyncFails(faults, folder.empty() ? "." : folder, error) && sys::SyncFolder(folder, error);
}

bool RenameOver(FileFaults* faults, const std::string& from, const std::string& to, int* error) {
  return !RenameFails(faults, from, to, error) && sys::RenameOver(from, to, error);
}

bool RenameFolder(FileFaults* faults, const std::string& from, const std::string& to, int* error) {
  return !RenameFails(faults, from, to, error) && sys::RenameFolder(from, to, error);
}

bool Remove(FileFaults* faults, const std::string& path, int* error) {
  if (faults != nullptr &&
      Fails(faults, "remove " + path, &faults->removes, faults->failRemoveAt, EACCES, error))
    return false;
  return sys::Remove(path, error);
}

}  // namespace plughost::gate
