#include "plughost/commands/terminal.h"

#include "plughost/files/system.h"

namespace plughost {

bool StderrIsTerminal() { return sys::StderrIsTerminal(); }

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

BoxAnswerer::BoxAnswerer(bool enabled) : hook_(enabled ? sys::AnswerBoxes() : nullptr) {}

BoxAnswerer::~BoxAnswerer() { sys::StopAnsweringBoxes(hook_); }

}  // namespace plughost
