#include "plughost/words/fill.h"

#include <cstdio>
#include <cstring>

namespace plughost {

namespace {

std::string Hex(const char* form, int64_t n) {
  char text[24];
  std::snprintf(text, sizeof text, form, static_cast<unsigned long long>(n));
  return text;
}

// One field, `placeholder` being "name" or "name:how".
std::string Said(const std::string& placeholder, const Fields& fields) {
  const size_t colon = placeholder.find(':');
  const Field field = fields(placeholder.substr(0, colon));
  if (!field.isNumber) return colon == std::string::npos ? field.text : "{" + placeholder + "}";
  const int64_t n = field.number;
  if (colon == std::string::npos) return std::to_string(n);
  const std::string how = placeholder.substr(colon + 1);
  if (how == "MiB") return std::to_string(n >> 20);
  if (how == "0x") return Hex("0x%04llX", n);
  if (how == "rgb") return Hex("%06llx", n);
  const size_t bar = how.find('|');
  if (bar == std::string::npos) return "{" + placeholder + "}";
  return std::to_string(n) + " " + (n == 1 ? how.substr(0, bar) : how.substr(bar + 1));
}

}  // namespace

std::string Fill(const char* format, const Fields& fields) {
  std::string out;
  for (const char* at = format; *at != '\0'; ++at) {
    const char* close = *at == '{' ? std::strchr(at, '}') : nullptr;
    if (*at == '{' && at[1] == '{') {
      out += '{';
      ++at;
    } else if (close != nullptr) {
      out += Said(std::string(at + 1, close), fields);
      at = close;
    } else {
      out += *at;
    }
  }
  return out;
}

}  // namespace plughost
