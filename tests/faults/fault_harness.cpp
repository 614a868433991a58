#include "tests/faults/fault_harness.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "module/host_services.h"
#include "platform/posix/posix_test_hooks.h"

namespace faults {

namespace {

int cases = 0;

// Prints the number of cases once every table has run.
class CaseCounter : public testing::Environment {
 public:
  void TearDown() override { std::printf("fault-injection cases run: %d\n", cases); }
};
const testing::Environment* const kCounter = testing::AddGlobalTestEnvironment(new CaseCounter);

}  // namespace

void CountCase() { ++cases; }

const std::vector<Sample>& Samples() {
  static const std::vector<Sample> samples = [] {
    std::vector<Sample> list;
    for (const auto& entry : std::filesystem::directory_iterator(ZENTROW_SAMPLES)) {
      std::ifstream in(entry.path(), std::ios::binary);
      list.push_back({entry.path().filename().string(),
                      std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {})});
    }
    std::sort(list.begin(), list.end(),
              [](const Sample& a, const Sample& b) { return a.name < b.name; });
    if (list.empty()) throw std::runtime_error("no sample palettes in " ZENTROW_SAMPLES);
    return list;
  }();
  return samples;
}

MemoryFile::MemoryFile(const std::vector<uint8_t>& bytes) : fd_(memfd_create("kcf", 0)) {
  if (fd_ < 0) throw std::runtime_error("memfd_create failed");
  if (!bytes.empty() && write(fd_, bytes.data(), bytes.size()) != ssize_t(bytes.size())) {
    throw std::runtime_error("cannot fill the file");
  }
  Rewind();
}

MemoryFile::~MemoryFile() { close(fd_); }

void MemoryFile::Rewind() const { lseek(fd_, 0, SEEK_SET); }

std::vector<uint8_t> MemoryFile::Contents() const {
  std::vector<uint8_t> bytes(static_cast<size_t>(lseek(fd_, 0, SEEK_END)));
  if (!bytes.empty() && pread(fd_, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())) {
    throw std::runtime_error("cannot read the file back");
  }
  return bytes;
}

Case::Case(plughost::HostSettings settings)
    : host_(ENTRYPOINT, std::move(settings)),
      handles_(host_),
      moduleHandlesBefore_(LiveModuleHandles()),
      globalsBefore_(posix_hooks::GetCounters().liveGlobals) {
  posix_hooks::CaptureMessageBoxes(true);
  posix_hooks::ClearCapturedMessageBoxes();
  CountCase();
}

Case::~Case() { posix_hooks::SetFaultPlan({}); }

void Case::ExpectEverythingGivenBack(const std::string& what) {
  posix_hooks::SetFaultPlan({});
  const plughost::Counts& counts = host_.counts();
  EXPECT_TRUE(counts.violations.empty()) << what << ": " << counts.violations.front();
  EXPECT_EQ(counts.buffersLive, 0) << what << ": a buffer is still held";
  EXPECT_EQ(host_.block().data, nullptr) << what;
  EXPECT_EQ(handles_.Leaked(), 0) << what << ": module-made host handles left live";
  const Handle slot = reinterpret_cast<Handle>(host_.dataSlot());
  const int own = IsModuleHandle(slot) ? 1 : 0;
  EXPECT_EQ(LiveModuleHandles(), moduleHandlesBefore_ + own) << what;
  if (own != 0) DisposeModuleHandle(slot);
  handles_.DisposeSlotHandle();
  EXPECT_EQ(posix_hooks::GetCounters().liveGlobals, globalsBefore_)
      << what << ": global memory left behind";
}

plughost::Image TestImage(int rows, int columns) {
  plughost::Image image = plughost::Image::Blank(rows, columns, 3);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      for (int ch = 0; ch < 3; ++ch) image.At(r, c, ch) = uint8_t(r * 16 + c + 85 * ch);
    }
  }
  return image;
}

std::vector<uint8_t> SavedFile(const plughost::Image& image) {
  std::vector<uint8_t> file = {'K', 'i', 'S', 'S', 16, 24, 0, 0, 0, 1, 1, 0};
  file.resize(800, 0);
  for (int r = 0; r < std::min(image.rows, 16); ++r) {
    for (int c = 0; c < std::min(image.columns, 16); ++c) {
      for (int ch = 0; ch < 3; ++ch) file[size_t(32 + 48 * r + 3 * c + ch)] = image.At(r, c, ch);
    }
  }
  return file;
}

}  // namespace faults
