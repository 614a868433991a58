// Opening palettes: the image described, the exchanges, the colours that
// arrive in the document, and what is held and given back on every path.
#include <random>

#include <fstream>
#include <functional>
#include <ostream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "interface/result_codes.h"
#include "tests/conformance/harness.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

using conformance::Header;
using conformance::Module;
using conformance::Palette12;
using conformance::Palette24;
using conformance::TempFile;
using plughost::Host;
using plughost::HostSettings;

// An independent reading of the format: colour k as red, green, blue.
std::vector<uint8_t> ExpectedColors(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> rgb(768, 0);
  const bool headed = file.size() >= 4 && file[0] == 'K' && file[1] == 'i' && file[2] == 'S' &&
                      file[3] == 'S';
  int bits = 12, perGroup = 16, groups = 10;
  size_t at = 0;
  if (headed) {
    bits = file[5];
    perGroup = int16_t(file[8] | file[9] << 8);
    groups = int16_t(file[10] | file[11] << 8);
    at = 32;
  }
  if (bits == 24) {
    const size_t n = size_t(std::max(0, std::min(perGroup * groups, 256)));
    for (size_t k = 0; k < n; ++k, at += 3) {
      for (size_t ch = 0; ch < 3; ++ch) rgb[3 * k + ch] = file[at + ch];
    }
    return rgb;
  }
  size_t k = 0;
  for (int g = 0; g < groups; ++g) {
    for (int c = 0; c < perGroup && k < 256; ++c, ++k, at += 2) {
      rgb[3 * k + 0] = uint8_t((file[at] >> 4) * 17);
      rgb[3 * k + 1] = uint8_t((file[at + 1] & 0x0F) * 17);
      rgb[3 * k + 2] = uint8_t((file[at] & 0x0F) * 17);
    }
  }
  return rgb;
}

void ExpectDocumentHolds(const Host& host, const std::vector<uint8_t>& rgb) {
  const plughost::Image& doc = host.document();
  ASSERT_EQ(doc.rows, 16);
  ASSERT_EQ(doc.columns, 16);
  ASSERT_EQ(doc.planes, 3);
  for (int r = 0; r < 16; ++r) {
    for (int c = 0; c < 16; ++c) {
      for (int ch = 0; ch < 3; ++ch) {
        ASSERT_EQ(doc.At(r, c, ch), rgb[size_t(3 * (16 * r + c) + ch)])
            << "pixel (" << r << ", " << c << ") channel " << ch;
      }
    }
  }
}

void ExpectEverythingGivenBack(const Host& host) {
  EXPECT_EQ(host.counts().buffersLive, 0);
  EXPECT_EQ(host.block().data, nullptr);
  EXPECT_TRUE(host.counts().violations.empty()) << host.counts().violations.front();
}

TEST(Open, A24BitPaletteOf256ColoursArrivesRowByRow) {
  const auto file = Palette24(256, 256, 1);
  TempFile in(file);
  Host host(Module());
  ASSERT_EQ(host.Open(in.ref()), kNoError);
  const FormatBlock& b = host.block();
  EXPECT_EQ(b.imageMode, kImageModeRgb);
  EXPECT_EQ(b.rows, 16);
  EXPECT_EQ(b.columns, 16);
  EXPECT_EQ(b.depth, 8);
  EXPECT_EQ(b.planes, 3);
  ASSERT_EQ(host.exchanges().size(), 16u);
  for (int r = 0; r < 16; ++r) {
    const plughost::Exchange& x = host.exchanges()[size_t(r)];
    EXPECT_EQ(x.rectTop, r);
    EXPECT_EQ(x.rectBottom, r + 1);
    EXPECT_EQ(x.rectLeft, 0);
    EXPECT_EQ(x.rectRight, 16);
    EXPECT_EQ(x.planeLow, 0);
    EXPECT_EQ(x.planeHigh, 2);
    EXPECT_EQ(x.columnStep, 3);
    EXPECT_EQ(x.rowStep, 768);
    EXPECT_EQ(x.planeStep, 1);
    EXPECT_EQ(x.channelMap[0], 2);
    EXPECT_EQ(x.channelMap[1], 1);
    EXPECT_EQ(x.channelMap[2], 0);
  }
  ExpectDocumentHolds(host, ExpectedColors(file));
  EXPECT_EQ(host.counts().bufferSizes, std::vector<int32_t>{768}) << "the whole image, as rowStep says";
  ASSERT_EQ(host.progress().size(), 16u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(host.progress()[size_t(i)], std::make_pair(i + 1, 48));
  ExpectEverythingGivenBack(host);
  // The record and the descriptor the module handed back; the read one is consumed.
  EXPECT_EQ(host.counts().handlesLive, 2);
}

TEST(Open, A12BitPaletteFillsTenRowsAndLeavesTheRestBlack) {
  auto file = Palette12(16, 10, 160);
  file[32] = 0x2F;
  file[33] = 0xA5;
  TempFile in(file);
  Host host(Module());
  ASSERT_EQ(host.Open(in.ref()), kNoError);
  ExpectDocumentHolds(host, ExpectedColors(file));
  EXPECT_EQ(host.document().At(0, 0, 0), 34) << "red from the high nibble of byte 0";
  EXPECT_EQ(host.document().At(0, 0, 1), 85) << "green from the low nibble of byte 1";
  EXPECT_EQ(host.document().At(0, 0, 2), 255) << "blue from the low nibble of byte 0";
  for (int r = 10; r < 16; ++r) EXPECT_EQ(host.document().At(r, 15, 0), 0);
  ExpectEverythingGivenBack(host);
}

TEST(Open, HeaderlessFilesAreTwelveBitColoursFromByteZero) {
  std::vector<uint8_t> file(320);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 37 + 11);
  file[0] = 'k';  // not the signature
  TempFile in(file);
  Host host(Module());
  ASSERT_EQ(host.Open(in.ref()), kNoError);
  ExpectDocumentHolds(host, ExpectedColors(file));

  file.pop_back();  // 319 bytes: the last entry is cut
  TempFile shorter(file);
  Host again(Module());
  EXPECT_EQ(again.Open(shorter.ref()), kEndOfFile);
  EXPECT_TRUE(again.exchanges().empty()) << "no row is delivered after a failed read";
  ExpectEverythingGivenBack(again);
}

TEST(Open, TheSignatureIsCaseSensitive) {
  for (const char* start : {"KiSs", "kiss", "KISS"}) {
    std::vector<uint8_t> file = Palette24(256, 256, 1);
    std::copy(start, start + 4, file.begin());
    TempFile in(file);
    Host host(Module());
    ASSERT_EQ(host.Open(in.ref()), kNoError) << start;
    ExpectDocumentHolds(host, ExpectedColors(file));  // read as headerless
  }
}

struct HeaderCase {
  const char* name;
  uint8_t mark, bits;
  int16_t perGroup, groups;
  int colorBytes;
  int16_t expected;
};
void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class HeaderVariants : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderVariants, OpenAsTheFormatSays) {
  const HeaderCase& c = GetParam();
  std::vector<uint8_t> file = Header(c.mark, c.bits, c.perGroup, c.groups);
  for (int i = 0; i < c.colorBytes; ++i) file.push_back(static_cast<uint8_t>(i * 13 + 5));
  TempFile in(file);
  Host host(Module());
  ASSERT_EQ(host.Open(in.ref()), c.expected);
  if (c.expected == kNoError) {
    ExpectDocumentHolds(host, ExpectedColors(file));
  } else if (c.expected == kCannotReadFile) {
    EXPECT_EQ(host.calls().back().selector, kSelectorReadStart) << "refused at the start";
    EXPECT_EQ(host.block().rows, 0) << "no image is described";
  } else {
    EXPECT_TRUE(host.exchanges().empty()) << "no row after a failed read";
  }
  ExpectEverythingGivenBack(host);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, HeaderVariants,
    testing::Values(
        HeaderCase{"NoColoursPerGroup", 16, 24, 0, 1, 0, kNoError},
        HeaderCase{"NoGroups", 16, 12, 16, 0, 0, kNoError},
        HeaderCase{"OneNegativeCount24", 16, 24, 300, -1, 900, kNoError},
        HeaderCase{"OneNegativeCount12", 16, 12, 300, -1, 600, kNoError},
        HeaderCase{"TwoNegativeCounts24", 16, 24, -16, -16, 768, kNoError},
        HeaderCase{"TwoNegativeCounts12", 16, 12, -16, -16, 512, kNoError},
        HeaderCase{"Exactly256In16Groups", 16, 24, 16, 16, 768, kNoError},
        HeaderCase{"Exactly256InOneGroup", 16, 12, 256, 1, 512, kNoError},
        HeaderCase{"Fewer24BitColours", 16, 24, 17, 1, 51, kNoError},
        HeaderCase{"TooManyInOneGroup", 16, 24, 257, 1, 771, kCannotReadFile},
        HeaderCase{"TooManyGroups", 16, 24, 16, 17, 816, kCannotReadFile},
        HeaderCase{"NegativeProductTooLarge", 16, 24, -17, -16, 816, kCannotReadFile},
        HeaderCase{"Mark32", 32, 24, 256, 1, 768, kCannotReadFile},
        HeaderCase{"EightBits", 16, 8, 256, 1, 768, kCannotReadFile},
        HeaderCase{"CutInColourData24", 16, 24, 256, 1, 767, kEndOfFile},
        HeaderCase{"CutInColourData12", 16, 12, 16, 10, 319, kEndOfFile}),
    [](const testing::TestParamInfo<HeaderCase>& p) { return p.param.name; });

TEST(Open, FilesCutInTheHeaderEndWithEndOfFile) {
  const std::vector<uint8_t> full = Palette24(256, 256, 1);
  for (size_t length : {0u, 1u, 3u, 4u, 5u, 31u}) {
    std::vector<uint8_t> file(full.begin(), full.begin() + static_cast<long>(length));
    TempFile in(file);
    Host host(Module());
    EXPECT_EQ(host.Open(in.ref()), kEndOfFile) << length << " bytes";
    EXPECT_EQ(host.calls().back().selector, kSelectorReadStart);
    ExpectEverythingGivenBack(host);
  }
}

TEST(Open, AFailingAdvanceStateEndsTheRowsAndReleasesEverything) {
  TempFile in(Palette24(256, 256, 1));
  HostSettings settings;
  settings.advanceFailsAtRow = 5;
  settings.advanceFailCode = -4242;
  Host host(Module(), settings);
  EXPECT_EQ(host.Open(in.ref()), -4242);
  ASSERT_EQ(host.progress().size(), 6u);
  EXPECT_EQ(host.progress().back(), std::make_pair(6, 48));
  EXPECT_EQ(host.exchanges().size(), 6u);
  ExpectEverythingGivenBack(host);
}

TEST(Open, ImageResourcesAreDisposedOfBeforeTheRows) {
  TempFile in(Palette24(256, 256, 1));
  HostSettings settings;
  settings.imageResourcesBytes = 40;
  Host host(Module(), settings);
  ASSERT_EQ(host.Open(in.ref()), kNoError);
  EXPECT_EQ(host.block().imageResources, nullptr);
  EXPECT_EQ(host.block().imageResourcesSize, 0);
  EXPECT_EQ(host.counts().handlesLive, 2) << "the resources handle went back to the host";
  ExpectEverythingGivenBack(host);
}

TEST(Open, NoRowBufferMeansNoRows) {
  TempFile in(Palette24(256, 256, 1));
  for (int fail : {1, 2}) {
    HostSettings settings;
    (fail == 1 ? settings.bufferAllocateFailsAt : settings.bufferLockFailsAt) = 1;
    Host host(Module(), settings);
    EXPECT_EQ(host.Open(in.ref()), kOutOfMemory);
    EXPECT_TRUE(host.exchanges().empty());
    EXPECT_TRUE(host.progress().empty());
    ExpectEverythingGivenBack(host);
  }
}

// Random palettes of every form: each colour byte lands in its pixel.
TEST(Open, EveryByteOfRandomPalettesLandsInItsPixel) {
  std::mt19937 random(20031101);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> file;
    const int form = round % 3;
    if (form == 2) {
      file.resize(static_cast<size_t>(pick(320, 400)));
      for (auto& byte : file) byte = static_cast<uint8_t>(pick(0, 255));
      if (file[0] == 'K') file[0] = 'J';
    } else {
      const int16_t perGroup = static_cast<int16_t>(pick(1, 256));
      const int16_t groups = static_cast<int16_t>(pick(1, 256 / perGroup));
      file = Header(16, form == 0 ? 24 : 12, perGroup, groups);
      const int bytes = perGroup * groups * (form == 0 ? 3 : 2);
      for (int i = 0; i < bytes; ++i) file.push_back(static_cast<uint8_t>(pick(0, 255)));
    }
    TempFile in(file);
    Host host(Module());
    ASSERT_EQ(host.Open(in.ref()), kNoError) << "round " << round;
    ExpectDocumentHolds(host, ExpectedColors(file));
    ExpectEverythingGivenBack(host);
  }
}

// What a host may do with its files between ReadStart and ReadContinue: the
// colours come from the file as it is when ReadContinue reads it, never from
// bytes read earlier.
struct BetweenCase {
  const char* name;
  // Given the palette's file and reference; the colours ReadContinue must deliver.
  std::function<std::vector<uint8_t>(TempFile& palette)> act;
};

std::vector<uint8_t> Rewritten(const TempFile& palette, size_t from) {
  std::vector<uint8_t> bytes = palette.Contents();
  for (size_t i = from; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(255 - bytes[i]);
  std::ofstream(palette.path(), std::ios::binary | std::ios::in)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::vector<BetweenCase> BetweenCases() {
  std::vector<BetweenCase> cases = {
      {"colours rewritten through another reference",
       [](TempFile& palette) { return ExpectedColors(Rewritten(palette, 32)); }},
      {"a filter of another palette",
       [](TempFile& palette) {
         TempFile other(Palette24(256, 256, 1));
         Host filter(Module());
         EXPECT_EQ(filter.Filter(other.ref()), kNoError);
         return ExpectedColors(palette.Contents());
       }},
  };
#if !defined(_WIN32)
  cases.push_back({"the reference moved back into the header", [](TempFile& palette) {
                     lseek(palette.ref(), 29, SEEK_SET);
                     const std::vector<uint8_t> bytes = palette.Contents();
                     std::vector<uint8_t> moved(bytes.begin(), bytes.begin() + 32);
                     moved.insert(moved.end(), bytes.begin() + 29, bytes.begin() + 29 + 768);
                     return ExpectedColors(moved);
                   }});
  cases.push_back({"the reference's number reused for another file", [](TempFile& palette) {
                     const std::vector<uint8_t> other = Palette24(256, 256, 1);
                     std::vector<uint8_t> flipped = other;
                     for (size_t i = 32; i < flipped.size(); ++i)
                       flipped[i] = static_cast<uint8_t>(255 - flipped[i]);
                     TempFile replacement(flipped);
                     close(palette.ref());
                     const int fd = open(replacement.path().c_str(), O_RDONLY);
                     if (fd != palette.ref()) {
                       dup2(fd, palette.ref());
                       close(fd);
                     }
                     lseek(palette.ref(), 32, SEEK_SET);
                     return ExpectedColors(flipped);
                   }});
#endif
  return cases;
}

TEST(Open, ReadContinueReadsTheFileAsItIsThen) {
  for (const BetweenCase& c : BetweenCases()) {
    TempFile palette(Palette24(256, 256, 1));
    Host host(Module());
    host.block().fileRef = palette.ref();
    ASSERT_EQ(host.Call(kSelectorReadPrepare), kNoError) << c.name;
    ASSERT_EQ(host.Call(kSelectorReadStart), kNoError) << c.name;
    const std::vector<uint8_t> expected = c.act(palette);
    host.block().fileRef = palette.ref();
    ASSERT_EQ(host.Call(kSelectorReadContinue), kNoError) << c.name;
    ExpectDocumentHolds(host, expected);
    ExpectEverythingGivenBack(host);
  }
}

// A reference that names no file, after ReadStart read a real palette: the
// read fails, and nothing of the palette read before reaches the document.
TEST(Open, ReadContinueWithNoFileGivesAReadErrorAndNoRows) {
  TempFile palette(Palette24(256, 256, 1));
  Host host(Module());
  host.block().fileRef = palette.ref();
  ASSERT_EQ(host.Call(kSelectorReadPrepare), kNoError);
  ASSERT_EQ(host.Call(kSelectorReadStart), kNoError);
  host.block().fileRef = -1;
  EXPECT_EQ(host.Call(kSelectorReadContinue), kReadError);
  EXPECT_TRUE(host.exchanges().empty());
  EXPECT_TRUE(host.progress().empty());
  ExpectEverythingGivenBack(host);
}

// A palette arriving through a pipe whose writer has finished: a read that
// comes to the pipe's end is short, as at the end of a file. Windows itself
// answers a read that starts at the end of a finished pipe with a failure
// (the pipe is broken) rather than with no bytes, so there the DLL gives a
// read error where the other builds give the end of the file.
TEST(Open, APipeIsReadAsFarAsItGoes) {
#if defined(_WIN32)
  const int16_t kAtThePipesEnd = kReadError;
#else
  const int16_t kAtThePipesEnd = kEndOfFile;
#endif
  const std::vector<uint8_t> whole = Palette24(256, 256, 1);
  struct Case {
    const char* name;
    size_t length;
    int16_t expected;
    int16_t failingSelector;
  };
  const Case cases[] = {
      {"the whole palette", whole.size(), kNoError, 0},
      {"ends in the header", 31, kEndOfFile, kSelectorReadStart},
      {"ends in the first colour", 33, kEndOfFile, kSelectorReadContinue},
      {"ends where the colours begin", 32, kAtThePipesEnd, kSelectorReadContinue},
      {"empty", 0, kAtThePipesEnd, kSelectorReadStart},
  };
  for (const Case& c : cases) {
    conformance::PipeFile in(std::vector<uint8_t>(whole.begin(), whole.begin() + long(c.length)));
    Host host(Module());
    EXPECT_EQ(host.Open(in.ref()), c.expected) << c.name;
    if (c.expected == kNoError) {
      ExpectDocumentHolds(host, ExpectedColors(whole));
    } else {
      EXPECT_EQ(host.calls().back().selector, c.failingSelector) << c.name;
      EXPECT_TRUE(host.exchanges().empty()) << c.name;
    }
    ExpectEverythingGivenBack(host);
  }
}

#if !defined(_WIN32)
// After each selector the reference stands just past the last byte the
// module read (the host tells from it how much of a file was left unread),
// whatever the module's own layer fetched ahead.
TEST(Open, EachSelectorLeavesTheReferenceWhereItsReadsEnded) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    off_t afterStart, afterContinue;
  };
  std::vector<uint8_t> trailing = Palette24(16, 16, 1);
  trailing.resize(trailing.size() + 500, 7);
  std::vector<uint8_t> headerless(400, 0x21);
  const Case cases[] = {
      {"24-bit, 500 bytes after the colours", trailing, 32, 32 + 48},
      {"12-bit, ten groups", Palette12(16, 10, 160), 32, 32 + 320},
      {"headerless, 80 bytes after the colours", headerless, 0, 320},
  };
  for (const Case& c : cases) {
    TempFile in(c.file);
    Host host(Module());
    host.block().fileRef = in.ref();
    ASSERT_EQ(host.Call(kSelectorReadPrepare), kNoError) << c.name;
    ASSERT_EQ(host.Call(kSelectorReadStart), kNoError) << c.name;
    EXPECT_EQ(lseek(in.ref(), 0, SEEK_CUR), c.afterStart) << c.name;
    ASSERT_EQ(host.Call(kSelectorReadContinue), kNoError) << c.name;
    EXPECT_EQ(lseek(in.ref(), 0, SEEK_CUR), c.afterContinue) << c.name;
    host.Filter(in.ref());  // a headerless file is refused after its 32 bytes
    EXPECT_EQ(lseek(in.ref(), 0, SEEK_CUR), 32) << c.name;
  }
}

// Inside each call back into the host the reference stands where the
// module's reads have come to: just behind the header before the colours
// are read, just past them after, never where a read-ahead stopped.
TEST(Open, EveryCallbackFindsTheReferenceWhereTheReadsHaveCome) {
  std::vector<uint8_t> file = Palette24(16, 16, 1);
  file.resize(file.size() + 500, 7);
  TempFile in(file);
  Host host(Module());
  host.block().fileRef = in.ref();
  ASSERT_EQ(host.Call(kSelectorReadPrepare), kNoError);
  ASSERT_EQ(host.Call(kSelectorReadStart), kNoError);
  std::vector<std::pair<std::string, off_t>> seen;
  host.onTrace = [&](const std::string& event, const nlohmann::ordered_json&) {
    if (event != "selector") seen.emplace_back(event, lseek(in.ref(), 0, SEEK_CUR));
  };
  ASSERT_EQ(host.Call(kSelectorReadContinue), kNoError);
  int rows = 0;
  for (const auto& [event, at] : seen) {
    EXPECT_TRUE(at == 32 || at == 32 + 48) << event << " at " << at;
    if (event != "progress" && event != "advanceState") continue;
    EXPECT_EQ(at, 32 + 48) << event;
    ++rows;
  }
  EXPECT_EQ(rows, 32) << "16 rows, each an advanceState and a progress";
}
#endif

}  // namespace
