// The palettes shipped in samples/ are exactly what our generator makes, and
// hold what their names say.
#include <gtest/gtest.h>

#include "tests/plughost/sample_palettes.h"
#include "tests/plughost/test_files.h"

namespace samples {
// Named by its file in ctest, not by gtest's dump of its bytes.
void PrintTo(const Sample& c, std::ostream* os) { *os << c.name; }
}  // namespace samples

namespace {

class Shipped : public testing::TestWithParam<samples::Sample> {};

TEST_P(Shipped, AreWhatTheGeneratorMakes) {
  const std::string path =
      plughost_test::HostPath(std::string(ZENTROW_SAMPLES_DIR) + "/" + GetParam().name);
  EXPECT_EQ(plughost_test::ReadAll(path), GetParam().make())
      << path << " differs: regenerate with make_samples samples/";
}

INSTANTIATE_TEST_SUITE_P(All, Shipped, testing::ValuesIn(samples::All()),
                         [](const testing::TestParamInfo<samples::Sample>& p) {
                           std::string name = p.param.name;
                           name[name.find('.')] = '_';
                           return name;
                         });

TEST(Samples, HaveTheirDeclaredShapes) {
  const std::vector<uint8_t> p24 = samples::Palette24();
  ASSERT_EQ(p24.size(), 800u);
  EXPECT_EQ(std::vector<uint8_t>(p24.begin(), p24.begin() + 12),
            (std::vector<uint8_t>{'K', 'i', 'S', 'S', 16, 24, 0, 0, 0, 1, 1, 0}));
  EXPECT_EQ(std::vector<uint8_t>(p24.begin() + 12, p24.begin() + 32), std::vector<uint8_t>(20, 0));
  const std::vector<uint8_t> p12 = samples::Palette12();
  ASSERT_EQ(p12.size(), 32u + 160 * 2);
  EXPECT_EQ(std::vector<uint8_t>(p12.begin(), p12.begin() + 12),
            (std::vector<uint8_t>{'K', 'i', 'S', 'S', 16, 12, 0, 0, 16, 0, 10, 0}));
  const std::vector<uint8_t> bare = samples::Headerless();
  ASSERT_EQ(bare.size(), 320u);
  EXPECT_NE(std::string(bare.begin(), bare.begin() + 4), "KiSS");
}

TEST(Samples, The24BitPaletteHas256DifferentColours) {
  const std::vector<uint8_t> p24 = samples::Palette24();
  std::vector<std::vector<uint8_t>> colours;
  for (size_t at = 32; at < p24.size(); at += 3) colours.push_back({p24[at], p24[at + 1], p24[at + 2]});
  std::sort(colours.begin(), colours.end());
  EXPECT_EQ(std::unique(colours.begin(), colours.end()) - colours.begin(), 256);
}

}  // namespace
