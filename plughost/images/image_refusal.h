// How the image readers say no: one sentence about the file, by its name
// when the caller gave one, and the size limits held before any pixel is
// decoded.
#pragma once

#include <cstdint>
#include <string>

namespace plughost {

// Called with why the file is refused; writes "NAME why" to *error and
// answers false, so that a reader can `return refuse("...")`. Without a
// name the file is "the image" (or `unnamed`, where it may be none).
struct ImageRefusal {
  const std::string& name;
  std::string* error;
  bool operator()(const std::string& why, const char* unnamed = "the image") const {
    *error = (name.empty() ? std::string(unnamed) : name) + " " + why;
    return false;
  }
};

// True when a header's columns x rows is at least one pixel and at most
// 32767 a side, and, when `wholeImage`, at most kMaxImagePixels; otherwise
// refuses, naming the size.
bool SizeAllowed(int64_t columns, int64_t rows, bool wholeImage, const ImageRefusal& refuse);

}  // namespace plughost
