#include "text/pstring.h"

#include <gtest/gtest.h>

#if defined(_WIN32) && defined(__i386__)
#include <float.h>
#endif

#include <climits>
#include <cstring>
#include <string>

namespace {

void Set(uint8_t* text, const std::string& chars) {
  text[0] = static_cast<uint8_t>(chars.size());
  std::memcpy(text + 1, chars.data(), chars.size());
}

std::string Chars(const uint8_t* text) { return std::string(text + 1, text + 1 + text[0]); }

TEST(PStringTest, ResetEmptiesAndTerminates) {
  PString text;
  std::memset(text, 'x', sizeof text);
  ResetPString(text);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(text[1], 0);
}

TEST(PStringTest, AppendCharsKeepsAtMost254) {
  struct Case {
    const char* name;
    int initial;
    bool fromPString;  // source passed as a PString (index 1), else as plain text (index 0)
    int count;
    int expectedLength;
    int kept;  // source characters that arrive
  };
  const Case cases[] = {
      {"short append", 3, false, 5, 8, 5},
      {"fills to 254 exactly", 249, false, 5, 254, 5},
      {"255th character dropped", 250, false, 5, 254, 4},
      {"10 onto 250 keeps 4", 250, false, 10, 254, 4},
      {"10 onto 250 keeps 4 from a PString", 250, true, 10, 254, 4},
      {"0 onto 255 leaves 254", 255, false, 0, 254, 0},
      {"0 onto 200 changes nothing", 200, true, 0, 200, 0},
      {"negative count appends nothing", 10, false, -3, 10, 0},
  };
  const std::string source = "0123456789";
  PString plain = {};
  Set(plain, source);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PString text;
    std::memset(text, 'x', sizeof text);
    text[0] = static_cast<uint8_t>(c.initial);
    if (c.fromPString) {
      AppendChars(text, plain, 1, static_cast<int16_t>(c.count));
    } else {
      AppendChars(text, source.c_str(), 0, static_cast<int16_t>(c.count));
    }
    ASSERT_EQ(text[0], c.expectedLength);
    EXPECT_EQ(text[c.expectedLength + 1], 0);
    const size_t before = static_cast<size_t>(c.expectedLength - c.kept);
    EXPECT_EQ(Chars(text),
              std::string(before, 'x') + source.substr(0, static_cast<size_t>(c.kept)));
  }
}

TEST(PStringTest, CopyBytesGoesUpwardAndIgnoresNull) {
  char buffer[] = "abcdef";
  CopyBytes(buffer + 1, buffer, 4);  // overlapping: each copied byte is copied again
  EXPECT_STREQ(buffer, "aaaaaf");
  CopyBytes(nullptr, buffer, 4);
  CopyBytes(buffer, nullptr, 4);
  CopyBytes(buffer, "xyz", 0);
  EXPECT_STREQ(buffer, "aaaaaf");
}

TEST(PStringTest, IntPower) {
  struct Case {
    uint32_t base, count;
    double expected;
  };
  const Case cases[] = {{10, 0, 1.0}, {10, 1, 10.0},        {10, 3, 1000.0},  {2, 10, 1024.0},
                        {0, 0, 1.0},  {10, 0x10002, 100.0}, {7, 0x10000, 1.0}};
  for (const Case& c : cases)
    EXPECT_EQ(IntPower(c.base, c.count), c.expected) << c.base << "^" << c.count;
}

TEST(PStringTest, IntegerToPString) {
  struct Case {
    int32_t value;
    const char* expected;
  };
  const Case cases[] = {{INT32_MIN, "-2147483648"},
                        {INT32_MAX, "2147483647"},
                        {0, "0"},
                        {-1, "-1"},
                        {7, "7"},
                        {100, "100"}};
  for (const Case& c : cases) {
    PString out;
    Set(out, "stale text");
    IntegerToPString(c.value, out);
    EXPECT_EQ(Chars(out), c.expected);
    EXPECT_EQ(out[out[0] + 1], 0) << c.expected;
  }
}

TEST(PStringTest, DecimalToPString) {
  struct Case {
    double value;
    int16_t decimals;
    const char* expected;
  };
  const Case cases[] = {
      {2.5, 1, "2.5"},   {3, 1, "3.0"},     {4, 1, "4.0"},    {1.25, 1, "1.3"}, {9.96, 1, "10.0"},
      {2.5, 0, "3.0"},   {2.25, 3, "2.25"}, {1.1, 3, "1.10"}, {0, 1, "0.0"},    {-2.5, 1, "-2.5"},
      {-0.5, 1, "-0.5"}, {1.5, 3, "1.5"},  // stops once the fraction is used up
  };
  for (const Case& c : cases) {
    PString out;
    Set(out, "stale text");
    DecimalToPString(out, c.value, c.decimals);
    EXPECT_EQ(Chars(out), c.expected) << c.value << " with " << c.decimals << " decimals";
  }
}

#if defined(_WIN32) && defined(__i386__)
// Hosts may leave the x87 unit at single precision (Direct3D does); the digits
// must not change with it.
TEST(PStringTest, DecimalToPStringIgnoresX87Precision) {
  const unsigned saved = _controlfp(0, 0);
  _controlfp(_PC_24, _MCW_PC);
  PString out = {}, out2 = {};
  DecimalToPString(out, 1.25, 1);
  DecimalToPString(out2, 1.1, 3);
  _controlfp(saved, _MCW_PC);
  EXPECT_EQ(Chars(out), "1.3");
  EXPECT_EQ(Chars(out2), "1.10");
}
#endif

TEST(PStringTest, SubstitutePlaceholders) {
  struct Case {
    const char* text;
    const char* value0;  // null: absent
    const char* value1;
    const char* value2;
    const char* expected;
  };
  const Case cases[] = {
      {"Morvid: ref num=^0.", "7", nullptr, nullptr, "Morvid: ref num=7."},
      {"^1 and ^1", "a", "b", "c", "b and b"},
      {"^0^1^2", "a", "b", "c", "abc"},
      {"x^0y", "", nullptr, nullptr, "xy"},
      {"x^0y", nullptr, nullptr, nullptr, "xy"},
      {"a ^3 b", "v", "v", "v", "a ^3 b"},
      {"ends in ^", "v", "v", "v", "ends in ^"},
      {"0 1 2 ^ 1", "v", "v", "v", "0 1 2 ^ 1"},
      {"^^1", nullptr, "v", nullptr, "^v"},
      {"^1^2", nullptr, "", "z", "z"},
      {"^^01", "", nullptr, nullptr, "^1"},
      {"[^1]", nullptr, "^2", "no", "[^2]"},
      {"^0", "^0", nullptr, nullptr, "^0"},
      {"^1x", nullptr, "hello", nullptr, "hellox"},
  };
  for (const Case& c : cases) {
    PString text = {}, value0 = {}, value1 = {}, value2 = {};
    Set(text, c.text);
    if (c.value0 != nullptr) Set(value0, c.value0);
    if (c.value1 != nullptr) Set(value1, c.value1);
    if (c.value2 != nullptr) Set(value2, c.value2);
    SubstitutePlaceholders(text, c.value0 ? value0 : nullptr, c.value1 ? value1 : nullptr,
                           c.value2 ? value2 : nullptr);
    EXPECT_EQ(Chars(text), c.expected) << c.text;
    EXPECT_EQ(text[text[0] + 1], 0) << c.text;
  }
}

TEST(PStringTest, SubstituteCapsResultAt254) {
  PString text = {}, value = {};
  Set(text, std::string(248, 'a') + "^0bcd");
  Set(value, "0123456789");
  SubstitutePlaceholders(text, value, nullptr, nullptr);
  EXPECT_EQ(Chars(text), std::string(248, 'a') + "012345");
  EXPECT_EQ(text[255], 0);
}

}  // namespace
