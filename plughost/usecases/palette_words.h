// What the host can say of a palette from the file's own bytes, in words:
// its form, why a module refused it (the module answers only a code, and
// "-30501: not a palette file" does not say that the header asks for 300
// colours), what to know of one that opened, and of its groups. The bytes
// are read by kiss/palette_bytes.h; the module is not consulted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kiss/palette_bytes.h"

namespace plughost {

// "24-bit, 10 groups of 256 colours"; "no header: 10 groups of 16 12-bit colours".
std::string FormText(const PaletteForm& form);

// Why the first bytes give no groups: "its header has file mark 32, where
// a palette has 16"; "" for kNone.
std::string FormFaultText(const PaletteHead& head, FormFault fault);

// "NAME has 10 groups (0 to 9); there is no group 12", or "" when `group`
// is one of the file's.
std::string GroupPastTheLast(const std::string& name, const PaletteForm& form, int group);

// Why the module refused a group's view with `result`, in terms of the
// file the user named; "" when the code says it all.
std::string ExplainGroupRefusal(const PaletteForm& form, int group, uint64_t fileSize, int result);

// For a file refused for holding more colours than an image shows, when
// one group would fit: how many groups it has. 0 for any other file.
int GroupsToOpenOneByOne(const std::vector<uint8_t>& head);
int GroupsToOpenOneByOne(const PaletteForm& form, FormFault fault);

// Why a module answering `result` on these file bytes refused them; empty
// when the bytes show nothing more than the code says.
std::string ExplainRefusal(const std::vector<uint8_t>& file, int result);
// The same, of a header read before from the first `held` bytes of a file.
std::string ExplainRefusal(const PaletteHead& head, uint64_t held, int result);

// What a user should know of a palette that opened: read without a header
// (and how much of the file was left unread), or a header whose counts let
// nothing be decoded. `head` is the file's first bytes, `size` its length
// and `read` how far the module read; from those bytes, a file read without
// a header that is no palette is named (HeaderlessDoubt). Empty when there
// is nothing to say.
std::string OpenedNote(const std::vector<uint8_t>& head, uint64_t size, uint64_t read);
std::string OpenedNote(const PaletteHead& head, uint64_t size, uint64_t read);

// How a file that the filter refuses is read all the same by an opening.
std::string HeaderlessReading();
// Said after that reading of a file that is not laid out as a headerless
// palette (HeaderlessMisfit): ", though it is a PNG image, not a palette",
// or the first byte that does not fit; "" for one that is.
std::string HeaderlessDoubt(const std::vector<uint8_t>& bytes);

}  // namespace plughost
