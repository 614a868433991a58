// The sentences of the image readers: each refusal and note of
// plughost/images (image_fault.h) worded from its code and fields, one
// whole format string a code, in one place.
#pragma once

#include <string>

#include "plughost/images/image_fault.h"

namespace plughost {

// The program the sentences name where they say what it reads, unless the
// caller names itself.
constexpr char kCommandLineReader[] = "plughost";

// The fault as one sentence naming its file ("the image" or "the file" when
// it has no name); `reader` is the program named where the sentence says
// what it reads or cannot. Empty for kNone.
std::string ImageWords(const ImageFault& fault, const std::string& reader = kCommandLineReader);

// The notes of one file as one line, each said as ImageWords says it, "; "
// between them; empty when there are none.
std::string ImageWords(const ImageNotes& notes, const std::string& reader = kCommandLineReader);

// The format string a code is said with, its fields in braces (fill.h):
// what a message catalogue holds for it. Empty for kNone.
const char* ImageSentence(ImageSaid said);

}  // namespace plughost
