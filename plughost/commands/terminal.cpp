#include "plughost/commands/terminal.h"

#include "plughost/system/system.h"

namespace plughost {

bool StderrIsTerminal() { return sys::StderrIsTerminal(); }

bool StdoutIsTerminal() { return sys::StdoutIsTerminal(); }

namespace {

constexpr int kBarWidth = 32;

// "[#####-----]" for `done` of `total`, which is more than 0.
std::string Bar(int64_t done, int64_t total) {
  const int64_t clamped = done < 0 ? 0 : done > total ? total : done;
  const auto filled = static_cast<size_t>(clamped * kBarWidth / total);
  return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "]";
}

void ClearLine() {
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
}

}  // namespace

std::string WithThousands(size_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

void ProgressBar::Update(int32_t done, int32_t total) {
  if (!enabled_ || total <= 0) return;
  const int64_t share = int64_t{done < 0 ? 0 : done > total ? total : done} * 100 / total;
  std::fprintf(stderr, "\r%s %3d%% %s", Bar(done, total).c_str(), static_cast<int>(share),
               label_.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  // The operation is over: whatever share the module's last count gave.
  std::fprintf(stderr, "\r%s 100%% %s\n", Bar(1, 1).c_str(), label_.c_str());
  std::fflush(stderr);
  drawn_ = false;
}

void BatchProgress::BeforeFile() {
  if (drawn_) ClearLine();
  drawn_ = false;
}

void BatchProgress::FileDone(size_t done) {
  if (!enabled_ || count_ == 0) return;
  std::fprintf(stderr, "\r%s %s / %s files", Bar(static_cast<int64_t>(done), static_cast<int64_t>(count_)).c_str(),
               WithThousands(done).c_str(), WithThousands(count_).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void BatchProgress::Finish() {
  if (!drawn_) return;
  std::fputs("\n", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace plughost
