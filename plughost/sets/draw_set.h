// Cels and sets drawn in a palette's colours, into 8-bit RGBA images
// (plughost::Image with 4 planes). Index 0 of a cel of indices is
// transparent, as alpha 0 is in a cel of colours; what lies under no cel
// stays transparent.
#pragma once

#include <cstdint>

#include "kiss/cel.h"
#include "kiss/group_colours.h"
#include "plughost/host/image.h"
#include "plughost/sets/doll_set.h"

namespace plughost {

// What drawing found, besides the picture.
struct Drawing {
  Image image;  // rows x columns x 4: red, green, blue, alpha
  // Pixels whose index lies past their group's colours (a 16-colour group
  // under an 8-bit cel): drawn black, as image readers take such indices.
  int64_t pastColours = 0;
};

// The cel alone, in its own size, in `colours` (ignored for a cel of
// colours).
Drawing DrawCel(const Cel& cel, const GroupColours& colours);

// `colours` of palette `file`'s group `group`, as DrawCel takes them (group
// 0 when the palette has fewer groups); the refusal when it has none.
GroupColoursRefusal CelColours(const std::vector<uint8_t>& palette, int group,
                               GroupColours* colours);

struct SetDrawing {
  Drawing drawing;  // in the envelope's size
  int set = 0;
  int group = 0;            // the palette group the set shows
  size_t celsDrawn = 0;     // cels of the set drawn, wholly or in part
  size_t celsUnplaced = 0;  // cels listed in the set whose object it gives no position
};

// Set `set` (0 to 9) of `doll` as a viewer first shows it: every cel listed
// in the set, at its object's position there plus its own offset, in its
// palette's group for the set, the last listed drawn first so that the
// first listed lies on top; clipped to the envelope.
SetDrawing DrawSet(const DollSet& doll, int set);

}  // namespace plughost
