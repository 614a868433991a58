// New files that are not yet renamed over their targets are removed when
// the program is interrupted (Ctrl-C, a terminal closed, a kill), so that no
// temporary file outlives the command. The list has no fixed size; it is
// changed only while interrupts wait, so a handler never sees half an entry.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace plughost {

// Installs the handlers once: natively they remove what is pending and end
// the program as the signal would have; in the Windows build the console's
// event stops the batch, which removes its own files (see Interrupted()).
// From then on a write to a closed pipe fails instead of ending the program.
void RemovePendingOnInterrupt();

// True once the user has interrupted a Windows build: stop, and exit
// non-zero. Natively an interrupt ends the program before this is seen.
bool InterruptRequested();

struct PendingFile;
// Lists a file to remove on an interrupt. Call it while interrupts are held
// (sys::InterruptsHeld) together with the call that made the file.
PendingFile* RememberPending(const std::string& path);
// The same for a folder of plughost's own, removed once empty: listed before
// the files made in it, it is removed after them.
PendingFile* RememberPendingFolder(const std::string& path);
// The file was renamed or removed: strike it off (null is ignored).
void ForgetPending(PendingFile* entry);

struct FileFaults;

// New files of plughost's own that could not be removed, each with the
// reason: kept by the object that made them (a batch's commit, a lone
// AtomicFile) for its caller to name, never by the process.
class LeftBehind {
 public:
  void Add(const std::string& path, int failure);
  // "a/.plughost-Xy3kQ9 (permission denied); ..." for every file added since
  // it was last asked, or "" when there was none; their number in *count.
  std::string Take(size_t* count);

 private:
  std::vector<std::string> files_;
};

// Removes a new file of plughost's own and strikes it off; one that cannot
// be removed goes into `left` (null: none keeps it), with the reason.
// `faults`, a test's, hears the removal first.
void RemoveOwnFile(const std::string& path, PendingFile* entry, LeftBehind* left,
                   FileFaults* faults = nullptr);
// The same for a folder of plughost's own, emptied first by its caller.
void RemoveOwnFolder(const std::string& path, PendingFile* entry, LeftBehind* left);

}  // namespace plughost
