#include "tests/plughost/sample_palettes.h"

#include <algorithm>
#include <string>

namespace samples {

namespace {

constexpr size_t kColorsPerGroupOffset = 8;
constexpr size_t kGroupCountOffset = 10;

std::vector<uint8_t> Header(uint8_t bits, int16_t colorsPerGroup, int16_t groups) {
  std::vector<uint8_t> h(32, 0);
  h[0] = 'K', h[1] = 'i', h[2] = 'S', h[3] = 'S';
  h[4] = 16;
  h[5] = bits;
  h[kColorsPerGroupOffset] = uint8_t(uint16_t(colorsPerGroup) & 0xFF);
  h[kColorsPerGroupOffset + 1] = uint8_t(uint16_t(colorsPerGroup) >> 8);
  h[kGroupCountOffset] = uint8_t(uint16_t(groups) & 0xFF);
  h[kGroupCountOffset + 1] = uint8_t(uint16_t(groups) >> 8);
  return h;
}

struct Rgb {
  int r, g, b;
};

// Integer HSV: hue 0-1535 (six sectors of 256), saturation and value 0-255.
Rgb FromHsv(int hue, int saturation, int value) {
  const int sector = hue / 256, f = hue % 256;
  const int p = value * (255 - saturation) / 255;
  const int q = value * (255 - saturation * f / 255) / 255;
  const int t = value * (255 - saturation * (255 - f) / 255) / 255;
  switch (sector) {
    case 0: return {value, t, p};
    case 1: return {q, value, p};
    case 2: return {p, value, t};
    case 3: return {p, q, value};
    case 4: return {t, p, value};
    default: return {value, p, q};
  }
}

Rgb SwatchColour(int row, int column) {
  if (row == 15) return {column * 17, column * 17, column * 17};
  const int hue = row * 1536 / 15;
  if (column < 8) return FromHsv(hue, 255, std::min(255, (column + 1) * 32));
  return FromHsv(hue, 225 - (column - 8) * 25, 255);
}

void Put12(std::vector<uint8_t>& file, int red, int green, int blue) {
  file.push_back(uint8_t((red << 4) | blue));
  file.push_back(uint8_t(green));
}

}  // namespace

std::vector<uint8_t> Palette24() {
  std::vector<uint8_t> file = Header(24, 256, 1);
  for (int row = 0; row < 16; ++row) {
    for (int column = 0; column < 16; ++column) {
      const Rgb c = SwatchColour(row, column);
      file.push_back(uint8_t(c.r));
      file.push_back(uint8_t(c.g));
      file.push_back(uint8_t(c.b));
    }
  }
  return file;
}

std::vector<uint8_t> Palette12() {
  std::vector<uint8_t> file = Header(12, 16, 10);
  for (int group = 0; group < 10; ++group) {
    for (int c = 0; c < 16; ++c) Put12(file, c, group + 3, 15 - c);
  }
  return file;
}

std::vector<uint8_t> Headerless() {
  std::vector<uint8_t> file;
  for (int k = 0; k < 160; ++k) Put12(file, (k / 16) + 2, k % 16, 15 - (k % 16));
  return file;
}

std::vector<uint8_t> Doll() {
  std::vector<uint8_t> file = Header(24, 256, 4);
  const std::vector<uint8_t> day = Palette24();
  for (int group = 0; group < 4; ++group) {
    for (size_t k = 32; k < day.size(); ++k)
      file.push_back(uint8_t(group == 3 ? 255 - day[k] : day[k] * (4 - group) / 4));
  }
  return file;
}

std::vector<uint8_t> DollConfiguration() {
  const std::string text =
      "; A sample KiSS set: a face over a dress, in doll.kcf's colours\r\n"
      "(160,120)\r\n"
      "%doll.kcf\r\n"
      "#0 face.cel *0 :0 1\r\n"
      "#1 dress.cel *0 :0 1\r\n"
      "$0 68,10 60,30\r\n"
      "$2 20,10 12,30\r\n";
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> DressCel() {
  std::vector<uint8_t> cel = {'K', 'i', 'S', 'S', 32, 8, 0, 0, 40, 0, 60, 0, 4, 0, 2, 0};
  cel.resize(32, 0);
  // Rows of one hue, lighter towards the hem; the first two columns empty.
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 40; ++x) cel.push_back(x < 2 ? 0 : uint8_t(16 * 3 + y / 4));
  return cel;
}

std::vector<uint8_t> FaceCel() {
  std::vector<uint8_t> cel = {24, 0, 24, 0};
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; x += 2) {
      const auto at = [&](int px) {
        const int dx = 2 * px - 23, dy = 2 * y - 23;
        return dx * dx + dy * dy > 24 * 24 ? 0 : (dx * dx + dy * dy < 100 ? 9 : 6);
      };
      cel.push_back(uint8_t(at(x) << 4 | at(x + 1)));
    }
  }
  return cel;
}

const std::vector<Sample>& All() {
  static const std::vector<Sample> all = {{"palette24.kcf", Palette24},
                                          {"palette12.kcf", Palette12},
                                          {"headerless.kcf", Headerless},
                                          {"doll.kcf", Doll},
                                          {"doll.cnf", DollConfiguration},
                                          {"dress.cel", DressCel},
                                          {"face.cel", FaceCel}};
  return all;
}

}  // namespace samples
