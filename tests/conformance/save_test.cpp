// Saving: options, estimate and write selectors, the 800 bytes written, the
// rows asked for, and what happens when the host or the disk fails.
#include <cstring>

#include <ostream>

#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "tests/conformance/harness.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using conformance::Module;
using conformance::TempFile;
using plughost::Host;
using plughost::HostSettings;
using plughost::Image;

Image Pattern(int rows, int columns) {
  Image image = Image::Blank(rows, columns, 3);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      image.At(r, c, 0) = static_cast<uint8_t>(r * 16 + c);
      image.At(r, c, 1) = static_cast<uint8_t>(200 - r);
      image.At(r, c, 2) = static_cast<uint8_t>(c * 11 + 1);
    }
  }
  return image;
}

const std::vector<uint8_t> kWrittenHeader = {0x4B, 0x69, 0x53, 0x53, 0x10, 0x18, 0x00, 0x00,
                                             0x00, 0x01, 0x01, 0x00, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 0, 0};

// The file the module should write for `image`: its first 16 x 16 pixels.
std::vector<uint8_t> ExpectedFile(const Image& image) {
  std::vector<uint8_t> file = kWrittenHeader;
  file.resize(800, 0);
  for (int r = 0; r < 16 && r < image.rows; ++r) {
    for (int c = 0; c < 16 && c < image.columns; ++c) {
      for (int ch = 0; ch < 3; ++ch) file[size_t(32 + 48 * r + 3 * c + ch)] = image.At(r, c, ch);
    }
  }
  return file;
}

void ExpectEverythingGivenBack(const Host& host) {
  EXPECT_EQ(host.counts().buffersLive, 0);
  EXPECT_EQ(host.block().data, nullptr);
  EXPECT_TRUE(host.counts().violations.empty()) << host.counts().violations.front();
}

struct SizeCase {
  const char* name;
  int rows, columns;
  size_t rowsAskedFor;
};
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class SaveSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(SaveSizes, WritesTheFirstSixteenRowsAndColumns) {
  const SizeCase& c = GetParam();
  const Image image = Pattern(c.rows, c.columns);
  TempFile out;
  Host host(Module());
  ASSERT_EQ(host.Save(out.ref(), image), kNoError);
  EXPECT_EQ(out.Contents(), ExpectedFile(image));
  ASSERT_EQ(host.exchanges().size(), c.rowsAskedFor);
  for (size_t i = 0; i < c.rowsAskedFor; ++i) {
    const plughost::Exchange& x = host.exchanges()[i];
    EXPECT_EQ(x.rectTop, static_cast<int>(i));
    EXPECT_EQ(x.rectBottom, static_cast<int>(i) + 1);
    EXPECT_EQ(x.rectLeft, 0);
    EXPECT_EQ(x.rectRight, 16);
    EXPECT_EQ(x.columnStep, 3);
    EXPECT_EQ(x.rowStep, 48);
    EXPECT_EQ(x.planeStep, 1);
    EXPECT_EQ(x.planes, 3);
    EXPECT_EQ(x.planeLow, 0);
    EXPECT_EQ(x.planeHigh, 2);
    EXPECT_EQ(x.channelMap[0], 2);
    EXPECT_EQ(x.channelMap[2], 0);
  }
  ASSERT_EQ(host.progress().size(), 16u) << "filler rows report progress too";
  for (int i = 0; i < 16; ++i) EXPECT_EQ(host.progress()[size_t(i)], std::make_pair(i + 1, 48));
  ExpectEverythingGivenBack(host);
}

INSTANTIATE_TEST_SUITE_P(Images, SaveSizes,
                         testing::Values(SizeCase{"Exact16x16", 16, 16, 16},
                                         SizeCase{"TenRowsTwentyColumns", 10, 20, 10},
                                         SizeCase{"TwentyRowsEightColumns", 20, 8, 16},
                                         SizeCase{"TwoByThree", 2, 3, 2},
                                         SizeCase{"OnePixel", 1, 1, 1},
                                         SizeCase{"Large", 300, 200, 16}),
                         [](const testing::TestParamInfo<SizeCase>& p) {
                           return p.param.name;
                         });

TEST(Save, AFailingAdvanceStateLeavesTheRowsBeforeIt) {
  for (int failing : {0, 5, 15}) {
    HostSettings settings;
    settings.advanceFailsAtRow = failing;
    settings.advanceFailCode = -77;
    const Image image = Pattern(16, 16);
    TempFile out;
    Host host(Module(), settings);
    EXPECT_EQ(host.Save(out.ref(), image), -77) << failing;
    const std::vector<uint8_t> expected = ExpectedFile(image);
    EXPECT_EQ(out.Contents(),
              std::vector<uint8_t>(expected.begin(), expected.begin() + 32 + 48 * failing))
        << "row " << failing << " and later are not written";
    EXPECT_EQ(host.progress().size(), static_cast<size_t>(failing + 1));
    ExpectEverythingGivenBack(host);
  }
}

TEST(Save, AsksForOneRowOfBufferHoweverLargeTheImage) {
  HostSettings small;
  small.bufferLimit = 1024;  // a host that grants nothing over 1 KiB
  const Image large = Pattern(300, 300);
  TempFile out;
  Host host(Module(), small);
  ASSERT_EQ(host.Save(out.ref(), large), kNoError);
  EXPECT_EQ(host.counts().bufferSizes, std::vector<int32_t>{48});

  Image corner = Image::Blank(16, 16, 3);
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 16; ++c)
      for (int ch = 0; ch < 3; ++ch) corner.At(r, c, ch) = large.At(r, c, ch);
  TempFile alone;
  Host other(Module());
  ASSERT_EQ(other.Save(alone.ref(), corner), kNoError);
  EXPECT_EQ(out.Contents(), alone.Contents());
  ExpectEverythingGivenBack(host);
}

TEST(Save, AFileThatCannotBeWrittenFailsAtTheHeader) {
  TempFile readOnly(std::vector<uint8_t>{1, 2, 3});
  Host host(Module());
  EXPECT_EQ(host.Save(readOnly.ref(), Pattern(16, 16)), kWriteError);
  EXPECT_EQ(readOnly.Contents(), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(host.counts().buffersMade, 0) << "no buffer is taken before the header is out";
  EXPECT_TRUE(host.exchanges().empty());
}

#if !defined(_WIN32)
// Natively the host can swap what the file reference points at between rows.
TEST(Save, WriteErrorsAndAFullDiskAtARow) {
  struct Case {
    const char* target;
    int flags;
    int16_t expected;
  };
  for (const Case& c : {Case{"/dev/full", O_WRONLY, kDiskFull}, Case{"/dev/null", O_RDONLY, kWriteError}}) {
    for (int row : {0, 7, 15}) {
      TempFile out;
      Host host(Module());
      const int32_t ref = out.ref();
      host.onProgress = [&](int32_t done, int32_t) {
        if (done == row) {
          const int replacement = open(c.target, c.flags);
          dup2(replacement, ref);
          close(replacement);
        }
      };
      if (row == 0) {
        const int replacement = open(c.target, c.flags);
        dup2(replacement, ref);
        close(replacement);
      }
      EXPECT_EQ(host.Save(ref, Pattern(16, 16)), c.expected) << c.target << " row " << row;
      EXPECT_EQ(host.progress().size(), row == 0 ? 0u : static_cast<size_t>(row + 1));
      ExpectEverythingGivenBack(host);
    }
  }
}
#endif

TEST(Save, RefusedSaveOptionLeavesTheFileUntouchedWithoutAWarning) {
  HostSettings settings;
  settings.closeReadResult = -50;
  settings.buffer.version = 3;  // would warn, were the check reached
  TempFile existing(std::vector<uint8_t>{9, 8, 7, 6});
  Host host(Module(), settings);
  host.block().fileRef = existing.ref();
  conformance::BoxWatcher boxes;
  EXPECT_EQ(host.Call(kSelectorWriteStart), -50);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(existing.Contents(), (std::vector<uint8_t>{9, 8, 7, 6}));
}

TEST(Save, OptionsStartClearsOnlyData) {
  Host host(Module());
  int scratch = 0;
  host.block().data = &scratch;
  host.block().rows = 4;
  FormatBlock before = host.block();
  ASSERT_EQ(host.Call(kSelectorOptionsStart), kNoError);
  before.data = nullptr;
  EXPECT_EQ(std::memcmp(&before, &host.block(), sizeof before), 0);
}

struct EstimateCase {
  const char* name;
  int16_t mode, rows, columns, depth, planes;
  int32_t resources;
  int32_t expected;
};
void PrintTo(const EstimateCase& c, std::ostream* os) { *os << c.name; }

class Estimate : public testing::TestWithParam<EstimateCase> {};

TEST_P(Estimate, FollowsTheImagesOwnSize) {
  const EstimateCase& c = GetParam();
  Host host(Module());
  FormatBlock& b = host.block();
  b.imageMode = c.mode, b.rows = c.rows, b.columns = c.columns, b.depth = c.depth;
  b.planes = c.planes, b.imageResourcesSize = c.resources;
  ASSERT_EQ(host.Call(kSelectorEstimateStart), kNoError);
  EXPECT_EQ(b.minBytes, c.expected);
  EXPECT_EQ(b.maxBytes, c.expected);
  EXPECT_EQ(b.data, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Images, Estimate,
    testing::Values(EstimateCase{"Rgb16x16", 3, 16, 16, 8, 3, 0, 800},
                    EstimateCase{"Indexed16x16", 2, 16, 16, 8, 1, 0, 1056},
                    EstimateCase{"OneBit100x100", 1, 100, 100, 1, 1, 0, 1332},
                    EstimateCase{"WithResources", 3, 16, 16, 8, 3, 100, 900},
                    EstimateCase{"HugeDoesNotWrap", 3, 32767, 32767, 16, 24, 0, 2147483647}),
    [](const testing::TestParamInfo<EstimateCase>& p) { return p.param.name; });

TEST(RoundTrip, OpeningWhatWasSavedGivesTheFirstSixteenBySixteenPixels) {
  const Image image = Pattern(40, 30);
  TempFile out;
  {
    Host saver(Module());
    ASSERT_EQ(saver.Save(out.ref(), image), kNoError);
  }
  TempFile in(out.Contents());
  Host opener(Module());
  ASSERT_EQ(opener.Open(in.ref()), kNoError);
  for (int r = 0; r < 16; ++r) {
    for (int c = 0; c < 16; ++c) {
      for (int ch = 0; ch < 3; ++ch) {
        ASSERT_EQ(opener.document().At(r, c, ch), image.At(r, c, ch)) << r << "," << c;
      }
    }
  }
}

TEST(RoundTrip, SavingWhatWasOpenedFromAWrittenFileGivesTheSameBytes) {
  std::vector<uint8_t> file = kWrittenHeader;
  for (int i = 0; i < 768; ++i) file.push_back(static_cast<uint8_t>(i * 89 + 3));
  TempFile in(file);
  Host opener(Module());
  ASSERT_EQ(opener.Open(in.ref()), kNoError);
  TempFile out;
  Host saver(Module());
  ASSERT_EQ(saver.Save(out.ref(), opener.document()), kNoError);
  EXPECT_EQ(out.Contents(), file);
}

}  // namespace
