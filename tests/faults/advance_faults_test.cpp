// advanceState failing at every row, opening and saving: the host's code is
// the result, progress is still reported for that row and for none after
// it, the rows before it are in the document (or the file), and everything
// taken is given back.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "interface/result_codes.h"
#include "tests/faults/fault_harness.h"
#include "tests/palette_model.h"

namespace {

using faults::Case;
using faults::MemoryFile;
using plughost::HostSettings;

const int16_t kHostCodes[] = {-1, kOutOfMemory, 1};
const char* const kOpened[] = {"rgb24-256x1.kcf", "rgb12-16x10.kcf", "headerless-320.kcf"};

const faults::Sample& SampleNamed(const std::string& name) {
  for (const faults::Sample& s : faults::Samples()) {
    if (s.name == name) return s;
  }
  throw std::runtime_error("no sample " + name);
}

TEST(AdvanceFaults, OpeningFailsAtEveryRow) {
  for (const char* name : kOpened) {
    const faults::Sample& sample = SampleNamed(name);
    const auto expected = palette_model::Read(sample.bytes);
    for (int16_t code : kHostCodes) {
      for (int row = 0; row <= 16; ++row) {
        const std::string what =
            sample.name + ", code " + std::to_string(code) + " at row " + std::to_string(row);
        HostSettings settings;
        settings.advanceFailsAtRow = row;
        settings.advanceFailCode = code;
        Case c(settings);
        MemoryFile file(sample.bytes);
        const int16_t result = c.host().Open(file.ref());
        const size_t rowsAsked = size_t(std::min(row + 1, 16));
        EXPECT_EQ(result, row < 16 ? code : int16_t{kNoError}) << what;
        EXPECT_EQ(c.host().exchanges().size(), rowsAsked) << what;
        ASSERT_EQ(c.host().progress().size(), rowsAsked) << what;
        EXPECT_EQ(c.host().progress().back(), std::make_pair(int32_t(rowsAsked), 48)) << what;
        // Rows before the failing one arrived; it and the rest stay black.
        const std::vector<uint8_t>& pixels = c.host().document().pixels;
        ASSERT_EQ(pixels.size(), 768u) << what;
        for (size_t i = 0; i < 768; ++i) {
          const uint8_t want = int(i / 48) < row ? expected.rgb[i] : 0;
          ASSERT_EQ(pixels[i], want) << what << ", byte " << i;
        }
        c.ExpectEverythingGivenBack(what);
      }
    }
  }
}

TEST(AdvanceFaults, SavingFailsAtEveryRow) {
  for (int rows : {16, 10, 20}) {
    const plughost::Image image = faults::TestImage(rows, 16);
    const std::vector<uint8_t> whole = faults::SavedFile(image);
    for (int16_t code : kHostCodes) {
      for (int row = 0; row <= 20; ++row) {
        const std::string what = std::to_string(rows) + " rows, code " + std::to_string(code) +
                                 " at row " + std::to_string(row);
        HostSettings settings;
        settings.advanceFailsAtRow = row;
        settings.advanceFailCode = code;
        Case c(settings);
        MemoryFile file;
        const int16_t result = c.host().Save(file.ref(), image);
        // Only image rows are asked for, and never past the 16th.
        const bool asked = row < std::min(rows, 16);
        EXPECT_EQ(result, asked ? code : int16_t{kNoError}) << what;
        const size_t kept = asked ? size_t(32 + 48 * row) : whole.size();
        EXPECT_EQ(file.Contents(), std::vector<uint8_t>(whole.begin(), whole.begin() + long(kept)))
            << what;
        EXPECT_EQ(c.host().progress().size(), asked ? size_t(row + 1) : 16u) << what;
        c.ExpectEverythingGivenBack(what);
      }
    }
  }
}

}  // namespace
