// The host's own layer over the operating system: every call plughost makes
// that differs between Windows and POSIX, and nothing else. Each system
// has three files: paths_* (what a path is), system_* (references, making,
// syncing, renaming, removing) and process_* (interrupts, standard
// handles, libraries); the build takes one system's. It includes nothing of
// the wings above it. Only the files wing calls it for files; the host's module loader
// calls its library routines on a path the gate has checked.
//
// A file reference is what the module's _lread/_lwrite/_llseek take: a
// descriptor natively, an HFILE in the Windows build. -1 is none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plughost/system/file_status.h"

namespace plughost::sys {

// --- What a path is -------------------------------------------------------

// The file a path names, links followed; `volumes` (null: asked afresh)
// keeps what it learns of folders' volumes.
FileStatus StatusOf(const std::string& path, FolderVolumes* volumes = nullptr);
// True when `path` itself is a symbolic link (followed or not).
bool IsLink(const std::string& path);
// The file a chain of symbolic links ends at (the path itself when it is no
// link); a link to a missing file names the file it would make.
std::string FollowLinks(const std::string& path);
// An existing folder's name with every link of it followed, ending in a
// separator; false when the folder cannot be found ("" is the current one).
bool RealFolder(const std::string& folder, std::string* real);
// Whether the user may replace a regular file: no write bits means
// read-only to everyone, root included.
bool MayWrite(const std::string& path, const FileStatus& status);
// "./name" natively, ".\name" on Windows: a plain name as a file in the
// current folder, never one a loader would search for.
std::string InCurrentFolder(const std::string& name);
// The separators of a path on this system.
const char* PathSeparators();
// The folder of a path with its trailing separator ("" for a bare name),
// and the name after it.
std::string FolderPart(const std::string& path);
std::string NamePart(const std::string& path);
// The names in `folder` ("" the current one) when there are at most `most`,
// none when it is not there; false when there are more or it cannot be
// read, and always on Windows,
// whose names differ in case in more ways than a host can fold.
bool ListFolder(const std::string& folder, size_t most, std::vector<std::string>* names);
// The names in `folder` that begin with `prefix`, at most `most` of them.
void ListBeginning(const std::string& folder, const char* prefix, size_t most,
                   std::vector<std::string>* names);

// --- Errors ---------------------------------------------------------------

int LastError();
// The system's own words for an error it reported, for the reasons our own
// table does not name.
std::string SystemWords(int error);
// Our table's code for what `error` means, so that both builds say the
// same: one of the errno values ENOENT, EACCES, ENOSPC ... or 0.
int AsErrno(int error);
// The system's own code for the errno value ENOSPC, EIO or EACCES: what a
// call failing that way would have given, for a test's faults to stand in.
int FromErrno(int error);

// --- References on regular files -----------------------------------------

// Opens without blocking (a FIFO swapped in cannot hang the open) and
// checks that what was opened is a regular file: -1 with *error set, or
// *notRegular when it is something else; its size in *size.
int32_t OpenRegularForReading(const std::string& path, int* error, bool* notRegular,
                              uint64_t* size);
// Up to `count` bytes at `at`, leaving the position: how many, -1 on error.
int64_t ReadAt(int32_t ref, uint64_t at, uint8_t* into, size_t count);
uint64_t PositionOf(int32_t ref);
uint64_t SizeOf(int32_t ref);
void Close(int32_t ref);
// How the names of the gate's own new files and folders begin.
constexpr char kTemporaryPrefix[] = ".plughost-";
// Makes a new file of a name no other has, "FOLDER.plughost-XXXXXX", for
// reading and writing; -1 with *error set. The caller holds interrupts.
int32_t CreateUnique(const std::string& folder, std::string* path, int* error);
// Makes the new file `path`, which nothing may have, for reading and
// writing; -1 with *error set. The caller holds interrupts.
int32_t CreateNamed(const std::string& path, int* error);
// Makes a new empty folder of a name no other has, "FOLDER.plughost-XXXXXX",
// as any new folder is made; false with *error set. The caller holds
// interrupts.
bool CreateUniqueFolder(const std::string& folder, std::string* path, int* error);
// Removes an empty folder; false with the reason when it is still there.
bool RemoveFolder(const std::string& path, int* error = nullptr);
// Gives the new file the replaced file's mode (and owner, as root).
void KeepModeAndOwner(int32_t ref, const FileStatus& old);
bool WriteAll(int32_t ref, const uint8_t* bytes, size_t count, int* error);
// The file's whole content made `count` bytes from `bytes` (`size` being
// its length before), and its position put back at the start.
bool Rewrite(int32_t ref, const uint8_t* bytes, size_t count, uint64_t size, int* error);
// Flushes to the disk and closes; false with *error when either fails.
bool SyncAndClose(int32_t ref, int* error);
// Closes a new file of a batch whose bytes are made durable together with
// the others' later (SyncFileSystemOf). Windows, which has no such call for
// a whole volume, flushes each file here as it closes.
bool CloseForBatch(int32_t ref, int* error);
// Makes durable every file written on the file system that holds `path`:
// one syncfs natively, nothing more to do on Windows (see CloseForBatch).
bool SyncFileSystemOf(const std::string& path, int* error);
// Makes the closed file at `path` durable: its own fsync natively.
bool SyncFile(const std::string& path, int* error);
// Makes the names just given in `folder` durable: the folder's fsync
// natively; Windows writes a rename through as it renames.
bool SyncFolder(const std::string& folder, int* error);
bool RenameOver(const std::string& from, const std::string& to, int* error);
// Gives a folder of plughost's own the name `to`, which nothing has (or an
// empty folder, natively).
bool RenameFolder(const std::string& from, const std::string& to, int* error);
// Removes a file; false with the reason when it is still there.
bool Remove(const std::string& path, int* error = nullptr);
// Makes `path` a new empty file only when nothing has that name: a lock.
// False with the reason, *exists telling whether something had it.
bool CreateExclusive(const std::string& path, int* error, bool* exists);
bool MakeFolders(const std::string& path, int* error);
// References for the module's tests and benchmarks: a file opened for
// reading, or created (truncated) for reading and writing.
int32_t OpenReference(const std::string& path, bool create);

// --- Interrupts -----------------------------------------------------------

// Calls `onInterrupt` (which may only remove files) when the program is
// interrupted, then ends the program as the interrupt would have. Writing to
// a closed pipe is an error the program sees, not a signal that ends it.
void HandleInterrupts(void (*onInterrupt)());
// True once an interrupt has been handled and the program is to stop (the
// Windows console's events arrive on a thread of their own).
bool Interrupted();
// While one lives, interrupts wait: a temporary file is made and listed for
// removal, or renamed and struck off, as one step.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};
// From now on an interrupt only asks the program to stop (Interrupted()):
// called when outputs begin to be put in place, so that the command puts
// every one in place, says so, and ends with a status that is the truth.
void InterruptsOnlyAsk();
// Writes `line` to standard error from a signal handler.
void SayInHandler(const char* line);
// Removes a file, or an empty folder, from within an interrupt handler.
void RemoveInHandler(const char* path);
void RemoveFolderInHandler(const char* path);

// --- Terminal and message boxes ------------------------------------------

bool StderrIsTerminal();
bool StdoutIsTerminal();
// True when standard output is a pipe whose reader has gone, known without
// writing to it; false when it cannot be told.
bool StdoutReaderGone();
// Called first thing: each of standard input, output and error that is
// closed gets the null device, so that no file the program opens takes its
// number (a trace opened as descriptor 1 would receive the program's
// lines). True when standard output was closed, as StdoutClosedAtStart
// answers from then on.
bool KeepStandardDescriptors();
bool StdoutClosedAtStart();
// Makes each message box a loaded library shows print its text on stderr
// and answer OK at once, with or without a display; a no-op natively,
// where the layer prints boxes itself and never waits.
void AnswerBoxesOf(void* library);

// --- Libraries ------------------------------------------------------------

void* LoadLibraryAt(const std::string& path);
void* FindSymbol(void* library, const std::string& name);
void UnloadLibrary(void* library);
// Where the running program lives, with a trailing separator.
std::string ProgramFolder();
// The module file name this system loads: "libzentrow.so" or "Zentrow.8bi".
const char* ModuleFileName();

}  // namespace plughost::sys
