// A read failing at every byte offset: for each sample palette, FilterFile
// and a whole opening with the POSIX layer's _lread failing on the read that
// reaches that byte of the stream read so far. The failing read answers -19;
// the selector that made it stops there, and nothing is delivered after it.
#include <gtest/gtest.h>

#include "interface/result_codes.h"
#include "platform/posix/posix_test_hooks.h"
#include "tests/faults/fault_harness.h"
#include "tests/palette_model.h"

namespace {

using faults::Case;
using faults::MemoryFile;
using faults::Samples;

posix_hooks::FaultPlan ReadFailsAt(int64_t offset) {
  posix_hooks::FaultPlan plan;
  plan.readFailAt = offset;
  return plan;
}

// FilterFile asks for 32 bytes in one read: a fault anywhere in them is -19.
TEST(ReadFaults, FilterFileAtEveryOffset) {
  for (const faults::Sample& sample : Samples()) {
    const auto expected = palette_model::Read(sample.bytes);
    for (int64_t at = 0; at <= 32; ++at) {
      const std::string what = sample.name + " failing at byte " + std::to_string(at);
      MemoryFile file(sample.bytes);
      Case c;
      posix_hooks::SetFaultPlan(ReadFailsAt(at));
      EXPECT_EQ(c.host().Filter(file.ref()), at < 32 ? int16_t{kReadError} : expected.filter)
          << what;
      c.ExpectEverythingGivenBack(what);
    }
  }
}

// ReadStart asks for the header (4 bytes, then 28 more after a signature),
// ReadContinue for the colour entries one by one; offsets count every byte
// the opening has read.
TEST(ReadFaults, OpeningAtEveryOffset) {
  for (const faults::Sample& sample : Samples()) {
    const auto expected = palette_model::Read(sample.bytes);
    const int asked = expected.startAsked + (expected.startFails ? 0 : expected.colorAsked);
    for (int at = 0; at <= asked; ++at) {
      const std::string what = sample.name + " failing at byte " + std::to_string(at);
      MemoryFile file(sample.bytes);
      Case c;
      posix_hooks::SetFaultPlan(ReadFailsAt(at));
      const int16_t result = c.host().Open(file.ref());
      const int16_t failedIn = c.host().calls().back().selector;
      if (at < expected.startAsked) {
        EXPECT_EQ(result, kReadError) << what;
        EXPECT_EQ(failedIn, kSelectorReadStart) << what;
      } else if (expected.startFails) {
        EXPECT_EQ(result, expected.open) << what;
        EXPECT_EQ(failedIn, kSelectorReadStart) << what;
      } else if (at < asked) {
        EXPECT_EQ(result, kReadError) << what;
        EXPECT_EQ(failedIn, kSelectorReadContinue) << what;
      } else {
        EXPECT_EQ(result, expected.open) << what << " (beyond every read)";
      }
      if (result == kNoError) {
        EXPECT_EQ(c.host().document().pixels, expected.rgb) << what;
      } else {
        EXPECT_TRUE(c.host().exchanges().empty()) << what << ": a row after a failure";
      }
      c.ExpectEverythingGivenBack(what);
    }
  }
}

}  // namespace
