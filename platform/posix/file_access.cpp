// _lread, _lwrite and _llseek over POSIX descriptors, with the fault plan of
// posix_test_hooks.h applied to the stream of bytes moved.
//
// The module reads each colour with its own _lread. Within one call of its
// entry point those reads are served from a read-ahead of one descriptor, so
// that a palette costs a read or two instead of one system call a colour.
// The read-ahead never outlives what it may safely assume: a seek or write
// through the layer, or a read of another descriptor, gives it up first, and
// the entry point gives it up (FinishFileAccess) before it hands control
// back, putting the descriptor where the module's reads have come to. The
// module reads nothing after calling back into the host within a call, so
// no byte it is handed can be older than the host's last chance to change
// the file, and a descriptor number the host closes and reuses between calls
// starts afresh.
#include <sys/types.h>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/hooks_state.h"
#include "platform/posix/windows_layer.h"

namespace {

using posix_hooks::detail::State;

// Bytes of an n-byte transfer starting at `done` that may pass before the
// plan's failure point at `at`; n when the point lies beyond.
int64_t Allowed(int64_t done, int64_t n, int64_t at) {
  if (at < 0 || at >= done + n) return n;
  return at > done ? at - done : 0;
}

// One page: a whole palette with its header, in one read.
constexpr uint32_t kReadAhead = 4096;

// What was fetched ahead on `fd`: bytes [used, size) are the next the
// module is to read, and the descriptor stands at `end`, just past them.
// fd -1: none. Plain data, so it stays valid to the very end.
struct ReadAhead {
  int fd;
  off_t end;
  uint32_t size;
  uint32_t used;
  char bytes[kReadAhead];
};

ReadAhead ahead = {-1, 0, 0, 0, {}};

// Starts a read-ahead on `fd`, which stands at `at`, with nothing fetched.
void StartAt(int fd, off_t at) {
  ahead.fd = fd;
  ahead.end = at;
  ahead.size = 0;
  ahead.used = 0;
}

off_t Seek(int fd, off_t offset, int whence) {
  State::Get().counters.systemCalls++;
  return lseek(fd, offset, whence);
}

ssize_t ReadSome(int fd, char* into, size_t n) {
  for (;;) {
    State::Get().counters.systemCalls++;
    const ssize_t got = read(fd, into, n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

off_t LogicalPosition(const ReadAhead& a) { return a.end - static_cast<off_t>(a.size - a.used); }

// Gives up the read-ahead, leaving the descriptor where the module's reads
// have come to. Only when it still stands where the layer left it: a host
// that moved it meanwhile, or closed it and opened another file under the
// same number, keeps what it did.
void GiveUpReadAhead() {
  if (ahead.fd < 0) return;
  if (ahead.used < ahead.size && Seek(ahead.fd, 0, SEEK_CUR) == ahead.end) {
    Seek(ahead.fd, LogicalPosition(ahead), SEEK_SET);
  }
  ahead.fd = -1;
}

// The read-ahead for `fd`, taken over from any other descriptor; null when
// `fd` cannot be positioned (a pipe), whose reads then go straight through.
ReadAhead* ReadAheadFor(int fd) {
  if (ahead.fd == fd) return &ahead;
  GiveUpReadAhead();
  const off_t at = Seek(fd, 0, SEEK_CUR);
  if (at < 0) return nullptr;
  StartAt(fd, at);
  return &ahead;
}

// Up to n bytes through the read-ahead: the count (short only at the end of
// the file), or -1 on a read error.
int64_t ReadThrough(ReadAhead& a, char* out, uint32_t n) {
  uint32_t total = 0;
  while (total < n) {
    if (a.used == a.size) {
      const ssize_t got = ReadSome(a.fd, a.bytes, kReadAhead);
      if (got < 0) return -1;
      if (got == 0) break;
      a.end += got;
      a.size = static_cast<uint32_t>(got);
      a.used = 0;
    }
    const uint32_t k = n - total < a.size - a.used ? n - total : a.size - a.used;
    std::memcpy(out + total, a.bytes + a.used, k);
    a.used += k;
    total += k;
  }
  return total;
}

int64_t ReadStraight(int fd, char* out, uint32_t n) {
  uint32_t total = 0;
  while (total < n) {
    const ssize_t got = ReadSome(fd, out + total, n - total);
    if (got < 0) return -1;
    if (got == 0) break;
    total += static_cast<uint32_t>(got);
  }
  return total;
}

}  // namespace

void FinishFileAccess() { GiveUpReadAhead(); }

UINT _lread(HFILE file, LPVOID buffer, UINT n) {
  State& s = State::Get();
  s.counters.reads++;
  if (Allowed(s.readStream, n, s.plan.readFailAt) < n) return static_cast<UINT>(HFILE_ERROR);
  auto* out = static_cast<char*>(buffer);
  ReadAhead* a = ReadAheadFor(file);
  const int64_t total = a != nullptr ? ReadThrough(*a, out, n) : ReadStraight(file, out, n);
  if (total < 0) return static_cast<UINT>(HFILE_ERROR);
  s.readStream += total;
  s.counters.bytesRead += total;
  return static_cast<UINT>(total);
}

UINT _lwrite(HFILE file, LPCCH buffer, UINT n) {
  State& s = State::Get();
  s.counters.writes++;
  // Whatever was fetched ahead may be what this write changes.
  GiveUpReadAhead();
  if (Allowed(s.writeStream, n, s.plan.writeFailAt) < n) return static_cast<UINT>(HFILE_ERROR);
  const auto wanted = static_cast<UINT>(Allowed(s.writeStream, n, s.plan.diskFullAt));
  UINT total = 0;
  while (total < wanted) {
    s.counters.systemCalls++;
    ssize_t put = write(file, buffer + total, wanted - total);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == ENOSPC || errno == EFBIG)) break;  // full: a short count
    if (put < 0) return static_cast<UINT>(HFILE_ERROR);
    total += static_cast<UINT>(put);
  }
  s.writeStream += total;
  s.counters.bytesWritten += total;
  return total;
}

LONG _llseek(HFILE file, LONG offset, int origin) {
  State::Get().counters.seeks++;
  const int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
  // A seek to a place of its own need not first put this descriptor back;
  // one from where the reads came to, or of another descriptor, does.
  if (whence == SEEK_CUR || ahead.fd != file) GiveUpReadAhead();
  const off_t at = Seek(file, offset, whence);
  if (at < 0) {
    GiveUpReadAhead();  // refused: the descriptor stays where the reads came to
    return -1;
  }
  // Where the descriptor stands is known now: the reads that follow in this
  // call need not ask.
  StartAt(file, at);
  return static_cast<LONG>(at);
}
