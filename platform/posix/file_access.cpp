// _lread, _lwrite and _llseek over POSIX descriptors, with the fault plan of
// posix_test_hooks.h applied to the stream of bytes moved.
//
// The module reads each colour with its own _lread. Within one call of its
// entry point those reads are served from a read-ahead of one descriptor, so
// that a palette costs a read or two instead of one system call a colour.
// The read-ahead never outlives what it may safely assume: a seek or write
// through the layer, or a read of another descriptor, gives it up first, and
// the module gives it up (FinishFileAccess) once its reads are done and
// before it calls the host again, putting the descriptor where its reads
// have come to. So no host code runs while the layer holds bytes or a place
// of its own, no byte the module is handed can be older than the host's
// last chance to change the file, and a descriptor number the host closes
// and reuses between calls starts afresh.
//
// A seek to a place from the start is kept rather than made: the reads that
// follow fetch from that place with pread, and giving up moves the
// descriptor once, to where they came to. The module does not look at what
// such a seek answers; on a pipe, which has no place, it answers the place
// asked for and the reads go straight through.
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
constexpr off_t kUnknown = -1;

// The layer's hold on `fd`: bytes [used, size) are the next the module is to
// read, and lie at `start` + used on. `kernel` is where the descriptor
// stands, when the layer knows (kUnknown after a seek it kept). fd -1:
// none. Plain data, so it stays valid to the very end.
struct ReadAhead {
  int fd;
  off_t start;
  off_t kernel;
  uint32_t size;
  uint32_t used;
  char bytes[kReadAhead];
};

ReadAhead ahead = {-1, 0, kUnknown, 0, 0, {}};

// Starts a hold on `fd` at `at`, with nothing fetched; the descriptor
// stands at `kernel`.
void StartAt(int fd, off_t at, off_t kernel) {
  ahead.fd = fd;
  ahead.start = at;
  ahead.kernel = kernel;
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

off_t LogicalPosition(const ReadAhead& a) { return a.start + static_cast<off_t>(a.used); }

// Drops the hold and every byte it fetched, so that nothing of one file
// can be served for another descriptor, or for none.
void Forget() { StartAt(-1, 0, kUnknown); }

// Gives up the hold, leaving the descriptor where the module's reads have
// come to, or where its kept seek asked.
void GiveUpReadAhead() {
  if (ahead.fd < 0) return;
  const off_t at = LogicalPosition(ahead);
  if (ahead.kernel != at) Seek(ahead.fd, at, SEEK_SET);
  Forget();
}

// The hold on `fd`, taken over from any other descriptor; null when `fd`
// cannot be positioned (a pipe, or no descriptor at all), whose reads then
// go straight through.
ReadAhead* ReadAheadFor(int fd) {
  if (fd >= 0 && ahead.fd == fd) return &ahead;
  GiveUpReadAhead();
  const off_t at = Seek(fd, 0, SEEK_CUR);
  if (at < 0) return nullptr;
  StartAt(fd, at, at);
  return &ahead;
}

// The next bytes of the hold from the file: read where the descriptor
// stands there, else pread, which leaves it. 0 at the end of the file, -1
// on an error; ESPIPE for a pipe a kept seek could not place.
ssize_t Fetch(ReadAhead& a) {
  const off_t from = a.start + static_cast<off_t>(a.size);
  for (;;) {
    State::Get().counters.systemCalls++;
    const ssize_t got = a.kernel == from ? read(a.fd, a.bytes, kReadAhead)
                                         : pread(a.fd, a.bytes, kReadAhead, from);
    if (got < 0 && errno == EINTR) continue;
    if (got > 0) {
      if (a.kernel == from) a.kernel += got;
      a.start = from;
      a.size = static_cast<uint32_t>(got);
      a.used = 0;
    }
    return got;
  }
}

// Up to n bytes through the read-ahead: the count (short only at the end of
// the file), or -1 on a read error; -2 when `a` turns out to be a pipe,
// before anything was read.
int64_t ReadThrough(ReadAhead& a, char* out, uint32_t n) {
  if (a.size - a.used >= n) {  // the common case: a colour of what was fetched
    for (uint32_t i = 0; i < n; ++i) out[i] = a.bytes[a.used + i];
    a.used += n;
    return n;
  }
  uint32_t total = 0;
  while (total < n) {
    if (a.used == a.size) {
      const ssize_t got = Fetch(a);
      if (got < 0) return errno == ESPIPE && total == 0 ? -2 : -1;
      if (got == 0) break;
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
    // A descriptor with nothing more to give without waiting has come to
    // the end of what this call can read: a short count, as at the end of
    // a file. Emscripten's pipes answer so once their writer has finished.
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
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
  int64_t total = a != nullptr ? ReadThrough(*a, out, n) : ReadStraight(file, out, n);
  if (total == -2) {  // a pipe, seeked as if it were a file
    Forget();
    total = ReadStraight(file, out, n);
  }
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
  if (whence == SEEK_SET && offset >= 0 && file >= 0) {
    // Kept: made by the reads, or when given up. Where this descriptor's
    // reads had come to no longer matters.
    const off_t kernel = ahead.fd == file ? ahead.kernel : kUnknown;
    if (ahead.fd != file) GiveUpReadAhead();
    StartAt(file, offset, kernel);
    return offset;
  }
  GiveUpReadAhead();
  const off_t at = Seek(file, offset, whence);
  if (at < 0) return -1;  // refused: the descriptor stays where the reads came to
  // Where the descriptor stands is known now: the reads that follow in this
  // call need not ask.
  StartAt(file, at, at);
  return static_cast<LONG>(at);
}
