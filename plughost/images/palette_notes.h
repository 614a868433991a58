// What the host can add, in words, when a module refuses a palette file: the
// module answers only a code, and "-30501: not a palette file" does not say
// that the header asks for 300 colours. Read from the file's own bytes; the
// module is not consulted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

// Why a module answering `result` on these file bytes refused them; empty
// when the bytes show nothing more than the code says.
std::string ExplainRefusal(const std::vector<uint8_t>& file, int result);

// What a user should know of a palette that opened: read without a header
// (and how much of the file was left unread), or a header whose counts let
// nothing be decoded. `head` is the file's first bytes, `size` its length
// and `read` how far the module read. Empty when there is nothing to say.
std::string OpenedNote(const std::vector<uint8_t>& head, uint64_t size, uint64_t read);

// How a file that FilterFile refuses is read all the same by an opening.
std::string HeaderlessReading();

}  // namespace plughost
