// The host's process on POSIX: signals, the standard descriptors and the
// terminal, and loading the module.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "plughost/system/system.h"

namespace plughost::sys {

namespace {

// The interrupt list's handler and the signal's flags: a signal is the
// process's, and its handler reaches nothing but what is process-wide, so
// these stay beside the list (interrupt_cleanup.cpp) and nothing else does.
void (*interruptAction)() = nullptr;
volatile std::sig_atomic_t interrupted = 0;
int holdDepth = 0;

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Interrupts while held are kept for the moment the hold ends: a flag, not
// the signal mask, so holding costs no system call.
volatile std::sig_atomic_t held = 0, heldSignal = 0;
volatile std::sig_atomic_t onlyAsk = 0;

void OnSignal(int signal) {
  interrupted = 1;
  if (onlyAsk != 0) return;
  if (held != 0) {
    heldSignal = signal;
    return;
  }
  if (interruptAction != nullptr) interruptAction();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void HandleInterrupts(void (*onInterrupt)()) {
  if (interruptAction != nullptr) return;
  interruptAction = onInterrupt;
  for (int signal : kInterrupts) {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    // A call interrupted while held goes on, as it would have with the
    // signal blocked.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int other : kInterrupts) sigaddset(&action.sa_mask, other);
    sigaction(signal, &action, nullptr);
  }
  std::signal(SIGPIPE, SIG_IGN);
}

bool Interrupted() { return interrupted != 0; }

void InterruptsOnlyAsk() { onlyAsk = 1; }

InterruptsHeld::InterruptsHeld() { held = ++holdDepth; }

InterruptsHeld::~InterruptsHeld() {
  held = --holdDepth;
  if (holdDepth > 0 || heldSignal == 0) return;
  const int signal = heldSignal;
  heldSignal = 0;
  std::raise(signal);  // handled now, as if it had just come
}

void RemoveInHandler(const char* path) { unlink(path); }

void SayInHandler(const char* line) {
  if (write(STDERR_FILENO, line, std::strlen(line)) < 0) {
    // Nowhere to say it: the files are what counts.
  }
}

void RemoveFolderInHandler(const char* path) { rmdir(path); }

bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }

bool StdoutIsTerminal() { return isatty(fileno(stdout)) != 0; }

bool StdoutReaderGone() {
  // A pipe's writing end polls as an error once no reader is left.
  pollfd out{STDOUT_FILENO, POLLOUT, 0};
  return poll(&out, 1, 0) == 1 && (out.revents & POLLERR) != 0;
}

namespace {
// What the process's own standard output was when it started, set once by
// KeepStandardDescriptors before anything else runs: once the null device
// stands in for it, no call can tell any more.
bool stdoutClosed = false;
}  // namespace

bool StdoutClosedAtStart() { return stdoutClosed; }

bool KeepStandardDescriptors() {
  bool& outputClosed = stdoutClosed;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    outputClosed = outputClosed || fd == STDOUT_FILENO;
    // The lowest free number: `fd` itself, the ones below it being open.
    const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null != fd && null >= 0) close(null);
  }
  return outputClosed;
}

// The native layer prints the module's boxes itself and never waits.
void AnswerBoxesOf(void*) {}

void* LoadLibraryAt(const std::string& path) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) dlerror();
  return library;
}

void* FindSymbol(void* library, const std::string& name) { return dlsym(library, name.c_str()); }

void UnloadLibrary(void* library) {
  if (library != nullptr) dlclose(library);
}

std::string ProgramFolder() {
  char path[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string text(path, n > 0 ? static_cast<size_t>(n) : 0);
  return FolderPart(text);
}

const char* ModuleFileName() { return "libzentrow.so"; }

}  // namespace plughost::sys
