// What an output may replace, by what the existing file holds (its first
// bytes, read through the files gate, and the table of formats). Unless
// forced: a new palette replaces only a missing or empty file or a palette
// of the form the module writes; an image or palette text that open writes
// replaces only one the table knows as such; the trace replaces nothing the
// table knows, forced or not. Everything else is refused in words that say
// what the file is.
#pragma once

#include <string>

#include "kiss/palette_bytes.h"
#include "plughost/files/atomic_file.h"
#include "plughost/usecases/caller.h"

namespace plughost {

// `caller` advises its user on what is refused.
ReplaceCheck MayReplaceWithPalette(bool force, const Caller& caller);
ReplaceCheck MayReplaceWithImage(bool force, const Caller& caller);
ReplaceCheck MayReplaceWithTrace();
// A palette put back in its own form: the file must still be the one that
// was read (`read`: its identity, size and time then), and so a palette of
// `form`.
ReplaceCheck MayReplaceInto(const PaletteForm& form, const FileStatus& read);

// What an existing file is, by its first bytes, its size and its name: "a
// PNG image", "a KiSS cel", "a palette (12-bit, 10 groups of 16 colours)",
// "a file of 46 bytes that is not a palette".
std::string WhatFileIs(const ExistingFile& file);

// Whether a file, by its first bytes and name, is a KiSS palette and of
// which form: one beginning "KiSS" with a palette's header, or a `.kcf`
// file of at least 320 bytes whose first 320 are laid out as 12-bit colours
// (read without a header). False with *why in words when it is no palette.
bool PaletteFormOf(const ExistingFile& file, PaletteForm* form, std::string* why);

}  // namespace plughost
