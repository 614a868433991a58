// Replacing a file as cp would, and never anything else: the target is
// looked at first (a directory, FIFO or device is refused; a symbolic link
// is followed to the file it names; a file the user may not write is
// refused), everything is written to a new file with a short name beside
// the file replaced, and that file is renamed over it only on Commit. A
// failure, an early return or an interrupt removes the new file and leaves
// the target as it was. A symbolic link to a missing file is refused, as cp
// does: writing through it would make a file the user never named. A
// replaced file keeps its mode (and, for root, its owner). Which existing
// files may be replaced at all is the caller's to say, by what they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "plughost/files/file_checks.h"
#include "plughost/files/interrupt_cleanup.h"

namespace plughost {

// An existing regular file about to be replaced, as its caller judges it:
// its first bytes (kExistingHeadBytes, fewer for a shorter file) and size.
constexpr size_t kExistingHeadBytes = 320;  // a headerless palette's colours
struct ExistingFile {
  const std::string& name;  // as the user named it
  std::vector<uint8_t> head;
  uint64_t size;
  FileIdentity id;
  uint64_t modified;
};
// "" when the file may be replaced, else the refusal naming it. Null: any
// regular file may be.
using ReplaceCheck = std::function<std::string(const ExistingFile& file)>;

struct FileFaults;
struct PendingFile;
class CommitTogether;

class AtomicFile {
 public:
  // `faults`, a test's, hears this file's calls when it is put in place on
  // its own; one of a batch hears its commit's. Null in every run of the
  // program.
  explicit AtomicFile(FileFaults* faults = nullptr) : faults_(faults) {}
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile() { Abandon(); }

  // False with one sentence naming the target and the reason. With
  // `together`, the new file is put in place with that batch's outputs
  // (made in its folder when the target lies in the folder it stages);
  // without, on its own at Commit.
  bool Begin(const std::string& target, const ReplaceCheck& mayReplace, std::string* error,
             CommitTogether* together = nullptr);
  bool Begin(const std::string& target, std::string* error) { return Begin(target, nullptr, error); }
  const std::string& tempPath() const { return temp_; }
  const std::string& target() const { return target_; }
  // A file reference on the new file, for a module to write through.
  int32_t ref() const { return ref_; }
  bool Write(const uint8_t* bytes, size_t count, std::string* error);
  bool Write(const std::vector<uint8_t>& bytes, std::string* error);
  uint64_t BytesWritten() const;
  // Keeps `hold` (a lock on the target) until the new file is renamed over
  // the target or removed, whenever that is.
  void HoldUntilPlaced(std::shared_ptr<void> hold) { hold_ = std::move(hold); }
  // Has the new file put in place with `together`'s outputs, from now on.
  void PlaceWith(CommitTogether& together) { together_ = &together; }
  // Flushes the new file to disk and renames it over the file replaced;
  // for a file of a batch (Begin's `together`, PlaceWith), closes it and
  // leaves both to the batch.
  bool Commit(std::string* error);
  // Removes the new file; the target is as it was.
  void Abandon();
  // A file of no batch that could not be removed is kept here (one of a
  // batch, by the batch's commit) for the caller to name.
  LeftBehind& leftBehind() { return leftBehind_; }

 private:
  bool CommitNow(std::string* error);
  bool Queue(CommitTogether& batch, std::string* error);
  bool BeginStaged(const std::string& place, std::string* error);
  // "cannot write TARGET: REASON", the batch told when the disk failed.
  std::string Failed(const std::string& prefix, int failure);
  FileFaults* Faults() const;

  FileFaults* faults_;
  LeftBehind leftBehind_;
  std::string target_;    // as the user named it
  std::string replaced_;  // the file it names, links followed
  std::string temp_;
  int32_t ref_ = -1;
  PendingFile* pending_ = nullptr;  // in the list an interrupt cleans up
  std::shared_ptr<void> hold_;
  CommitTogether* together_ = nullptr;  // the batch it is put in place with
  bool staged_ = false;  // made under its own name in a folder being staged
  FileStatus was_;       // the file replaced, as it was when judged
};

// The new files of a batch: AtomicFile::Commit (and so
// WriteFileAtomically) closes and queues each file begun with it rather
// than flushing and renaming it on its own: the batch is all or nothing. Finish makes
// them durable together (one sync of each file system that holds them; a
// lone file, its own), only then renames each over its target, an
// interrupt from the first rename on only asking the program to stop, and
// syncs each folder once. So an interrupt or a failure before the renames
// leaves every target as it was, and one during them or after lets every
// file be put in place and the command say so (Interrupted()); a
// target is never replaced by a file whose bytes are not all on disk, and
// the number of syncs does not grow with the number of files. Abandon
// removes them all instead. One at a time.
//
// An output folder that is not there yet is staged: made beside its place
// under a name of its own, filled with the new files under their own names,
// and renamed into its place by Finish, so that the whole folder appears at
// once, or nothing does, and no file in it needs a rename of its own.
class CommitTogether {
 public:
  // `faults`, a test's, hears every call of the batch's files; null in
  // every run of the program.
  explicit CommitTogether(FileFaults* faults = nullptr);
  ~CommitTogether();  // abandons what Finish was not called for
  CommitTogether(const CommitTogether&) = delete;
  CommitTogether& operator=(const CommitTogether&) = delete;

  // Puts the queued files in place: false with one sentence for each target
  // left as it was, or folder whose new names may not last, in *errors.
  bool Finish(std::vector<std::string>* errors);
  // Removes every queued file, each target left as it was; one sentence
  // saying so, with `why`, in *errors.
  void Abandon(const std::string& why, std::vector<std::string>* errors);
  size_t queued() const { return queue_.size(); }
  // The disk or file system failed under one of the batch's new files
  // (IsHostFailure): the first reason, kept for the batch to stop on; ""
  // while none has.
  void HostFailed(const std::string& reason) {
    if (hostFailure_.empty()) hostFailure_ = reason;
  }
  const std::string& hostFailure() const { return hostFailure_; }
  // Whether `target` (as named to AtomicFile) was left as it was by the
  // last Finish or Abandon.
  bool LeftAsItWas(const std::string& target) const;
  // Stages `folder`, which is not there (its parents are made): false with
  // the system's reason in *error.
  bool StageFolder(const std::string& folder, int* error);
  // Where a new file for `path` is made: its place in the folder being
  // staged, or "" when `path` is not in it.
  std::string StagedPlace(const std::string& path) const;

  struct Queued {
    std::string target, replaced, temp;
    PendingFile* pending;
    std::shared_ptr<void> hold;
    bool staged;
    FileStatus was;
  };
  void Add(Queued file) { queue_.push_back(std::move(file)); }

  FileFaults* faults() const { return faults_; }
  // The batch's new files that could not be removed, for it to name.
  LeftBehind& leftBehind() { return leftBehind_; }
  // What the batch has learnt of its folders: real names and volumes.
  KnownFolders& folders() { return folders_; }
  // An output the check of the command's files found missing
  // (CheckCommandFiles): its new file may be begun without looking again.
  void TrustMissing(const std::string& output) { missing_.insert(output); }
  // True once for an output (spelled as the check was given it) trusted so.
  bool TakeCheckedMissing(const std::string& output) { return missing_.erase(output) != 0; }

 private:
  bool SyncAll(std::vector<std::string>* errors);
  bool RenameAll(std::vector<std::string>* errors);
  bool PlaceStaged(std::vector<std::string>* errors);
  void DropStaged();
  std::vector<Queued> queue_;
  // The folder being staged: as named, its key (FolderKey), and the folder
  // that stands in for it until Finish.
  std::string staged_, stagedKey_, staging_;
  PendingFile* stagingPending_ = nullptr;
  mutable std::string lastFolder_;  // the folder StagedPlace judged last
  mutable bool lastStaged_ = false;
  // Targets left as they were, asked once for each output: a set, so that
  // a batch of 20,000 compares no pair.
  std::unordered_set<std::string> left_;
  std::string hostFailure_;
  FileFaults* faults_;
  LeftBehind leftBehind_;
  mutable KnownFolders folders_;  // StagedPlace learns folders too
  std::unordered_set<std::string> missing_;
};

// The whole of `bytes` as the new content of `target`, or nothing changed;
// with `together`, put in place with that batch's outputs; `faults` as
// AtomicFile's.
bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         const ReplaceCheck& mayReplace, std::string* error,
                         CommitTogether* together = nullptr, FileFaults* faults = nullptr);
bool WriteFileAtomically(const std::string& target, const std::vector<uint8_t>& bytes,
                         std::string* error);

}  // namespace plughost
