// Draws a set of a KiSS set into a PNG, through the set readers and the PNG
// writer the program uses:
//   draw_doll SET.lzh|SET.cnf SET-NUMBER OUT.png
// Says what it drew, or the refusal, on one line; status 1 on a refusal.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "plughost/images/png_files.h"
#include "plughost/sets/draw_set.h"
#include "plughost/sets/set_words.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: draw_doll SET.lzh|SET.cnf SET-NUMBER OUT.png\n");
    return 2;
  }
  plughost::DollSet doll;
  const plughost::SetRefusal refusal = plughost::OpenSet(argv[1], "", &doll);
  if (refusal) {
    std::fprintf(stderr, "%s.\n", plughost::SetRefusalWords(argv[1], refusal).c_str());
    return 1;
  }
  for (const CnfNote& note : doll.cnf.notes)
    std::printf("%s.\n", plughost::ConfigurationNoteWords(doll.configurationName, note).c_str());
  const plughost::SetDrawing drawn = plughost::DrawSet(doll, std::atoi(argv[2]));
  const std::vector<uint8_t> png = plughost::EncodePng(drawn.drawing.image);
  std::ofstream(argv[3], std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  std::printf(
      "%s: set %d in group %d, %d x %d, %zu cels drawn, %zu unplaced, %lld pixels past "
      "their colours\n",
      argv[3], drawn.set, drawn.group, drawn.drawing.image.columns, drawn.drawing.image.rows,
      drawn.celsDrawn, drawn.celsUnplaced, static_cast<long long>(drawn.drawing.pastColours));
  return png.empty() ? 1 : 0;
}
