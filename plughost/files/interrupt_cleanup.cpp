#include "plughost/files/interrupt_cleanup.h"

#include <csignal>
#include <cstring>

#include "plughost/files/system_headers.h"

namespace plughost {

namespace {

// New files not yet renamed, removed by an interrupt before the program
// ends: plain arrays, so the handler needs nothing but unlink.
constexpr int kSlots = 8;
constexpr size_t kPathRoom = 4096;
char pendingPaths[kSlots][kPathRoom];
volatile std::sig_atomic_t pendingUsed[kSlots];

void RemovePending() {
  for (int i = 0; i < kSlots; ++i) {
    if (pendingUsed[i] == 0) continue;
#if defined(_WIN32)
    DeleteFileA(pendingPaths[i]);
#else
    unlink(pendingPaths[i]);
#endif
    pendingUsed[i] = 0;
  }
}

#if defined(_WIN32)
BOOL WINAPI OnConsoleEvent(DWORD) {
  RemovePending();
  return FALSE;  // and let the program end as it would have
}
#else
void OnSignal(int signal) {
  RemovePending();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}
#endif

}  // namespace

int RememberPending(const std::string& path) {
  if (path.size() >= kPathRoom) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (pendingUsed[i] != 0) continue;
    std::memcpy(pendingPaths[i], path.c_str(), path.size() + 1);
    pendingUsed[i] = 1;
    return i;
  }
  return -1;
}

void ForgetPending(int slot) {
  if (slot >= 0) pendingUsed[slot] = 0;
}

#if defined(_WIN32)

void RemovePendingOnInterrupt() {
  static bool installed = false;
  if (!installed) SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  installed = true;
}

#else

void RemovePendingOnInterrupt() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

#endif

}  // namespace plughost
