// LoadStringA over the string table compiled in from resources/strings.inc,
// MessageBoxA on the terminal, the load-time attach call, and the test hooks.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/posix/hooks_state.h"
#include "platform/posix/windows_layer.h"
#include "resources/resource_bytes.h"

namespace {

using posix_hooks::detail::State;

std::vector<posix_hooks::MessageBoxRecord>& CapturedBoxes() {
  static std::vector<posix_hooks::MessageBoxRecord> boxes;
  return boxes;
}

// The instance handle the module is given at load: any fixed, unique address.
char instanceTag;
HINSTANCE ThisInstance() { return reinterpret_cast<HINSTANCE>(&instanceTag); }

// Windows calls the attach routine when the library is mapped, and the
// detach routine when it is unloaded; so do we.
// Weak, so that tests of the layers below the module link without it.
__attribute__((constructor)) void AttachModule() {
  if (DllMain != nullptr) DllMain(ThisInstance(), DLL_PROCESS_ATTACH, nullptr);
}
__attribute__((destructor)) void DetachModule() {
  if (DllMain != nullptr) DllMain(ThisInstance(), DLL_PROCESS_DETACH, nullptr);
}

// Code page 1252 to UTF-8 for the terminal: the Latin-1 range maps directly;
// the few 0x80-0x9F letters the module never uses are shown as '?'.
std::string AnsiToUtf8(const char* text) {
  std::string out;
  for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (*p < 0x80) {
      out += static_cast<char>(*p);
    } else if (*p < 0xA0) {
      out += '?';
    } else {
      out += static_cast<char>(0xC0 | (*p >> 6));
      out += static_cast<char>(0x80 | (*p & 0x3F));
    }
  }
  return out;
}

const char* IconName(UINT type) {
  switch (type & 0xF0u) {
    case MB_ICONWARNING: return "warning icon";
    case MB_ICONINFORMATION: return "information icon";
    default: return "no icon";
  }
}

void PrintBox(const posix_hooks::MessageBoxRecord& box) {
  std::string caption = box.captionGiven ? "caption \"" + AnsiToUtf8(box.caption.c_str()) + "\""
                                         : std::string("default caption");
  std::fprintf(stderr, "+-- message box (%s, %s, owner %#lx)\n", IconName(box.type),
               caption.c_str(), static_cast<unsigned long>(box.owner));
  std::string text = AnsiToUtf8(box.text.c_str());
  size_t start = 0;
  while (true) {
    size_t end = text.find('\n', start);
    std::fprintf(stderr, "| %s\n", text.substr(start, end - start).c_str());
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::fprintf(stderr, "+-- [OK]\n");
}

}  // namespace

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  State::Get().counters.stringLoads++;
  if (instance != ThisInstance() || buffer == nullptr || size <= 0) return 0;
  for (int i = 0; i < kStringTableSize; ++i) {
    if (kStringTable[i].id != id) continue;
    const size_t length = std::strlen(kStringTable[i].text);
    const size_t copied = length < static_cast<size_t>(size - 1) ? length : size_t(size - 1);
    std::memcpy(buffer, kStringTable[i].text, copied);
    buffer[copied] = '\0';
    return static_cast<int>(copied);
  }
  buffer[0] = '\0';
  return 0;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  State& s = State::Get();
  s.counters.messageBoxes++;
  posix_hooks::MessageBoxRecord box;
  box.owner = reinterpret_cast<intptr_t>(owner);
  box.text = text != nullptr ? text : "";
  box.captionGiven = caption != nullptr;
  box.caption = caption != nullptr ? caption : "";
  box.type = type;
  if (s.capturing) {
    CapturedBoxes().push_back(box);
  } else {
    PrintBox(box);
  }
  return IDOK;
}

namespace posix_hooks {

void SetFaultPlan(const FaultPlan& plan) {
  State& s = State::Get();
  s.plan = plan;
  s.readStream = 0;
  s.writeStream = 0;
  s.allocCalls = 0;
  s.callocCalls = 0;
}

Counters& GetCounters() { return State::Get().counters; }

void ResetCounters() {
  const int64_t live = State::Get().counters.liveGlobals;
  State::Get().counters = Counters{};
  State::Get().counters.liveGlobals = live;
}

void CaptureMessageBoxes(bool on) { State::Get().capturing = on; }
const std::vector<MessageBoxRecord>& CapturedMessageBoxes() { return CapturedBoxes(); }
void ClearCapturedMessageBoxes() { CapturedBoxes().clear(); }

}  // namespace posix_hooks
