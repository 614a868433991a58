// A test's faults for the files gate's own calls. As the host has a fault
// plan for the module, a test hands one of these to the files it writes
// (CommitTogether's, or a lone AtomicFile's): every sync (of a file, a file
// system or a folder), every rename, remove and write of theirs is logged
// in order, and the Nth of each kind (from 0) can be made to fail, as a
// full or failing disk would. No run of the program hands one in; nothing
// else reaches it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plughost {

struct FileFaults {
  int failSyncAt = -1;
  int failRenameAt = -1;
  int failRemoveAt = -1;
  int failWriteAt = -1;  // as a full disk would
  std::function<void()> atFirstSync;  // another program's doing, while the first sync runs
  std::vector<std::string> calls;  // "sync PATH", "rename FROM TO", "remove PATH", "write REF"
  int syncs = 0, renames = 0, removes = 0, writes = 0;
};

// The system's calls the gate makes on the files it writes, each heard
// first by `faults` (null: none, as in every run of the program): logged,
// and failed with the system's own code when the faults say this one fails.
namespace gate {

bool WriteAll(FileFaults* faults, int32_t ref, const uint8_t* bytes, size_t count, int* error);
bool SyncAndClose(FileFaults* faults, int32_t ref, int* error);
bool SyncFile(FileFaults* faults, const std::string& path, int* error);
bool SyncFileSystemOf(FileFaults* faults, const std::string& path, int* error);
bool SyncFolder(FileFaults* faults, const std::string& folder, int* error);
bool RenameOver(FileFaults* faults, const std::string& from, const std::string& to, int* error);
bool RenameFolder(FileFaults* faults, const std::string& from, const std::string& to, int* error);
bool Remove(FileFaults* faults, const std::string& path, int* error);

}  // namespace gate
}  // namespace plughost
