// The host's process on Windows: console events, the standard handles,
// the module's message boxes, and loading the module.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "plughost/system/system.h"

namespace plughost::sys {

namespace {

// The interrupt list's handler and the console event's flag: the event is
// the process's and arrives on a thread of its own, so these stay beside
// the list (interrupt_cleanup.cpp) and nothing else does.
void (*interruptAction)() = nullptr;
volatile LONG interrupted = 0;

// The console's events arrive on a thread of their own while the batch goes
// on: the batch stops at its next file and removes its own new files (they
// are open, so this thread could not remove them).
BOOL WINAPI OnConsoleEvent(DWORD) {
  InterlockedExchange(&interrupted, 1);
  return TRUE;
}

}  // namespace

void HandleInterrupts(void (*onInterrupt)()) {
  if (interruptAction != nullptr) return;
  interruptAction = onInterrupt;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool Interrupted() { return InterlockedCompareExchange(&interrupted, 0, 0) != 0; }

// The console's events only ask already.
void InterruptsOnlyAsk() {}

InterruptsHeld::InterruptsHeld() {}
InterruptsHeld::~InterruptsHeld() {}

void RemoveInHandler(const char* path) { DeleteFileA(path); }

// Console events only ask: the batch itself says what it left.
void SayInHandler(const char*) {}

void RemoveFolderInHandler(const char* path) { RemoveDirectoryA(path); }

namespace {

// A console, not any character device: _isatty is true of NUL and, under
// wine, of /dev/full, where lines must still be written (and their loss found).
bool IsConsole(DWORD handle) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(handle), &mode) != 0;
}

}  // namespace

bool StderrIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

bool StdoutIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }

// A closed pipe is found when it is written to.
bool StdoutReaderGone() { return false; }

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
    if (_get_osfhandle(fd) != -1) continue;
    outputClosed = outputClosed || fd == 1;
    // The lowest free number: `fd` itself, the ones below it being open.
    const int null = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (null != fd && null >= 0) _close(null);
  }
  return outputClosed;
}

namespace {

// The module's ANSI text as UTF-8, as the rest of the program's output.
std::string Utf8Of(const char* text) {
  if (text == nullptr) return "";
  wchar_t wide[2048] = {};
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 2048);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &out[0], bytes, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

// What the module's MessageBoxA becomes: the box said on stderr, answered OK.
int WINAPI AnsweredBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
  std::fprintf(stderr, "message box \"%s\": %s [OK]\n", Utf8Of(caption).c_str(),
               Utf8Of(text).c_str());
  std::fflush(stderr);
  return IDOK;
}

// The library's import slot for `function` of `dll`, or null.
ULONG_PTR* ImportSlot(uint8_t* base, const char* dll, const char* function) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       d->Name != 0; ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    const DWORD listed = d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + listed);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
        return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
    }
  }
  return nullptr;
}

}  // namespace

// The module's own import of MessageBoxA is pointed at AnsweredBox, so that
// a box is said and answered whether or not there is a display to show it.
void AnswerBoxesOf(void* library) {
  ULONG_PTR* slot = ImportSlot(static_cast<uint8_t*>(library), "USER32.dll", "MessageBoxA");
  if (slot == nullptr) return;
  DWORD was = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was);
  *slot = reinterpret_cast<ULONG_PTR>(&AnsweredBox);
  VirtualProtect(slot, sizeof *slot, was, &was);
}

void* LoadLibraryAt(const std::string& path) { return LoadLibraryA(path.c_str()); }

void* FindSymbol(void* library, const std::string& name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
}

void UnloadLibrary(void* library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return FolderPart(path);
}

const char* ModuleFileName() { return "Zentrow.8bi"; }

}  // namespace plughost::sys
