// The last bytes of the input choose how the host behaves (suites absent, of
// other versions or counts or with a routine missing; advanceState failing at
// a row; failing handles, buffers, reads, writes and memory; descriptor
// contents; the image handed to a save) and which selectors it calls in what
// order; the rest is the file. After every call: a code the rules allow, no
// buffer held, nothing the host caught; after the run: no handle leaked.
//
// Input layout, from the end: one byte L (mod 33) = length of the selector
// program before it (L = 0: every selector in the host's usual order), L
// program bytes (selector = byte mod 20 - 1, so -1 to 18), kSettingsBytes
// settings bytes (missing ones read as 0), and the file bytes first.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "module/host_services.h"
#include "module/format_module.h"
#include "platform/posix/posix_test_hooks.h"
#include "plughost/host/host.h"
#include "tests/handle_ledger.h"

namespace {

// Settings bytes, by offset.
namespace setting {
enum : size_t {
  kAbsent,    // bit per suite: buffer, resource, handle, read, write, params, advance, descriptor
  kVersions,  // 2 bits each: buffer, resource, handle, descriptor suites
  kCounts,    // 2 bits each, the same order
  kNullRoutine,       // high nibble: which suite; low nibble: routine (1-based)
  kAdvanceRow,        // 1 to 20: advanceState fails at row byte - 1
  kAdvanceCode,       // which code it answers
  kHandleCreateFail,  // low nibble: the nth NewHandle fails
  kHandleLockFail,
  kBufferAllocateFail,
  kBufferLockFail,
  kDescriptor,  // keys offered, value, tokens refused, close result, version
  kRows,        // 0 for 16, else the low 6 bits
  kColumns,
  kPlanesAndDepth,  // low 2 bits: 3, 1, 2 or 4 channels; then the depth
  kImageMode,       // 0 for RGB
  kImageResources,  // bytes of image resources handed to the read selectors
  kReadFail,        // byte offsets / call counts of the POSIX layer's faults
  kWriteFail,
  kDiskFull,
  kGlobalAllocFail,
  kCallocFail,
  kFileRef,  // bit 0: the host hands over no usable file
  kSettingsBytes
};
}  // namespace setting
using setting::kSettingsBytes;

const int16_t kAdvanceCodes[8] = {-1,       kOutOfMemory,    kUserCancelled, 1,
                                  kNoError, kCannotReadFile, 32767,          -32768};
const int16_t kCloseCodes[4] = {kNoError, kParameterMissing, -1, kOutOfMemory};
const int kPlanes[4] = {3, 1, 2, 4};
const int kDepths[8] = {8, 1, 16, 32, 0, -8, 8, 8};
const int16_t kUsualOrder[] = {17, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

struct Input {
  std::vector<uint8_t> file;
  uint8_t s[kSettingsBytes] = {};
  std::vector<int16_t> program;
};

Input Split(const uint8_t* data, size_t size) {
  Input in;
  size_t end = size;
  size_t length = 0;
  if (end > 0) {
    length = data[end - 1] % 33u;
    --end;
    if (length > end) length = end;
  }
  for (size_t i = end - length; i < end; ++i) {
    in.program.push_back(static_cast<int16_t>(data[i] % 20 - 1));
  }
  end -= length;
  if (length == 0) in.program.assign(std::begin(kUsualOrder), std::end(kUsualOrder));
  const size_t settings = end < kSettingsBytes ? end : size_t{kSettingsBytes};
  std::memcpy(in.s + kSettingsBytes - settings, data + end - settings, settings);
  end -= settings;
  in.file.assign(data, data + end);
  return in;
}

plughost::SuiteSettings Suite(const uint8_t* s, int index) {
  plughost::SuiteSettings suite;
  suite.present = (s[setting::kAbsent] >> index & 1) == 0;
  const int field = index < 3 ? index : 3;
  const int version = s[setting::kVersions] >> (2 * field) & 3;
  const int count = s[setting::kCounts] >> (2 * field) & 3;
  static const int kOwnVersion[5] = {2, 3, 1, 0, 0};
  static const int kMinCount[5] = {5, 4, 7, 18, 16};
  if (version == 1) suite.version = kOwnVersion[index] - 1;
  if (version == 2) suite.version = kOwnVersion[index] + 1;
  if (count == 1) suite.routineCount = kMinCount[index] - 1;
  if (count == 2) suite.routineCount = 0x8000;  // top bit set: a large count
  if ((s[setting::kNullRoutine] >> 4) % 6 == index + 1)
    suite.nullRoutine = s[setting::kNullRoutine] & 15;
  return suite;
}

int64_t Offset(uint8_t byte) { return byte == 0 ? -1 : (byte - 1) * 4; }
int64_t Nth(uint8_t byte) { return byte == 0 ? -1 : byte; }

plughost::HostSettings Settings(const uint8_t* s) {
  plughost::HostSettings h;
  h.buffer = Suite(s, 0);
  h.resource = Suite(s, 1);
  h.handle = Suite(s, 2);
  h.readDescriptor = Suite(s, 3);
  h.writeDescriptor = Suite(s, 4);
  h.descriptorParams = (s[setting::kAbsent] & 0x20) == 0;
  h.advanceState = (s[setting::kAbsent] & 0x40) == 0;
  h.provideReadDescriptor = (s[setting::kAbsent] & 0x80) == 0;
  h.advanceFailsAtRow = s[setting::kAdvanceRow] >= 1 && s[setting::kAdvanceRow] <= 20
                            ? s[setting::kAdvanceRow] - 1
                            : -1;
  h.advanceFailCode = kAdvanceCodes[s[setting::kAdvanceCode] & 7];
  h.handleCreateFailsAt = s[setting::kHandleCreateFail] & 15;
  h.handleLockFailsAt = s[setting::kHandleLockFail] & 15;
  h.bufferAllocateFailsAt = s[setting::kBufferAllocateFail] & 7;
  h.bufferLockFailsAt = s[setting::kBufferLockFail] & 7;
  const uint8_t d = s[setting::kDescriptor];
  const uint8_t value = d >> 2 & 1;
  if (d & 1) h.readParams.push_back({kOpenOptionKey, MakeFourCharCode("bool"), value});
  if (d & 2) h.readParams.push_back({kSaveOptionKey, MakeFourCharCode("bool"), value});
  h.openReadGivesNoToken = (d & 0x08) != 0;
  h.openWriteGivesNoToken = (d & 0x10) != 0;
  h.closeReadResult = kCloseCodes[d >> 5 & 3];
  h.descriptorParamsVersion = d >> 7;
  return h;
}

int Side(uint8_t byte) { return byte == 0 ? 16 : byte & 63; }

void DescribeImage(plughost::Host& host, const uint8_t* s) {
  const int planes = kPlanes[s[setting::kPlanesAndDepth] & 3];
  plughost::Image doc =
      plughost::Image::Blank(Side(s[setting::kRows]), Side(s[setting::kColumns]), planes);
  for (size_t i = 0; i < doc.pixels.size(); ++i) doc.pixels[i] = static_cast<uint8_t>(i * 7);
  host.SetDocument(doc);
  FormatBlock& block = host.block();
  block.rows = static_cast<int16_t>(Side(s[setting::kRows]));
  block.columns = static_cast<int16_t>(Side(s[setting::kColumns]));
  block.planes = static_cast<int16_t>(planes);
  block.depth = static_cast<int16_t>(kDepths[s[setting::kPlanesAndDepth] >> 2 & 7]);
  block.imageMode = static_cast<int16_t>(s[setting::kImageMode] == 0 ? kImageModeRgb
                                                                     : s[setting::kImageMode] & 15);
  block.imageResourcesSize = s[setting::kImageResources];
}

bool Allowed(int16_t code, const plughost::HostSettings& h) {
  return fuzz::ModuleCode(code) || code == h.advanceFailCode || code == h.closeReadResult;
}

void RunProgram(plughost::Host& host, const Input& in, const plughost::HostSettings& h) {
  for (int16_t selector : in.program) {
    if (selector == kSelectorAbout) {
      const int16_t before = host.result();
      FUZZ_REQUIRE(host.CallAbout(0) == before, "About changed the result");
      continue;
    }
    const bool readsImage = selector == kSelectorReadContinue || selector == kSelectorReadFinish;
    if (readsImage && in.s[setting::kImageResources] != 0 &&
        host.block().imageResources == nullptr) {
      host.block().imageResources =
          host.NewHostHandle(std::vector<uint8_t>(in.s[setting::kImageResources], 0x5A));
    }
    const int16_t result = host.Call(selector);
    FUZZ_REQUIRE(Allowed(result, h), "selector %d answered %d", selector, result);
    const plughost::Counts& counts = host.counts();
    FUZZ_REQUIRE(counts.violations.empty(), "selector %d: host caught: %s", selector,
                 counts.violations.front().c_str());
    FUZZ_REQUIRE(counts.buffersLive == 0, "selector %d kept a buffer", selector);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file;
  const Input in = Split(data, size);
  const plughost::HostSettings settings = Settings(in.s);
  posix_hooks::CaptureMessageBoxes(true);
  posix_hooks::ClearCapturedMessageBoxes();
  posix_hooks::FaultPlan plan;
  plan.readFailAt = Offset(in.s[setting::kReadFail]);
  plan.writeFailAt = Offset(in.s[setting::kWriteFail]);
  plan.diskFullAt = Offset(in.s[setting::kDiskFull]);
  plan.globalAllocFailAt = Nth(in.s[setting::kGlobalAllocFail]);
  plan.heapCallocFailAt = Nth(in.s[setting::kCallocFail]);
  // The header left by an earlier input would make runs depend on each other.
  moduleHeader = PaletteHeader{};
  const int64_t globalsBefore = posix_hooks::GetCounters().liveGlobals;
  const int moduleHandlesBefore = LiveModuleHandles();

  const int32_t fileRef = file.Load(in.file);
  plughost::Host host(ENTRYPOINT, settings);
  ledger::HandleLedger handles(host);
  DescribeImage(host, in.s);
  host.block().fileRef = (in.s[setting::kFileRef] & 1) != 0 ? -1 : fileRef;
  posix_hooks::SetFaultPlan(plan);
  RunProgram(host, in, settings);
  posix_hooks::SetFaultPlan({});

  FUZZ_REQUIRE(handles.Leaked() == 0, "%d handles leaked", handles.Leaked());
  const Handle slot = reinterpret_cast<Handle>(host.dataSlot());
  const int ownHandles = IsModuleHandle(slot) ? 1 : 0;
  FUZZ_REQUIRE(LiveModuleHandles() == moduleHandlesBefore + ownHandles,
               "%d module handles live, %d expected", LiveModuleHandles(),
               moduleHandlesBefore + ownHandles);
  if (ownHandles != 0) DisposeModuleHandle(slot);
  handles.DisposeSlotHandle();
  FUZZ_REQUIRE(posix_hooks::GetCounters().liveGlobals == globalsBefore, "global memory leaked");
  return 0;
}
