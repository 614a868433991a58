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

}  // namespace plughost
