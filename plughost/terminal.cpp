#include "plughost/terminal.h"

#include <nlohmann/json.hpp>

#include <cerrno>

#include "plughost/file_checks.h"
#include "plughost/system_headers.h"

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

bool TraceWriter::Open(const std::string& path, std::string* error) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr) *error = "cannot write the trace " + path + ": " + ErrnoText(errno);
  return file_ != nullptr;
}

bool TraceWriter::Close(std::string* error) {
  if (file_ != nullptr) {
    if (std::fclose(file_) != 0 && failure_ == 0) failure_ = errno != 0 ? errno : EIO;
    file_ = nullptr;
  }
  if (failure_ == 0) return true;
  *error = "cannot write the trace " + path_ + ": " + ErrnoText(failure_);
  return false;
}

void TraceWriter::Write(const std::string& event, const nlohmann::ordered_json& fields) {
  if (file_ == nullptr) return;
  nlohmann::ordered_json line{{"seq", ++seq_}, {"event", event}};
  for (auto it = fields.begin(); it != fields.end(); ++it) line[it.key()] = it.value();
  // Module strings are ANSI, not UTF-8: replace what cannot be encoded.
  const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (failure_ != 0) return;
  errno = 0;
  if (std::fprintf(file_, "%s\n", text.c_str()) < 0 || std::fflush(file_) != 0)
    failure_ = errno != 0 ? errno : EIO;
}

TraceWriter::~TraceWriter() {
  std::string ignored;
  Close(&ignored);
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
