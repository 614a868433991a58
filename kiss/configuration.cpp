#include "kiss/configuration.h"

#include <string_view>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// The reading position in one line, with the small steps every kind of
// line takes.
struct Cursor {
  std::string_view text;
  size_t at = 0;

  bool End() { return at >= text.size(); }
  void SkipSpaces() {
    while (!End() && IsSpace(text[at])) ++at;
  }
  bool Digit() { return !End() && text[at] >= '0' && text[at] <= '9'; }
  bool Take(char c) {
    if (End() || text[at] != c) return false;
    ++at;
    return true;
  }
  // A decimal number, with a sign when `signedNumber`; false without a
  // digit or past `limit`.
  bool Number(int* value, int limit, bool signedNumber = false) {
    const bool minus = signedNumber && Take('-');
    if (End() || text[at] < '0' || text[at] > '9') return false;
    long long n = 0;
    while (!End() && text[at] >= '0' && text[at] <= '9') {
      n = n * 10 + (text[at++] - '0');
      if (n > limit) return false;
    }
    *value = int(minus ? -n : n);
    return true;
  }
  std::string_view Word() {
    SkipSpaces();
    const size_t from = at;
    while (!End() && !IsSpace(text[at])) ++at;
    return text.substr(from, at - from);
  }
};

// The line without its comment.
std::string_view Uncommented(std::string_view line) {
  const size_t semicolon = line.find(';');
  return semicolon == std::string_view::npos ? line : line.substr(0, semicolon);
}

class Reader {
 public:
  explicit Reader(Configuration* cnf) : cnf_(cnf) {}

  void Line(std::string_view line, int number) {
    number_ = number;
    if (!line.empty() && IsSpace(line[0])) {
      if (continuing_ >= 0) Positions(Uncommented(line), continuing_);
      return;
    }
    continuing_ = -1;
    if (line.empty()) return;
    const std::string_view body = Uncommented(line.substr(1));
    switch (line[0]) {
      case '%':
        return Palette(body);
      case '#':
        return CelLine(body);
      case '$':
        return SetLine(body);
      case '(':
        return Envelope(body);
      case '[':
        return Border(body);
      default:
        return;  // comments, FKiSS and lines no first showing uses
    }
  }

 private:
  void Note(CnfFault fault) { cnf_->notes.push_back(CnfNote{number_, fault}); }

  void Palette(std::string_view body) {
    Cursor cursor{body};
    const std::string_view name = cursor.Word();
    if (name.empty() || cnf_->palettes.size() >= kMaxPaletteLines) return Note(CnfFault::kPalette);
    cnf_->palettes.emplace_back(name);
  }

  void CelLine(std::string_view body) {
    if (cnf_->cels.size() >= kMaxCelLines) return Note(CnfFault::kTooManyCels);
    Cursor cursor{body};
    CnfCel cel;
    cel.line = number_;
    if (!cursor.Number(&cel.object, 1 << 30)) return Note(CnfFault::kCel);
    if (cel.object >= kMaxObjects) return Note(CnfFault::kObject);
    // "#59." is seen with no fix after the point: none, as without the point.
    if (cursor.Take('.') && cursor.Digit() && !cursor.Number(&cel.fix, 1 << 30))
      return Note(CnfFault::kCel);
    if (!cursor.End() && !IsSpace(cursor.text[cursor.at])) return Note(CnfFault::kCel);
    const std::string_view file = cursor.Word();
    if (file.empty()) return Note(CnfFault::kCel);
    cel.file = std::string(file);
    // What follows: "*N" the palette, ":" and the sets' digits, in that order.
    for (cursor.SkipSpaces(); !cursor.End(); cursor.SkipSpaces()) {
      if (cursor.Take('*')) {
        if (!cursor.Number(&cel.palette, int(kMaxPaletteLines) - 1)) return Note(CnfFault::kCel);
      } else if (cursor.Take(':')) {
        cel.sets = 0;
        for (; !cursor.End(); ++cursor.at) {
          const char c = cursor.text[cursor.at];
          if (c >= '0' && c <= '9')
            cel.sets = uint16_t(cel.sets | 1u << (c - '0'));
          else if (!IsSpace(c))
            return Note(CnfFault::kCel);
        }
      } else {
        return Note(CnfFault::kCel);
      }
    }
    cnf_->cels.push_back(cel);
  }

  void SetLine(std::string_view body) {
    if (sets_ >= kSetCount) return Note(CnfFault::kExtraSet);
    CnfSet& set = cnf_->sets[size_t(sets_)];
    set.given = true;
    set.line = number_;
    continuing_ = sets_++;
    Cursor cursor{body};
    cursor.SkipSpaces();
    if (!cursor.Number(&set.group, 255)) return Note(CnfFault::kSet);
    Positions(cursor.text.substr(cursor.at), continuing_);
  }

  // Positions, object after object, added to set `index`'s.
  void Positions(std::string_view text, int index) {
    CnfSet& set = cnf_->sets[size_t(index)];
    Cursor cursor{text};
    for (cursor.SkipSpaces(); !cursor.End(); cursor.SkipSpaces()) {
      if (set.positions.size() >= size_t(kMaxObjects)) return Note(CnfFault::kObject);
      CnfPosition position;
      if (!cursor.Take('*')) {
        position.placed = true;
        if (!cursor.Number(&position.x, kMaxCoordinate, true)) return Note(CnfFault::kSet);
        cursor.SkipSpaces();
        if (!cursor.Take(',')) return Note(CnfFault::kSet);
        cursor.SkipSpaces();
        if (!cursor.Number(&position.y, kMaxCoordinate, true)) return Note(CnfFault::kSet);
      }
      set.positions.push_back(position);
    }
  }

  void Envelope(std::string_view body) {
    Cursor cursor{body};
    int width = 0, height = 0;
    cursor.SkipSpaces();
    const bool read = cursor.Number(&width, kMaxEnvelopeSide) &&
                      (cursor.SkipSpaces(), cursor.Take(',')) &&
                      (cursor.SkipSpaces(), cursor.Number(&height, kMaxEnvelopeSide)) &&
                      (cursor.SkipSpaces(), cursor.Take(')'));
    if (!read || width < 1 || height < 1) return Note(CnfFault::kEnvelope);
    cnf_->width = width;
    cnf_->height = height;
    cnf_->sizeGiven = true;
  }

  void Border(std::string_view body) {
    Cursor cursor{body};
    cursor.SkipSpaces();
    int index = 0;
    if (!cursor.Number(&index, 255)) return Note(CnfFault::kBorder);
    cnf_->border = index;
  }

  Configuration* cnf_;
  int number_ = 0;
  int sets_ = 0;         // "$" lines read
  int continuing_ = -1;  // the set whose positions a line beginning with a space carries on
};

}  // namespace

bool Configuration::SetUsed(int set) const {
  if (set < 0 || set >= kSetCount || !sets[size_t(set)].given) return false;
  for (const CnfCel& cel : cels) {
    if (cel.InSet(set) && sets[size_t(set)].At(cel.object).placed) return true;
  }
  return false;
}

Configuration ReadConfiguration(const uint8_t* text, size_t size) {
  Configuration cnf;
  if (size > kMaxConfigurationBytes) {
    cnf.notes.push_back(CnfNote{0, CnfFault::kTooLarge});
    return cnf;
  }
  Reader reader(&cnf);
  const std::string_view all(reinterpret_cast<const char*>(text), size);
  int number = 1;
  // Lines end with CR LF, LF or CR alone.
  for (size_t from = 0; from < all.size(); ++number) {
    size_t end = from;
    while (end < all.size() && all[end] != '\n' && all[end] != '\r') ++end;
    reader.Line(all.substr(from, end - from), number);
    if (end < all.size() && all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n') ++end;
    from = end + 1;
  }
  return cnf;
}

Configuration ReadConfiguration(const std::vector<uint8_t>& text) {
  return ReadConfiguration(text.data(), text.size());
}
