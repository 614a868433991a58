#include "plughost/commands/terminal.h"

#include "plughost/files/system.h"

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

namespace {

// How many bytes the UTF-8 sequence at `at` takes, or 0 when it is none.
size_t Utf8Length(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  const size_t length = first >= 0xF0 && first <= 0xF4 ? 4 : first >= 0xE0 ? 3 : first >= 0xC2 ? 2 : 0;
  if (length == 0 || first > 0xF4 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // No overlong forms, surrogates or code points past U+10FFFF.
  const unsigned char second = byte(at + 1);
  if ((first == 0xE0 && second < 0xA0) || (first == 0xED && second >= 0xA0) ||
      (first == 0xF0 && second < 0x90) || (first == 0xF4 && second >= 0x90))
    return 0;
  return length;
}

std::string Escaped(unsigned char c) {
  switch (c) {
    case '\a': return "\\a";
    case '\b': return "\\b";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\v': return "\\v";
    case '\f': return "\\f";
    case '\r': return "\\r";
    default: break;
  }
  const char digits[] = {'\\', char('0' + (c >> 6)), char('0' + ((c >> 3) & 7)), char('0' + (c & 7)), 0};
  return digits;
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += char(c);
      ++i;
      continue;
    }
    const size_t length = c >= 0x80 ? Utf8Length(text, i) : 0;
    // C1 controls (U+0080 to U+009F) drive terminals too.
    const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (length > 0 && !c1) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    for (size_t k = 0; k < (c1 ? 2 : 1); ++k) out += Escaped(static_cast<unsigned char>(text[i + k]));
    i += c1 ? 2 : 1;
  }
  return out;
}

}  // namespace plughost
