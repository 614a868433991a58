#include "text/pstring.h"

namespace {

constexpr int kLengthLimit = 255;
constexpr int kIntegerTextSize = 12;  // "-2147483648" and its zero

// Truncation toward zero. Rounding can carry a value that was within the
// limits just past the largest 32-bit number (2147483647.6 with no
// decimals), so 64 bits.
int64_t WholePart(double value) { return static_cast<int64_t>(value); }

// The number of characters in a zero-terminated text.
int16_t TextLength(const char* text) {
  int16_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

// Adds one character after the last without the cap or a trailing zero;
// decimal text is read by its length byte only.
void PushChar(uint8_t* text, char c) {
  ++text[0];
  text[text[0]] = static_cast<uint8_t>(c);
}

// The decimal text of a magnitude, after a minus sign when asked.
void AppendDigits(uint8_t* out, uint32_t magnitude, bool minus) {
  char digits[kIntegerTextSize] = {};
  int next = kIntegerTextSize - 1;
  do {
    digits[--next] = static_cast<char>('0' + magnitude % 10u);
    magnitude /= 10u;
  } while (magnitude != 0);
  if (minus) digits[--next] = '-';
  AppendChars(out, digits + next, 0, TextLength(digits + next));
}

}  // namespace

void ResetPString(uint8_t* text) {
  text[0] = 0;
  text[1] = 0;
}

void AppendChars(uint8_t* text, const void* source, int16_t firstIndex, int16_t count) {
  const auto* chars = static_cast<const uint8_t*>(source);
  int length = text[0];
  int remaining = count;
  if (length + remaining > kLengthLimit) remaining = kLengthLimit - length;
  for (int index = firstIndex; remaining > 0; ++index, --remaining) {
    ++length;
    text[length] = chars[index];
  }
  // The 255th character would take the place of the terminating zero.
  if (length == kLengthLimit) length = kPStringMaxChars;
  text[0] = static_cast<uint8_t>(length);
  text[length + 1] = 0;
}

void CopyBytes(void* dest, const void* source, uint32_t count) {
  if (dest == nullptr || source == nullptr) return;
  auto* to = static_cast<uint8_t*>(dest);
  const auto* from = static_cast<const uint8_t*>(source);
  for (uint32_t i = 0; i < count; ++i) to[i] = from[i];
}

double IntPower(uint32_t base, uint32_t count) {
  double result = 1.0;
  for (uint32_t i = 0; i < (count & 0xFFFFu); ++i) result *= static_cast<double>(base);
  return result;
}

void IntegerToPString(int32_t value, uint8_t* out) {
  ResetPString(out);
  // Unsigned magnitude: the smallest 32-bit value has no positive twin.
  const uint32_t magnitude =
      value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  AppendDigits(out, magnitude, value < 0);
}

void DecimalToPString(uint8_t* out, double value, int16_t decimals) {
  const bool negative = value < 0;
  ResetPString(out);
  if (negative) value = -value;

  double scaled = IntPower(10, static_cast<uint32_t>(decimals)) * value;
  double next = (scaled - static_cast<double>(WholePart(scaled))) * 10;
  if (next >= 5) value = value + 5 / IntPower(10, static_cast<uint32_t>(decimals + 1));

  // A last requested decimal of 0 is not written, once.
  if (decimals >= 2) {
    scaled = IntPower(10, static_cast<uint32_t>(decimals - 1)) * value;
    next = (scaled - static_cast<double>(WholePart(scaled))) * 10;
    if (next < 1) --decimals;
  }

  // At most 2^31 after rounding, so it fits 32 unsigned bits. The sign is the
  // value's, not the whole part's: -0.5 has a whole part of 0.
  const int64_t whole = WholePart(value);
  AppendDigits(out, static_cast<uint32_t>(whole), negative);
  PushChar(out, '.');

  value = value - static_cast<double>(whole);
  for (;;) {
    value = value * 10;
    const auto digit = static_cast<int>(WholePart(value));
    PushChar(out, static_cast<char>('0' + digit));
    value = value - digit;
    if (value <= 0) break;
    --decimals;
    if (decimals <= 0) break;
  }
}

void SubstitutePlaceholders(uint8_t* text, const uint8_t* value0, const uint8_t* value1,
                            const uint8_t* value2) {
  const uint8_t* values[] = {value0, value1, value2};
  PString value = {};
  PString rebuilt = {};
  int position = 0;
  bool afterCaret = false;
  while (position < text[0]) {
    ++position;
    const uint8_t c = text[position];
    if (c == '^') {
      afterCaret = true;
      continue;
    }
    if (!afterCaret || c < '0' || c > '2') {
      afterCaret = false;
      continue;
    }
    afterCaret = false;
    const uint8_t* given = values[c - '0'];
    ResetPString(value);
    if (given != nullptr && given[0] > 0) AppendChars(value, given, 1, given[0]);
    ResetPString(rebuilt);
    AppendChars(rebuilt, text, 1, static_cast<int16_t>(position - 2));
    if (value[0] > 0) AppendChars(rebuilt, value, 1, value[0]);
    // Resume after the inserted value, so a value is never scanned itself.
    const int resume = rebuilt[0];
    AppendChars(rebuilt, text, static_cast<int16_t>(position + 1),
                static_cast<int16_t>(text[0] - position));
    ResetPString(text);
    AppendChars(text, rebuilt, 1, rebuilt[0]);
    ResetPString(value);
    ResetPString(rebuilt);
    position = resume;
  }
}
