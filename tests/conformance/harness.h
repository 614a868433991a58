// What the conformance tests share: the module under test (the native
// library, or the DLL under wine), files to hand it, palettes to feed it, and
// the message boxes it shows, read the way each platform lets a test read
// them. Everything reaches the module through ENTRYPOINT only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interface/host_interface.h"
#include "plughost/host/host.h"

namespace conformance {

// The module's entry point, loaded once per test program.
EntryPoint Module();

// A file on disk with a file reference open on it; removed afterwards.
class TempFile {
 public:
  explicit TempFile(const std::vector<uint8_t>& bytes);  // opened for reading
  TempFile();                                            // created empty for writing
  ~TempFile();
  int32_t ref() const { return ref_; }
  std::vector<uint8_t> Contents() const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int32_t ref_ = -1;
};

// The reading end of a pipe that holds `bytes` and whose writer has
// finished, as a file reference; closed afterwards.
class PipeFile {
 public:
  explicit PipeFile(const std::vector<uint8_t>& bytes);
  ~PipeFile();
  int32_t ref() const { return ref_; }

 private:
  int32_t ref_ = -1;
};

// Palettes built byte by byte.
std::vector<uint8_t> Header(uint8_t mark, uint8_t bits, int16_t colorsPerGroup, int16_t groups);
// A header followed by `colors` 24-bit entries, colour k = (k, 255 - k, k * 7).
std::vector<uint8_t> Palette24(int colors, int16_t colorsPerGroup, int16_t groups);
// 10 groups of 16 12-bit entries; entry k = (k & 0xFF, (k * 3) & 0x0F).
std::vector<uint8_t> Palette12(int16_t colorsPerGroup, int16_t groups, int entries);

struct Box {
  std::string text;     // UTF-8
  std::string caption;  // UTF-8; "(default)" when the module gave none
  std::string icon;     // "warning", "information" or "none"
  intptr_t owner = 0;
};

// Records the boxes shown while it lives; each box is closed with OK.
class BoxWatcher {
 public:
  BoxWatcher();
  ~BoxWatcher();
  std::vector<Box> Boxes();

 private:
  struct Impl;
  Impl* impl_;
};

// A window to own the About box (0 where the platform has none to make).
intptr_t MakeOwnerWindow();
void DestroyOwnerWindow(intptr_t window);

// The default caption of a box shown without one, as the platform shows it.
std::string DefaultCaption();

}  // namespace conformance
