#include "plughost/commands/terminal.h"

#include "plughost/files/system_headers.h"

#if defined(_WIN32)
#include <io.h>
#endif

namespace plughost {

bool StderrIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

void ProgressBar::Update(int32_t done, int32_t total) {
  if (!enabled_ || total <= 0) return;
  constexpr int kWidth = 32;
  const int64_t clamped = done < 0 ? 0 : done > total ? total : done;
  const int filled = static_cast<int>(clamped * kWidth / total);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kWidth - filled), '-');
  std::fprintf(stderr, "\r[%s] %d/%d %s", bar.c_str(), done, total, label_.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  // Clear the line so that the results that follow start clean.
  std::fprintf(stderr, "\r%*s\r", 50 + static_cast<int>(label_.size()), "");
  std::fflush(stderr);
  drawn_ = false;
}

#if defined(_WIN32)

namespace {

HHOOK activeHook = nullptr;

// UTF-8, as the rest of the program's output: the box holds ANSI text.
std::string TextOf(HWND window) {
  wchar_t text[2048] = {};
  GetWindowTextW(window, text, 2048);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

// A message box is a dialog of class "#32770" whose text sits in the
// static control 0xFFFF; it becomes active once it is on the screen.
LRESULT CALLBACK AnswerBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char cls[16] = {};
    GetClassNameA(box, cls, sizeof cls);
    if (std::string(cls) == "#32770") {
      std::fprintf(stderr, "message box \"%s\": %s [OK]\n", TextOf(box).c_str(),
                   TextOf(GetDlgItem(box, 0xFFFF)).c_str());
      std::fflush(stderr);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(activeHook, code, wParam, lParam);
}

}  // namespace

BoxAnswerer::BoxAnswerer(bool enabled) {
  if (!enabled || activeHook != nullptr) return;
  activeHook = SetWindowsHookExA(WH_CBT, AnswerBox, nullptr, GetCurrentThreadId());
  hook_ = activeHook;
}

BoxAnswerer::~BoxAnswerer() {
  if (hook_ == nullptr) return;
  UnhookWindowsHookEx(static_cast<HHOOK>(hook_));
  activeHook = nullptr;
}

#else

BoxAnswerer::BoxAnswerer(bool) {}
BoxAnswerer::~BoxAnswerer() {}

#endif

}  // namespace plughost
