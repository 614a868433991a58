// Real palettes, written by other people's tools: every .kcf file of the
// shared corpus goes through FilterFile and a whole opening, through
// ENTRYPOINT only, so the same program runs on the native library and on the
// DLL under wine. Each file must give an image or a clear result code, the
// one an independent reading of the format gives, and leave nothing held.
// What each file gave is written out so the two builds can be compared byte
// for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "interface/result_codes.h"
#include "plughost/files/file_refs.h"
#include "plughost/host/host.h"
#include "plughost/host/module_loader.h"
#if defined(__EMSCRIPTEN__)
#include "module/entry_point.h"
#include "resources/resource_bytes.h"
#endif
#include "tests/handle_ledger.h"
#include "tests/palette_model.h"

namespace {

namespace fs = std::filesystem;

// Paths as this build's file functions take them: wine maps / to drive Z:.
std::string HostPath(const std::string& path) {
#if defined(_WIN32)
  return "Z:" + path;
#else
  return path;
#endif
}

// What the shared corpus holds: a count that drops means palettes went missing
// or stopped opening, and one that grows means the figures below need a look.
constexpr size_t kCorpusPalettes = 43;
constexpr int kOpened = 40;
constexpr int kRefused = 3;
constexpr int kRefusedForTooManyColours = 3;

std::vector<fs::path> CorpusFiles(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) { return char(c | 0x20); });
    if (entry.is_regular_file() && ext == ".kcf") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15]};
  return text;
}

bool ClearCode(int code) {
  return code != kNoError && std::string(ResultMeaning(code)) != "unknown result";
}

struct Tally {
  int images = 0, refused = 0, tooMany = 0;
};

// One palette through FilterFile and a whole opening, judged against the
// independent reading; what it gave goes on one line of `results`.
void OpenOne(const plughost::LoadedModule& module, const fs::path& path, std::ostream& results,
             Tally* tally) {
  const std::string name = path.filename().string();
  const palette_model::Expected expected = palette_model::Read(Bytes(path));
  const int32_t fileRef = plughost::OpenForReading(path.string());
  ASSERT_GE(fileRef, 0) << name;
  plughost::Host host(module.entry());
  ledger::HandleLedger handles(host);
  const int16_t filter = host.Filter(fileRef);
  const int16_t open = host.Open(fileRef);
  plughost::CloseFile(fileRef);

  EXPECT_EQ(filter, expected.filter) << name;
  EXPECT_EQ(open, expected.open) << name;
  results << name << " filter " << filter << " open " << open << " (" << ResultMeaning(open) << ")";
  if (open == kNoError) {
    ++tally->images;
    EXPECT_EQ(host.document().pixels, expected.rgb) << name;
    results << " " << Hex(host.document().pixels);
  } else {
    ++tally->refused;
    EXPECT_TRUE(ClearCode(open)) << name << " answered " << open;
  }
  results << "\n";
  if (expected.tooManyColors) {
    ++tally->tooMany;
    EXPECT_EQ(open, kCannotReadFile) << name << " holds more than 256 colours";
  }
  EXPECT_TRUE(host.counts().violations.empty()) << name << ": " << host.counts().violations[0];
  EXPECT_EQ(host.counts().buffersLive, 0) << name;
  EXPECT_EQ(handles.Leaked(), 0) << name;
}

TEST(KissCorpus, EveryRealPaletteGivesAnImageOrAClearCode) {
  const fs::path dir(HostPath(ZENTROW_KCF_CORPUS));
  // CI always places the corpus; without it this test would prove nothing.
  ASSERT_TRUE(fs::is_directory(dir))
      << "the real palettes are missing: " << ZENTROW_KCF_CORPUS << " is not a folder";
  const std::vector<fs::path> files = CorpusFiles(dir);
  ASSERT_EQ(files.size(), kCorpusPalettes) << ".kcf files in " << ZENTROW_KCF_CORPUS;
  std::string error;
#if defined(__EMSCRIPTEN__)
  // WebAssembly loads no libraries: the module is linked into this program.
  plughost::LoadedModule module =
      plughost::LoadedModule::Linked(ENTRYPOINT, kPropertyList, kPropertyListSize);
#else
  plughost::LoadedModule module =
      plughost::LoadedModule::Load(HostPath(ZENTROW_MODULE_PATH), &error);
#endif
  ASSERT_TRUE(module) << error;
  std::ofstream results(HostPath(ZENTROW_CORPUS_RESULTS), std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(results.good()) << "cannot write " << ZENTROW_CORPUS_RESULTS;

  Tally tally;
  for (const fs::path& path : files) OpenOne(module, path, results, &tally);
  EXPECT_EQ(tally.images, kOpened) << "real palettes opened as images";
  EXPECT_EQ(tally.refused, kRefused) << "real palettes refused with a code";
  EXPECT_EQ(tally.tooMany, kRefusedForTooManyColours) << "refused for more than 256 colours";
  std::printf(
      "%zu real palettes: %d opened as images, %d refused with a code (%d of them "
      "for more than 256 colours)\n",
      files.size(), tally.images, tally.refused, tally.tooMany);
}

}  // namespace
