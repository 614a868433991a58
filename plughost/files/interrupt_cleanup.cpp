#include "plughost/files/interrupt_cleanup.h"

#include <cstring>
#include <vector>

#include "plughost/files/file_checks.h"
#include "plughost/files/file_faults.h"
#include "plughost/system/system.h"

namespace plughost {

// A doubly linked list of plain C strings: all the handler needs to walk
// it is the pointers, and all it calls is the system's remove.
struct PendingFile {
  char* path;
  bool folder;
  PendingFile* previous;
  PendingFile* next;
};

namespace {

// The one list of the process, and the one mutable state of the gate: a
// signal handler can reach nothing but what is process-wide, and it must
// find every new file of every object alive when the signal comes.
PendingFile* volatile pendingHead = nullptr;

void RemovePending() {
  const bool any = pendingHead != nullptr;
  for (PendingFile* p = pendingHead; p != nullptr; p = p->next) {
    if (p->folder) {
      sys::RemoveFolderInHandler(p->path);
    } else {
      sys::RemoveInHandler(p->path);
    }
  }
  // The program ends as the interrupt would have it, with no word of its
  // own but this: what it leaves.
  if (any) sys::SayInHandler("plughost: interrupted; nothing was written, every file is as it was\n");
}

}  // namespace

void RemovePendingOnInterrupt() { sys::HandleInterrupts(RemovePending); }

bool InterruptRequested() { return sys::Interrupted(); }

namespace {

PendingFile* Remember(const std::string& path, bool folder) {
  auto* entry = new PendingFile{new char[path.size() + 1], folder, nullptr, nullptr};
  std::memcpy(entry->path, path.c_str(), path.size() + 1);
  sys::InterruptsHeld held;
  entry->next = pendingHead;
  if (entry->next != nullptr) entry->next->previous = entry;
  pendingHead = entry;
  return entry;
}

}  // namespace

PendingFile* RememberPending(const std::string& path) { return Remember(path, false); }

PendingFile* RememberPendingFolder(const std::string& path) { return Remember(path, true); }

void ForgetPending(PendingFile* entry) {
  if (entry == nullptr) return;
  {
    sys::InterruptsHeld held;
    if (entry->previous != nullptr) entry->previous->next = entry->next;
    if (entry->next != nullptr) entry->next->previous = entry->previous;
    if (pendingHead == entry) pendingHead = entry->next;
  }
  delete[] entry->path;
  delete entry;
}

void LeftBehind::Add(const std::string& path, int failure) {
  files_.push_back(path + " (" + ReasonText(failure) + ")");
}

std::string LeftBehind::Take(size_t* count) {
  std::string text;
  for (const std::string& file : files_) text += (text.empty() ? "" : "; ") + file;
  *count = files_.size();
  files_.clear();
  return text;
}

void RemoveOwnFile(const std::string& path, PendingFile* entry, LeftBehind* left,
                   FileFaults* faults) {
  int failure = 0;
  bool removed = true;
  {
    sys::InterruptsHeld held;
    if (!path.empty()) removed = gate::Remove(faults, path, &failure);
  }
  ForgetPending(entry);
  if (!removed && left != nullptr) left->Add(path, failure);
}

void RemoveOwnFolder(const std::string& path, PendingFile* entry, LeftBehind* left) {
  int failure = 0;
  bool removed = true;
  {
    sys::InterruptsHeld held;
    removed = sys::RemoveFolder(path, &failure);
  }
  ForgetPending(entry);
  if (!removed && left != nullptr) left->Add(path, failure);
}

}  // namespace plughost
