// The filter selector, and the header it leaves for the read selectors.
#include <ostream>

#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "tests/conformance/harness.h"

namespace {

using conformance::Module;
using conformance::Palette24;
using conformance::TempFile;
using plughost::Host;

struct FilterCase {
  const char* name;
  std::vector<uint8_t> file;
  int16_t expected;
};
void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> Starting(const char* first4, size_t length) {
  std::vector<uint8_t> file(length, 0xEE);
  for (size_t i = 0; i < 4 && i < length; ++i) file[i] = static_cast<uint8_t>(first4[i]);
  return file;
}

class Filter : public testing::TestWithParam<FilterCase> {};

TEST_P(Filter, AnswersBySignatureOnly) {
  TempFile in(GetParam().file);
  Host host(Module());
  EXPECT_EQ(host.Filter(in.ref()), GetParam().expected);
  EXPECT_EQ(host.counts().buffersMade, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Filter,
    testing::Values(FilterCase{"ThirtyTwoBytesWithSignature", Starting("KiSS", 32), kNoError},
                    FilterCase{"Written24BitFile", Palette24(256, 256, 1), kNoError},
                    FilterCase{"HeaderlessPalette", Starting("\x12\x34\x56\x78", 320),
                               kCannotReadFile},
                    FilterCase{"ThirtyOneBytesWithSignature", Starting("KiSS", 31), kEndOfFile},
                    FilterCase{"Empty", {}, kEndOfFile},
                    FilterCase{"LowerCase", Starting("kiss", 800), kCannotReadFile},
                    FilterCase{"LastLetterLower", Starting("KiSs", 800), kCannotReadFile}),
    [](const testing::TestParamInfo<FilterCase>& p) { return p.param.name; });

TEST(Filter, ChecksNothingButTheSignatureNorTheHostsSuites) {
  plughost::HostSettings bare;
  bare.buffer.present = bare.handle.present = bare.advanceState = false;
  std::vector<uint8_t> file = conformance::Header(99, 7, 1000, 1000);
  TempFile in(file);
  Host host(Module(), bare);
  conformance::BoxWatcher boxes;
  EXPECT_EQ(host.Filter(in.ref()), kNoError);
  EXPECT_TRUE(boxes.Boxes().empty());
}

// The header the filter read is the one a following ReadContinue decodes by.
TEST(Filter, ReplacesTheHeaderAnOpeningDecodesBy) {
  // A 24-bit file opened up to its start; then a filter reads a 12-bit header.
  TempFile palette(Palette24(256, 256, 1));
  Host host(Module());
  host.block().fileRef = palette.ref();
  ASSERT_EQ(host.Call(kSelectorReadPrepare), kNoError);
  ASSERT_EQ(host.Call(kSelectorReadStart), kNoError);
  std::vector<uint8_t> other = conformance::Header(16, 12, 16, 1);
  TempFile otherFile(other);
  Host filterHost(Module());
  ASSERT_EQ(filterHost.Filter(otherFile.ref()), kNoError);
  // ReadContinue now reads 16 two-byte entries from where ReadStart left the file.
  host.block().fileRef = palette.ref();
  ASSERT_EQ(host.Call(kSelectorReadContinue), kNoError);
  const plughost::Image& doc = host.document();
  ASSERT_EQ(doc.rows, 16);
  // Entry 0 is file bytes 32 and 33 (0, 255) read as 12 bits.
  EXPECT_EQ(doc.At(0, 0, 0), 0);
  EXPECT_EQ(doc.At(0, 0, 1), 255);
  EXPECT_EQ(doc.At(0, 0, 2), 0);
  EXPECT_EQ(doc.At(1, 0, 0), 0) << "only 16 colours were decoded";
}

}  // namespace
