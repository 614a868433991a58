// _lread, _lwrite and _llseek over POSIX descriptors, with the fault plan of
// posix_test_hooks.h applied to the stream of bytes moved.
#include <cerrno>
#include <unistd.h>

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

}  // namespace

UINT _lread(HFILE file, LPVOID buffer, UINT n) {
  State& s = State::Get();
  s.counters.reads++;
  if (Allowed(s.readStream, n, s.plan.readFailAt) < n) return static_cast<UINT>(HFILE_ERROR);
  auto* out = static_cast<char*>(buffer);
  UINT total = 0;
  while (total < n) {
    ssize_t got = read(file, out + total, n - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return static_cast<UINT>(HFILE_ERROR);
    if (got == 0) break;
    total += static_cast<UINT>(got);
  }
  s.readStream += total;
  s.counters.bytesRead += total;
  return total;
}

UINT _lwrite(HFILE file, LPCCH buffer, UINT n) {
  State& s = State::Get();
  s.counters.writes++;
  if (Allowed(s.writeStream, n, s.plan.writeFailAt) < n) return static_cast<UINT>(HFILE_ERROR);
  const auto wanted = static_cast<UINT>(Allowed(s.writeStream, n, s.plan.diskFullAt));
  UINT total = 0;
  while (total < wanted) {
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
  const off_t at = lseek(file, offset, whence);
  return at < 0 ? -1 : static_cast<LONG>(at);
}
