// File bytes -> FilterFile, then a whole opening (ReadPrepare, ReadStart,
// ReadContinue, ReadFinish), judged against an independent reading of the
// format: the answers, the colours in the image, and everything given back.
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "module/host_services.h"
#include "platform/posix/posix_test_hooks.h"
#include "plughost/host/host.h"
#include "tests/handle_ledger.h"
#include "tests/palette_model.h"

namespace {

void RequireImage(const plughost::Image& doc, const std::vector<uint8_t>& rgb) {
  FUZZ_REQUIRE(doc.rows == 16 && doc.columns == 16 && doc.planes == 3, "image %dx%dx%d", doc.rows,
               doc.columns, doc.planes);
  for (size_t i = 0; i < rgb.size(); ++i) {
    FUZZ_REQUIRE(doc.pixels[i] == rgb[i], "colour %zu channel %zu is %d, the file says %d", i / 3,
                 i % 3, doc.pixels[i], rgb[i]);
  }
}

// Saving what was opened gives back the 24-bit form of the same colours:
// the header the module writes, then each colour red, green, blue.
void RequireSavedBack(const plughost::Image& image, const std::vector<uint8_t>& rgb) {
  static fuzz::MemoryFile saved;
  const int32_t fileRef = saved.Load({});
  plughost::Host host(ENTRYPOINT);
  ledger::HandleLedger handles(host);
  const int16_t result = host.Save(fileRef, image);
  FUZZ_REQUIRE(result == kNoError, "saving the opened image answered %d", result);
  std::vector<uint8_t> expected = {'K', 'i', 'S', 'S', 16, 24, 0, 0, 0, 1, 1, 0};
  expected.resize(32, 0);
  expected.insert(expected.end(), rgb.begin(), rgb.end());
  FUZZ_REQUIRE(saved.Contents() == expected, "the saved file differs from the opened colours");
  FUZZ_REQUIRE(
      host.counts().violations.empty() && host.counts().buffersLive == 0 && handles.Leaked() == 0,
      "saving left something behind");
  handles.DisposeSlotHandle();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file;
  const std::vector<uint8_t> bytes(data, data + size);
  const palette_model::Expected expected = palette_model::Read(bytes);
  posix_hooks::SetFaultPlan({});
  const int64_t globalsBefore = posix_hooks::GetCounters().liveGlobals;
  const int moduleHandlesBefore = LiveModuleHandles();

  const int32_t fileRef = file.Load(bytes);
  plughost::Host host(ENTRYPOINT);
  ledger::HandleLedger handles(host);
  const int16_t filter = host.Filter(fileRef);
  FUZZ_REQUIRE(filter == expected.filter, "FilterFile %d, expected %d", filter, expected.filter);
  const int16_t open = host.Open(fileRef);
  FUZZ_REQUIRE(open == expected.open, "opening answered %d, expected %d", open, expected.open);
  const bool startFailed = host.calls().back().selector == kSelectorReadStart;
  FUZZ_REQUIRE(open == kNoError || startFailed == expected.startFails, "failed in selector %d",
               host.calls().back().selector);
  if (open == kNoError) RequireImage(host.document(), expected.rgb);
  if (open != kNoError) FUZZ_REQUIRE(host.exchanges().empty(), "a row after a failure");

  const plughost::Counts& counts = host.counts();
  FUZZ_REQUIRE(counts.violations.empty(), "host caught: %s", counts.violations.front().c_str());
  FUZZ_REQUIRE(counts.buffersLive == 0, "%d buffers held", counts.buffersLive);
  FUZZ_REQUIRE(host.block().data == nullptr, "data left pointing into a buffer");
  FUZZ_REQUIRE(handles.Leaked() == 0, "%d handles leaked", handles.Leaked());
  handles.DisposeSlotHandle();
  FUZZ_REQUIRE(LiveModuleHandles() == moduleHandlesBefore, "module handles leaked");
  FUZZ_REQUIRE(posix_hooks::GetCounters().liveGlobals == globalsBefore, "global memory leaked");
  // A second host only now: the first one's callbacks reach it no more.
  if (open == kNoError) RequireSavedBack(host.document(), expected.rgb);
  return 0;
}
