#include "plughost/sets/draw_set.h"

#include <algorithm>
#include <map>

namespace plughost {

namespace {

// The pixel (x, y) of `cel` as RGBA into `out`; false where it is transparent.
bool CelPixel(const Cel& cel, const GroupColours& colours, int x, int y, uint8_t* out,
              int64_t* past) {
  const size_t at = size_t(y) * size_t(cel.width) + size_t(x);
  if (!cel.Indexed()) {
    std::copy(cel.pixels.begin() + std::ptrdiff_t(4 * at),
              cel.pixels.begin() + std::ptrdiff_t(4 * at + 4), out);
    return out[3] != 0;
  }
  const int index = cel.pixels[at];
  if (index == 0) return false;
  if (index < colours.count) {
    std::copy(colours.rgb + 3 * index, colours.rgb + 3 * index + 3, out);
  } else {
    ++*past;
    out[0] = out[1] = out[2] = 0;
  }
  out[3] = 255;
  return true;
}

// `source` over `dest`, both straight (not premultiplied) RGBA.
void Over(const uint8_t* source, uint8_t* dest) {
  const int a = source[3];
  if (a == 255 || dest[3] == 0) {
    std::copy(source, source + 4, dest);
    return;
  }
  const int below = dest[3] * (255 - a) / 255;
  const int alpha = a + below;
  for (int c = 0; c < 3; ++c) dest[c] = uint8_t((source[c] * a + dest[c] * below) / alpha);
  dest[3] = uint8_t(alpha);
}

// `cel` with its top left at (left, top) of `image`, what falls outside cut off.
int64_t Stamp(const Cel& cel, const GroupColours& colours, int left, int top, Image* image) {
  int64_t past = 0;
  const int x0 = std::max(0, -left), x1 = std::min(cel.width, image->columns - left);
  const int y0 = std::max(0, -top), y1 = std::min(cel.height, image->rows - top);
  uint8_t rgba[4];
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      if (CelPixel(cel, colours, x, y, rgba, &past)) Over(rgba, &image->At(top + y, left + x, 0));
    }
  }
  return past;
}

bool Overlaps(const Cel& cel, int left, int top, const Image& image) {
  return left < image.columns && top < image.rows && left + cel.width > 0 && top + cel.height > 0;
}

}  // namespace

Drawing DrawCel(const Cel& cel, const GroupColours& colours) {
  Drawing drawing;
  drawing.image = Image::Blank(cel.height, cel.width, 4);
  if (!drawing.image.pixels.empty())
    drawing.pastColours = Stamp(cel, colours, 0, 0, &drawing.image);
  return drawing;
}

GroupColoursRefusal CelColours(const std::vector<uint8_t>& palette, int group,
                               GroupColours* colours) {
  return ReadGroupColours(palette, group, colours);
}

SetDrawing DrawSet(const DollSet& doll, int set) {
  SetDrawing out;
  out.set = set;
  out.drawing.image = Image::Blank(doll.cnf.height, doll.cnf.width, 4);
  // A set that LoadSet did not fill draws nothing rather than reading past it.
  if (set < 0 || set >= kSetCount || out.drawing.image.pixels.empty() ||
      doll.cels.size() != doll.cnf.cels.size())
    return out;
  const CnfSet& positions = doll.cnf.sets[size_t(set)];
  out.group = positions.group;
  std::map<int, GroupColours> colours;  // by palette, in the set's group
  for (size_t k = doll.cnf.cels.size(); k-- > 0;) {
    const CnfCel& line = doll.cnf.cels[k];
    if (!line.InSet(set) || size_t(line.palette) >= doll.palettes.size()) continue;
    const CnfPosition at = positions.At(line.object);
    if (!at.placed) {
      ++out.celsUnplaced;
      continue;
    }
    const Cel& cel = doll.cels[k];
    const int left = at.x + cel.xOffset, top = at.y + cel.yOffset;
    if (!Overlaps(cel, left, top, out.drawing.image)) continue;
    auto found = colours.find(line.palette);
    if (found == colours.end()) {
      found = colours.emplace(line.palette, GroupColours{}).first;
      CelColours(doll.palettes[size_t(line.palette)], positions.group, &found->second);
    }
    out.drawing.pastColours += Stamp(cel, found->second, left, top, &out.drawing.image);
    ++out.celsDrawn;
  }
  return out;
}

}  // namespace plughost
