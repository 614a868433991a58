// Sentences made from whole format strings, as a message catalogue holds
// them: the words never glued from fragments, the fields put in by name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace plughost {

// A field's value: text, or a number.
struct Field {
  std::string text;
  int64_t number = 0;
  bool isNumber = false;
  static Field Text(std::string t) { return Field{std::move(t), 0, false}; }
  static Field Number(int64_t n) { return Field{std::string(), n, true}; }
};

// The value of the field of that name; a name it does not know may answer
// anything (the sentence then shows it).
using Fields = std::function<Field(const std::string& name)>;

// `format` with each {name} replaced by its field: a text as it is, a
// number in decimal. After a colon, how a number is said:
//   {count:colour|colours}  the number and the noun for one or for more
//   {bytes:MiB}             in whole mebibytes
//   {value:0x}              as 0x and four hexadecimal digits, upper case
//   {colour:rgb}            as six hexadecimal digits, lower case
// "{{" is a brace. A field the format names but `fields` lacks stays as
// written, braces and all.
std::string Fill(const char* format, const Fields& fields);

}  // namespace plughost
