// The text operations on arbitrary input, each within the limits its callers
// keep, judged against plain std::string references: AppendChars (the 254
// cap, the zero after the last character), SubstitutePlaceholders (left to
// right, values not scanned again, every piece capped), IntegerToPString
// (printf's text) and DecimalToPString (a number within half a unit of the
// last requested decimal plus one truncated digit).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "text/pstring.h"

namespace {

// Takes bytes from the front of the input; zeros once it runs dry.
struct Reader {
  const uint8_t* data;
  size_t size;
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  uint64_t Bits(int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t{Byte()} << (8 * i);
    return v;
  }
  // A PString of any length byte, characters taken from the input.
  void Text(uint8_t* text) {
    std::memset(text, 0, kPStringSize);
    text[0] = Byte();
    for (int i = 1; i <= text[0]; ++i) text[i] = Byte();
  }
};

std::string Chars(const uint8_t* text) {
  return std::string(reinterpret_cast<const char*>(text) + 1, text[0]);
}

void CheckAppend(Reader& in) {
  PString text;
  in.Text(text);
  const std::string before = Chars(text);
  uint8_t source[600];
  const size_t sourceSize = in.Byte() * 2u + in.Byte() % 2u;
  for (size_t i = 0; i < sourceSize; ++i) source[i] = in.Byte();
  // Callers pass a first index inside the source and no more than it holds.
  const auto first = static_cast<int16_t>(in.Bits(2) % (sourceSize + 1));
  const auto room = static_cast<int>(sourceSize) - first;
  const auto count =
      static_cast<int16_t>(static_cast<int>(in.Bits(2) % static_cast<uint64_t>(room + 257)) - 256);
  AppendChars(text, source, first, count);
  const int length = std::min(255, static_cast<int>(before.size()) + std::max(0, int{count}));
  const int expected = length == 255 ? 254 : length;
  FUZZ_REQUIRE(text[0] == expected, "length %d, expected %d", text[0], expected);
  FUZZ_REQUIRE(text[expected + 1] == 0, "no zero after the last character");
  const size_t kept = std::min<size_t>(before.size(), static_cast<size_t>(expected));
  FUZZ_REQUIRE(Chars(text).compare(0, kept, before, 0, kept) == 0, "the old text changed");
  for (size_t i = kept; i < static_cast<size_t>(expected); ++i) {
    FUZZ_REQUIRE(text[i + 1] == source[static_cast<size_t>(first) + i - before.size()],
                 "character %zu", i);
  }
}

// The reference: each placeholder replaced once, scanning on after the value,
// every rebuilt text cut to 254 characters as AppendChars cuts it.
std::string Substituted(std::string text, const std::string* values[3]) {
  size_t position = 0;
  bool afterCaret = false;
  while (position < text.size()) {
    const char c = text[position++];
    if (c == '^') {
      afterCaret = true;
      continue;
    }
    if (!afterCaret || c < '0' || c > '2') {
      afterCaret = false;
      continue;
    }
    afterCaret = false;
    const std::string value = values[c - '0'] ? values[c - '0']->substr(0, 254) : "";
    const std::string head = text.substr(0, position - 2) + value;
    text = (head + text.substr(position)).substr(0, 254);
    position = std::min<size_t>(head.size(), 254);
  }
  return text;
}

void CheckSubstitute(Reader& in) {
  PString text, v[3];
  in.Text(text);
  const uint8_t present = in.Byte();
  std::string chars[3];
  const std::string* values[3] = {};
  for (int i = 0; i < 3; ++i) {
    in.Text(v[i]);
    chars[i] = Chars(v[i]);
    if (present >> i & 1) values[i] = &chars[i];
  }
  const std::string expected = Substituted(Chars(text), values);
  SubstitutePlaceholders(text, values[0] ? v[0] : nullptr, values[1] ? v[1] : nullptr,
                         values[2] ? v[2] : nullptr);
  FUZZ_REQUIRE(Chars(text) == expected, "\"%s\", expected \"%s\"", Chars(text).c_str(),
               expected.c_str());
}

void CheckInteger(Reader& in) {
  const auto value = static_cast<int32_t>(static_cast<uint32_t>(in.Bits(4)));
  PString text;
  std::memset(text, 0xEE, sizeof text);
  IntegerToPString(value, text);
  char expected[16];
  std::snprintf(expected, sizeof expected, "%d", value);
  FUZZ_REQUIRE(Chars(text) == expected, "%s for %d", Chars(text).c_str(), value);
  FUZZ_REQUIRE(text[text[0] + 1] == 0, "no zero after %s", expected);
}

void CheckDecimal(Reader& in) {
  const auto decimals = static_cast<int16_t>(in.Byte() % 10);
  double value;
  const uint64_t bits = in.Bits(8);
  std::memcpy(&value, &bits, sizeof value);
  // Its limits: |value| x 10^decimals below 2^31, and so a finite value.
  if (!std::isfinite(value) || std::fabs(value) * std::pow(10.0, decimals) >= 2147483648.0) return;
  PString text = {};
  DecimalToPString(text, value, decimals);
  const std::string s = Chars(text);
  const size_t point = s.find('.');
  FUZZ_REQUIRE(point != std::string::npos && s.find('.', point + 1) == std::string::npos,
               "\"%s\" needs one point", s.c_str());
  FUZZ_REQUIRE((value < 0) == (s[0] == '-'), "sign of \"%s\" for %.17g", s.c_str(), value);
  const size_t written = s.size() - point - 1;
  const int most = decimals > 1 ? decimals : 1;
  FUZZ_REQUIRE(written >= 1 && written <= static_cast<size_t>(most), "\"%s\": %zu decimals",
               s.c_str(), written);
  for (size_t i = value < 0 ? 1 : 0; i < s.size(); ++i) {
    FUZZ_REQUIRE(i == point || (s[i] >= '0' && s[i] <= '9'), "\"%s\"", s.c_str());
  }
  const double shown = std::fabs(std::strtod(s.c_str(), nullptr));
  // Digits are cut, never rounded, and a last decimal judged to be zero is
  // dropped first: where that judgement sees a product that double arithmetic
  // made whole (28753.919999999998 x 1000), one place fewer is cut.
  const int kept = decimals > 1 ? decimals - 1 : 1;
  const double tolerance = (std::pow(10.0, -kept) + 0.5 * std::pow(10.0, -decimals)) * 1.0001;
  FUZZ_REQUIRE(std::fabs(shown - std::fabs(value)) <= tolerance + 1e-9,
               "\"%s\" for %.17g with %d decimals", s.c_str(), value, decimals);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  switch (in.Byte() % 4) {
    case 0:
      CheckAppend(in);
      break;
    case 1:
      CheckSubstitute(in);
      break;
    case 2:
      CheckInteger(in);
      break;
    default:
      CheckDecimal(in);
      break;
  }
  return 0;
}
