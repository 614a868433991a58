// The built plughost program run as users run it, against the module next
// to it: the native library, or Zentrow.8bi with plughost.exe under wine.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "plughost/files/file_checks.h"
#include "plughost/images/image_files.h"
#include "plughost/words/image_words.h"
#include "plughost/images/swatch.h"
#include "plughost/usecases/requests.h"
#include "tests/plughost/sample_palettes.h"
#include "tests/plughost/test_files.h"

#include "plughost/system/system_headers.h"

#if !defined(_WIN32)
#include <pty.h>
#include <sys/sysmacros.h>
#endif

namespace {

using plughost_test::ReadAll;
using plughost_test::ReadText;
using plughost_test::TempDir;
using plughost_test::WriteAll;

struct Outcome {
  int status;
  std::string out, err;
};

#if defined(_WIN32)

// The quoting the C runtime undoes: backslashes are literal except before a
// quote, so those before a quote (or the closing one) are doubled.
std::string Quoted(const std::string& arg) {
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, '\\');
  return out + "\"";
}

HANDLE Inheritable(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Spawn(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
  std::string line;
  for (const std::string& a : args) line += (line.empty() ? "" : " ") + Quoted(a);
  STARTUPINFOA start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = Inheritable(out);
  start.hStdError = Inheritable(err);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &start, &process);
  CloseHandle(start.hStdOutput);
  CloseHandle(start.hStdError);
  if (!started) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(code);
}

#else

int Spawn(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
  const pid_t child = fork();
  if (child == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

// The program with these arguments; "{dir}" stands for the test's directory.
Outcome Plughost(const TempDir& dir, std::vector<std::string> args) {
  std::vector<std::string> all = {plughost_test::HostPath(ZENTROW_PLUGHOST_PATH)};
  for (std::string& a : args) {
    const size_t at = a.find("{dir}");
    if (at != std::string::npos) a.replace(at, 5, dir / "");
    all.push_back(a);
  }
  const int status = Spawn(all, dir / "stdout.txt", dir / "stderr.txt");
  Outcome run{status, ReadText(dir / "stdout.txt"), ReadText(dir / "stderr.txt")};
  std::remove((dir / "stdout.txt").c_str());
  std::remove((dir / "stderr.txt").c_str());
  return run;
}

std::string Sample(const char* name) {
  return plughost_test::HostPath(std::string(ZENTROW_SAMPLES_DIR) + "/" + name);
}

// Colour k of a palette file as red, green, blue, read independently.
std::vector<uint8_t> Colours24(const std::vector<uint8_t>& file) {
  return std::vector<uint8_t>(file.begin() + 32, file.begin() + 32 + 768);
}

std::vector<uint8_t> Colours12(const std::vector<uint8_t>& file, size_t from) {
  std::vector<uint8_t> rgb(768, 0);
  for (size_t k = 0; k < 160; ++k) {
    const uint8_t b0 = file[from + 2 * k], b1 = file[from + 2 * k + 1];
    rgb[3 * k] = uint8_t((b0 >> 4) * 17);
    rgb[3 * k + 1] = uint8_t((b1 & 15) * 17);
    rgb[3 * k + 2] = uint8_t((b0 & 15) * 17);
  }
  return rgb;
}

std::vector<uint8_t> ImagePixels(const std::string& path) {
  plughost::Image image;
  plughost::ImageFault error;
  EXPECT_TRUE(plughost::ReadImage(path, &image, &error)) << plughost::ImageWords(error);
  return image.pixels;
}

struct OpenCase {
  const char* name;
  const char* sample;
  const char* out;
  std::vector<uint8_t> (*colours)();
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class Opens : public testing::TestWithParam<OpenCase> {};

TEST_P(Opens, WriteEachColourAsOnePixel) {
  TempDir dir;
  const Outcome run = Plughost(dir, {"open", Sample(GetParam().sample), "--out", std::string("{dir}") + GetParam().out});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ImagePixels(dir / GetParam().out), GetParam().colours());
  EXPECT_EQ(run.out.find("history note:"), std::string::npos) << "only with --verbose: " << run.out;
  const Outcome verbose = Plughost(dir, {"open", Sample(GetParam().sample), "-v", "--force", "--out", std::string("{dir}") + GetParam().out});
  EXPECT_NE(verbose.out.find("history note: Morvid: ref num="), std::string::npos) << verbose.out;
}

INSTANTIATE_TEST_SUITE_P(
    Samples, Opens,
    testing::Values(
        OpenCase{"Palette24ToPng", "palette24.kcf", "a.png", [] { return Colours24(samples::Palette24()); }},
        OpenCase{"Palette24ToPpm", "palette24.kcf", "a.ppm", [] { return Colours24(samples::Palette24()); }},
        OpenCase{"Palette12ToPng", "palette12.kcf", "a.png", [] { return Colours12(samples::Palette12(), 32); }},
        OpenCase{"HeaderlessToPng", "headerless.kcf", "a.png", [] { return Colours12(samples::Headerless(), 0); }}),
    [](const testing::TestParamInfo<OpenCase>& p) { return p.param.name; });

TEST(EndToEnd, ASwatchSavesBackToTheSameBytes) {
  TempDir dir;
  const Outcome open = Plughost(dir, {"open", Sample("palette24.kcf"), "--out", "{dir}s.png", "--swatch", "12"});
  ASSERT_EQ(open.status, 0) << open.err;
  plughost::Image swatch;
  plughost::ImageFault error;
  ASSERT_TRUE(plughost::ReadImage(dir / "s.png", &swatch, &error)) << plughost::ImageWords(error);
  EXPECT_EQ(swatch.columns, 16 * 13 + 1);
  const Outcome save = Plughost(dir, {"save", "{dir}s.png", "--swatch", "12", "--out", "{dir}back.kcf"});
  ASSERT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(ReadAll(dir / "back.kcf"), samples::Palette24());
}

TEST(EndToEnd, ABatchGoesOnPastABadFileAndNamesIt) {
  TempDir dir;
  WriteAll(dir / "bad.kcf", {'K', 'i', 'S', 'S', 16, 24});
  const Outcome run = Plughost(dir, {"open", Sample("palette24.kcf"), "{dir}bad.kcf", Sample("palette12.kcf"),
                                 "--out-dir", "{dir}", "--format", "ppm"});
  EXPECT_EQ(run.status, 4) << run.err;  // some outputs in place, one not
  EXPECT_NE(run.err.find("bad.kcf: result -39: end of file"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("1 of 3 files could not be converted"), std::string::npos) << run.err;
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"bad.kcf", "palette12.ppm", "palette24.ppm"}));
  EXPECT_EQ(ImagePixels(dir / "palette12.ppm"), Colours12(samples::Palette12(), 32));
}

TEST(EndToEnd, TooManyColoursAreRefusedInWords) {
  TempDir dir;
  std::vector<uint8_t> file = samples::Palette24();
  file[8] = 0x2C;  // 300 colours in one group
  WriteAll(dir / "big.kcf", file);
  const Outcome run = Plughost(dir, {"open", "{dir}big.kcf", "--out", "{dir}big.png"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("result -30501: file cannot be read: not a palette file; its header "
                         "declares 300 colours"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"big.kcf"});
}

TEST(EndToEnd, ProbeAnswersOneLinePerFile) {
  TempDir dir;
  const Outcome run = Plughost(dir, {"probe", Sample("palette24.kcf"), Sample("headerless.kcf")});
  EXPECT_EQ(run.status, 0) << "both open";
  std::istringstream lines(run.out);
  std::string first, second, third;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_FALSE(std::getline(lines, third));
  EXPECT_EQ(first, Sample("palette24.kcf") + ": palette (24-bit, 1 group of 256 colours)");
  // The filter and an open differ on a headerless file: both are said.
  EXPECT_EQ(second.rfind(Sample("headerless.kcf") + ": the filter says not a palette (result -30501", 0), 0u) << second;
  EXPECT_NE(second.find("; an open reads it (read as 10 groups of 16 12-bit colours)"), std::string::npos) << second;
}

TEST(EndToEnd, InfoDecodesThePropertyList) {
  TempDir dir;
  const Outcome run = Plughost(dir, {"info"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* line : {"kind:              8BIF (file-format module)\n", "name:              Morvid\n",
                           "interface version: 1.0\n", "entry point:       ENTRYPOINT\n",
                           "reads:             KCF\n", "writes:            KCF\n",
                           "largest size:      32767 rows x 32767 columns\n",
                           "channels:          bitmap 1, grayscale 24,"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << " in\n" << run.out;
  }
  EXPECT_NE(run.out.find("image modes:       0xffc0 ("), std::string::npos) << run.out;
}

TEST(EndToEnd, AboutShowsTheBox) {
  TempDir dir;
  const Outcome run = Plughost(dir, {"about", "--answer-boxes"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Version 1.00 Release 1"), std::string::npos) << run.err;
}

std::vector<nlohmann::json> TraceLines(const std::string& path) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(ReadText(path));
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

std::vector<std::string> SelectorsTraced(const std::vector<nlohmann::json>& lines) {
  std::vector<std::string> names;
  for (const nlohmann::json& l : lines) {
    if (l["event"] == "selector")
      names.push_back(l["name"].get<std::string>() + " " + std::to_string(l["result"].get<int>()));
  }
  return names;
}

TEST(Trace, OfAnOpenNamesEverySelectorInOrderWithItsResult) {
  TempDir dir;
  const Outcome run = Plughost(dir, {"--trace", "{dir}t.jsonl", "open", Sample("palette24.kcf"), "--out", "{dir}a.png"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<nlohmann::json> lines = TraceLines(dir / "t.jsonl");
  EXPECT_EQ(SelectorsTraced(lines), (std::vector<std::string>{"ReadPrepare 0", "ReadStart 0",
                                                               "ReadContinue 0", "ReadFinish 0"}));
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i]["seq"], i + 1);
  int advances = 0, progress = 0;
  for (const nlohmann::json& l : lines) {
    if (l["event"] == "advanceState") {
      EXPECT_EQ(l["rect"], nlohmann::json({advances, 0, advances + 1, 16}));
      EXPECT_EQ(l["channelMap"], nlohmann::json({2, 1, 0}));
      EXPECT_EQ(l["columnStep"], 3);
      ++advances;
    }
    if (l["event"] == "progress") {
      EXPECT_EQ(l["done"], ++progress);
    }
    if (l["event"] == "resource.add") {
      EXPECT_EQ(l["type"], "hist");
    }
  }
  EXPECT_EQ(advances, 16);
  EXPECT_EQ(progress, 16);
}

TEST(Trace, OfAFailedOpenEndsAtTheSelectorThatFailed) {
  TempDir dir;
  const Outcome run = Plughost(dir, {"--trace", "{dir}t.jsonl", "--advance-fails-at", "4:-34", "open",
                                 Sample("palette24.kcf"), "--out", "{dir}a.png"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("result -34: disk full"), std::string::npos) << run.err;
  EXPECT_EQ(SelectorsTraced(TraceLines(dir / "t.jsonl")),
            (std::vector<std::string>{"ReadPrepare 0", "ReadStart 0", "ReadContinue -34"}));
}

TEST(Trace, OfASaveRecordsTheDescriptorKeys) {
  TempDir dir;
  ASSERT_EQ(Plughost(dir, {"open", Sample("palette24.kcf"), "--out", "{dir}a.png"}).status, 0);
  const Outcome run = Plughost(dir, {"--trace", "{dir}t.jsonl", "--param", "barF=false", "save",
                                 "{dir}a.png", "--out", "{dir}a.kcf"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<nlohmann::json> lines = TraceLines(dir / "t.jsonl");
  std::vector<std::string> keys;
  for (const nlohmann::json& l : lines) {
    if (l["event"] == "descriptor.getKey" && l["delivered"] == true) keys.push_back("read " + l["key"].get<std::string>());
    if (l["event"] == "descriptor.putBoolean") keys.push_back("put " + l["key"].get<std::string>() + (l["value"] == true ? " true" : " false"));
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"read barF", "put barF false"}));
  EXPECT_EQ(SelectorsTraced(lines).size(), 12u);
  EXPECT_EQ(ReadAll(dir / "a.kcf"), samples::Palette24());
}

struct StatusCase {
  const char* name;
  std::vector<std::string> args;
  int status;
};

// Named by its case in ctest, not by gtest's dump of its bytes.
void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class Statuses : public testing::TestWithParam<StatusCase> {};

TEST_P(Statuses, AreWhatScriptsRelyOn) {
  TempDir dir;
  const Outcome run = Plughost(dir, GetParam().args);
  EXPECT_EQ(run.status, GetParam().status) << run.out << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Statuses,
    testing::Values(StatusCase{"Success", {"probe", Sample("palette24.kcf")}, 0},
                    StatusCase{"ProbeOfAFileThatOpens", {"probe", Sample("headerless.kcf")}, 0},
                    StatusCase{"ModuleSaysNo", {"open", Sample("palette24.kcf"), "--group", "0", "--advance-fails-at", "0", "--out", "{dir}a.png"}, 1},
                    StatusCase{"BadCommandLine", {"open", "--swatch", "x"}, 2},
                    StatusCase{"NoSuchModule", {"--module", "{dir}none", "about"}, 3},
                    StatusCase{"NoSuchImage", {"save", "{dir}none.png", "--out", "{dir}x.kcf"}, 3},
                    StatusCase{"OptionsAroundTheFile", {"--verbose", "open", "--out", "{dir}a.png", Sample("palette24.kcf"), "--swatch", "2"}, 0},
                    StatusCase{"DashDashThenAFile", {"probe", "--", Sample("palette24.kcf")}, 0},
                    StatusCase{"SlashIsAPathNotAnOption", {"probe", "/none.kcf"}, 3},
                    StatusCase{"OptionMissingItsValue", {"probe", Sample("palette24.kcf"), "--trace"}, 2},
                    StatusCase{"OptionRepeated", {"open", Sample("palette24.kcf"), "--out", "{dir}a.png", "--out", "{dir}b.png"}, 2},
                    StatusCase{"OneGroup", {"open", Sample("palette12.kcf"), "--group", "9", "--out", "{dir}a.png"}, 0},
                    StatusCase{"GroupPastTheLast", {"open", Sample("palette12.kcf"), "--group", "10", "--out", "{dir}a.png"}, 3},
                    StatusCase{"GroupNotANumber", {"open", Sample("palette12.kcf"), "--group", "x", "--out", "{dir}a.png"}, 2},
                    StatusCase{"IntoAndOut", {"save", "{dir}a.png", "--into", Sample("palette12.kcf"), "--out", "{dir}x.kcf"}, 2}),
    [](const testing::TestParamInfo<StatusCase>& p) { return p.param.name; });

}  // namespace

namespace {

// What is in the directory, each entry with its type and bytes, so that a
// case can tell that nothing but its one output changed.
std::map<std::string, std::string> Snapshot(const TempDir& dir) {
  std::map<std::string, std::string> entries;
  for (const std::string& name : dir.Names()) {
    const std::filesystem::path path = dir / name;
    const auto status = std::filesystem::symlink_status(path);
    std::string what = std::to_string(static_cast<int>(status.type()));
    if (status.type() == std::filesystem::file_type::regular) {
      const std::vector<uint8_t> bytes = ReadAll(path.string());
      what += ":" + std::string(bytes.begin(), bytes.end());
    }
    entries[name] = what;
  }
  return entries;
}

struct SafetyCase;
// Checks what the changed entry holds once the command has run.
using EntryCheck = void (*)(const TempDir& dir, const SafetyCase& c);
void WhatTheCommandWrites(const TempDir& dir, const SafetyCase& c);

struct SafetyCase {
  const char* name;
  std::function<bool(const TempDir&)> make;  // false: not on this platform or user
  std::vector<std::string> args;
  int status;
  const char* says;
  const char* changes;  // the one entry that may change; "" for none
  EntryCheck holds = WhatTheCommandWrites;
};
void PrintTo(const SafetyCase& c, std::ostream* os) { *os << c.name; }

bool Always(const TempDir&) { return true; }

#if !defined(_WIN32)
bool PosixRoot(const TempDir&) { return geteuid() == 0; }
#endif

// The 800 bytes a save of the black 16 x 16 pic.png writes.
std::vector<uint8_t> BlackPalette() {
  std::vector<uint8_t> file = {'K', 'i', 'S', 'S', 16, 24, 0, 0, 0, 1, 1, 0};
  file.resize(800, 0);
  return file;
}

// A 16 x 16 TGA of grey, 786 bytes.
std::vector<uint8_t> Tga() {
  std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 16, 0, 24, 32};
  tga.resize(786, 0x80);
  return tga;
}

// A RIFF palette that counts `count` black colours and holds `held`.
std::vector<uint8_t> BlackRiffPalette(int count, int held) {
  const uint32_t data = 4 + 4 * uint32_t(held), riff = 12 + data;
  std::vector<uint8_t> pal = {'R', 'I', 'F', 'F', uint8_t(riff), uint8_t(riff >> 8), 0, 0,
                              'P', 'A', 'L', ' ', 'd', 'a', 't', 'a', uint8_t(data), uint8_t(data >> 8),
                              0, 0, 0, 3, uint8_t(count), uint8_t(count >> 8)};
  pal.resize(pal.size() + 4 * size_t(held), 0);
  return pal;
}

// One file a row's command writes: a save the palette of pic.png, an open an
// image of p24.kcf's colours.
void ExpectWritten(const std::string& command, const std::string& path) {
  if (command == "save") {
    EXPECT_EQ(ReadAll(path), BlackPalette()) << path << " holds the palette of a black image";
  } else {
    EXPECT_EQ(ImagePixels(path), Colours24(samples::Palette24())) << path << " shows p24.kcf";
  }
}

// What a batch writes into its folder: one file per input that is a regular
// file, by the input's stem, as a palette (save) or in --format (open).
std::vector<std::string> BatchOutputs(const TempDir& dir, const std::vector<std::string>& args,
                                      size_t command) {
  std::string ext = args[command] == "save" ? ".kcf" : ".png";
  const auto format = std::find(args.begin(), args.end(), "--format");
  if (format != args.end() && format + 1 != args.end()) ext = "." + *(format + 1);
  std::vector<std::string> names;
  for (size_t i = command + 1; i < args.size() && args[i].rfind("--", 0) != 0; ++i) {
    const std::string name = args[i].substr(std::string("{dir}").size());
    if (std::filesystem::is_regular_file(dir / name)) names.push_back(plughost::StemOf(name) + ext);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The default check: the entry holds what the command should write, read
// independently; a folder holds exactly the batch's files.
void WhatTheCommandWrites(const TempDir& dir, const SafetyCase& c) {
  const auto is = [](const std::string& a) { return a == "open" || a == "save"; };
  const size_t command = size_t(std::find_if(c.args.begin(), c.args.end(), is) - c.args.begin());
  ASSERT_LT(command, c.args.size()) << "a row of this table runs open or save";
  const std::string entry = dir / c.changes;
  if (!std::filesystem::is_directory(entry)) return ExpectWritten(c.args[command], entry);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(entry))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, BatchOutputs(dir, c.args, command)) << "in " << c.changes;
  for (const std::string& name : names) ExpectWritten(c.args[command], entry + "/" + name);
}

class DataSafety : public testing::TestWithParam<SafetyCase> {};

TEST_P(DataSafety, NothingButTheTargetIsReplaced) {
  const SafetyCase& c = GetParam();
  TempDir dir;
  WriteAll(dir / "p24.kcf", samples::Palette24());
  WriteAll(dir / "pic.png",
           plughost::EncodeImage(plughost::Image::Blank(16, 16, 3), plughost::ImageFormat::kPng));
  if (!c.make(dir)) GTEST_SKIP() << "needs POSIX files (and root for a device node)";
  std::map<std::string, std::string> before = Snapshot(dir);
  const Outcome run = Plughost(dir, c.args);
  EXPECT_EQ(run.status, c.status) << run.out << run.err;
  EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
  std::map<std::string, std::string> after = Snapshot(dir);
  if (*c.changes != '\0') {
    EXPECT_EQ(after.count(c.changes), 1u) << c.changes << " is written";
    c.holds(dir, c);
    before.erase(c.changes);
    after.erase(c.changes);
  }
  EXPECT_EQ(after, before) << "every other file as it was, and no temporary file left";
}

#if !defined(_WIN32)
bool Fifo(const std::string& path) { return mkfifo(path.c_str(), 0644) == 0; }
#endif

const SafetyCase kSafetyCases[] = {
    {"InputDirectory", [](const TempDir& d) { return std::filesystem::create_directory(d / "d.kcf"); },
     {"open", "{dir}d.kcf", "--out", "{dir}x.png"}, 3, "d.kcf is a directory", ""},
    {"BatchGoesPastADirectory",
     [](const TempDir& d) { return std::filesystem::create_directory(d / "d.kcf"); },
     {"open", "{dir}d.kcf", "{dir}p24.kcf", "--out-dir", "{dir}out"}, 4, "1 of 2 files", "out"},
    // Some outputs in place and an input refused: the last line names both.
    {"SomeInPlaceAndTheRestNamed", Always,
     {"open", "{dir}p24.kcf", "{dir}missing.kcf", "--out-dir", "{dir}ox"}, 4,
     "p24.png; not in place: ", "ox"},
    {"SaveInputDirectory", [](const TempDir& d) { return std::filesystem::create_directory(d / "d.png"); },
     {"save", "{dir}d.png", "--out", "{dir}x.kcf"}, 3, "d.png is a directory", ""},
    {"TargetDirectory", [](const TempDir& d) { return std::filesystem::create_directory(d / "o.png"); },
     {"open", "{dir}p24.kcf", "--out", "{dir}o.png"}, 3, "o.png is a directory", ""},
    {"TraceOntoTheInput", Always,
     {"--trace", "{dir}p24.kcf", "open", "{dir}p24.kcf", "--out", "{dir}x.png"}, 2,
     "would overwrite", ""},
    {"TraceOntoTheSavedImage", Always,
     {"save", "{dir}pic.png", "--out", "{dir}x.kcf", "--trace", "{dir}pic.png"}, 2,
     "would overwrite", ""},
    {"TraceOntoTheOutput", Always,
     {"open", "{dir}p24.kcf", "--out", "{dir}x.png", "--trace", "{dir}x.png"}, 2,
     "would overwrite the output", ""},
    {"PictureWhereAPaletteGoes", Always, {"save", "{dir}pic.png", "--out", "{dir}pic2.png"}, 0,
     "800 bytes", "pic2.png"},
    {"ExistingPictureKeptFromAPalette",
     [](const TempDir& d) {
       WriteAll(d / "keep.kcf", ReadAll(d / "pic.png"));
       return true;
     },
     {"save", "{dir}pic.png", "--out", "{dir}keep.kcf"}, 3, "holds an image, not a palette", ""},
    {"ExistingPaletteKeptFromAPicture",
     [](const TempDir& d) {
       WriteAll(d / "pal.png", samples::Palette24());
       return true;
     },
     {"open", "{dir}p24.kcf", "--out", "{dir}pal.png"}, 3, "holds a KiSS palette, not an image", ""},
    // Without --force a save replaces only a palette of the form the module
    // writes (or nothing, or an empty file); anything else is named.
    {"ExistingCelKeptFromAPalette",
     [](const TempDir& d) {
       WriteAll(d / "doll.cel", {'K', 'i', 'S', 'S', 0x20, 4, 0, 0, 16, 0, 16, 0, 0, 0, 0, 0});
       return true;
     },
     {"save", "{dir}pic.png", "--out", "{dir}doll.cel"}, 3, "doll.cel is a KiSS cel, not a palette", ""},
    {"ExistingTiffKept",
     [](const TempDir& d) {
       WriteAll(d / "x.kcf", {'I', 'I', '*', 0, 8, 0, 0, 0, 0, 0});
       return true;
     },
     {"save", "{dir}pic.png", "--out", "{dir}x.kcf"}, 3, "not a palette (a TIFF image)", ""},
    {"ExistingWebpKept",
     [](const TempDir& d) {
       WriteAll(d / "x.webp", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', ' '});
       return true;
     },
     {"save", "{dir}pic.png", "--out", "{dir}x.webp"}, 3, "not a palette (a WebP image)", ""},
    {"ExistingTgaKeptByItsName",
     [](const TempDir& d) {
       WriteAll(d / "x.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 1, 2, 3});
       return true;
     },
     {"save", "{dir}pic.png", "--out", "{dir}x.tga"}, 3, "not a palette (a TGA image)", ""},
    {"TextNamedKcfKept",
     [](const TempDir& d) {
       const std::string text = "my notes on this doll: it is not a palette.\n\n\n";
       WriteAll(d / "notes.kcf", std::vector<uint8_t>(text.begin(), text.end()));
       return true;
     },
     {"save", "{dir}pic.png", "--out", "{dir}notes.kcf"}, 3,
     "notes.kcf is a file of 46 bytes that is not a palette; give --force", ""},
    // A .kcf is taken for a palette without a header only when laid out as
    // one: a TGA so named is no palette to put colours into.
    {"RiffPaletteSaved",
     [](const TempDir& d) { return WriteAll(d / "black.pal", BlackRiffPalette(256, 256)), true; },
     {"save", "{dir}black.pal", "--out", "{dir}x.kcf"}, 0, "black.pal -> ", "x.kcf"},
    {"RiffPaletteOfMoreThan256SavesTheFirst",
     [](const TempDir& d) { return WriteAll(d / "black.pal", BlackRiffPalette(300, 300)), true; },
     {"save", "{dir}black.pal", "--out", "{dir}x.kcf"}, 0,
     "black.pal: it holds 300 colours, and only the first 256 are saved", "x.kcf"},
    {"RiffPaletteCountPastItsDataWritesNothing",
     [](const TempDir& d) { return WriteAll(d / "black.pal", BlackRiffPalette(256, 255)), true; },
     {"save", "{dir}black.pal", "--out", "{dir}x.kcf"}, 3,
     "black.pal is damaged: its 256 colours need 1028 bytes of its \"data\" chunk, which holds 1024", ""},
    {"TiffNamedWritesNothing",
     [](const TempDir& d) { return WriteAll(d / "pic.tif", {'I', 'I', '*', 0, 8, 0, 0, 0}), true; },
     {"save", "{dir}pic.tif", "--out", "{dir}x.kcf"}, 3,
     "pic.tif is a TIFF image, which plughost does not read: save it as PNG and save the palette "
     "from that", ""},
    {"TgaNamedAsAPaletteKept", [](const TempDir& d) { return WriteAll(d / "t.kcf", Tga()), true; },
     {"save", "{dir}pic.png", "--out", "{dir}t.kcf"}, 3,
     "t.kcf holds an image, not a palette (a TGA image); give --force", ""},
    {"IntoATgaNamedAsAPalette", [](const TempDir& d) { return WriteAll(d / "t.kcf", Tga()), true; },
     {"save", "{dir}pic.png", "--into", "{dir}t.kcf", "--group", "1"}, 3,
     "t.kcf is not a KiSS palette: it is a TGA image", ""},
    // A swatch put back without saying so is read one colour a tile: the
    // palette is what it was, no grid sample in it.
    {"SwatchPutBackAsASwatch",
     [](const TempDir& d) {
       plughost::Image colours = plughost::Image::Blank(16, 16, 3);
       colours.pixels = Colours24(samples::Palette24());
       WriteAll(d / "sw.png", plughost::EncodeImage(plughost::MakeSwatch(colours, 16), plughost::ImageFormat::kPng));
       return true;
     },
     {"save", "{dir}sw.png", "--into", "{dir}p24.kcf"}, 0, "read as a swatch of 16-pixel tiles", "p24.kcf",
     [](const TempDir& d, const SafetyCase&) { EXPECT_EQ(ReadAll(d / "p24.kcf"), samples::Palette24()); }},
    // What a killed run left where a command writes is named, and kept.
    {"LeftoversOfAKilledRunNamed", [](const TempDir& d) { return WriteAll(d / ".plughost-a1.kcf", {1}), true; },
     {"save", "{dir}pic.png", "--out", "{dir}x.kcf"}, 0, "holds a file plughost left behind (.plughost-a1.kcf)",
     "x.kcf"},
    {"EmptyFileReplaced",
     [](const TempDir& d) {
       WriteAll(d / "empty.kcf", {});
       return true;
     },
     {"save", "{dir}pic.png", "--out", "{dir}empty.kcf"}, 0, "800 bytes", "empty.kcf"},
    {"ExistingCelKeptFromAPicture",
     [](const TempDir& d) {
       WriteAll(d / "doll.png", {'K', 'i', 'S', 'S', 0x21, 8, 0, 0, 16, 0, 16, 0});
       return true;
     },
     {"open", "{dir}p24.kcf", "--out", "{dir}doll.png"}, 3, "doll.png is a KiSS cel, not an image", ""},
    {"UnknownFileKeptFromAPicture",
     [](const TempDir& d) {
       WriteAll(d / "x.ppm", {'h', 'e', 'l', 'l', 'o'});
       return true;
     },
     {"open", "{dir}p24.kcf", "--out", "{dir}x.ppm"}, 3, "x.ppm is a file of 5 bytes that is not", ""},
    {"TraceNeverReplacesAPictureEvenForced",
     [](const TempDir& d) {
       WriteAll(d / "keep.png", ReadAll(d / "pic.png"));
       return true;
     },
     {"open", "{dir}p24.kcf", "--out", "{dir}x.png", "--force", "--trace", "{dir}keep.png"}, 3,
     "keep.png holds an image, not a trace; a trace never replaces it", ""},
    {"ForceReplacesTheOtherKind",
     [](const TempDir& d) {
       WriteAll(d / "pal.png", samples::Palette24());
       return true;
     },
     {"open", "{dir}p24.kcf", "--out", "{dir}pal.png", "--force"}, 0, "16 x 16 RGB", "pal.png"},
    {"SaveBatch",
     [](const TempDir& d) {
       WriteAll(d / "b.png", ReadAll(d / "pic.png"));
       return true;
     },
     {"save", "{dir}pic.png", "{dir}b.png", "--out-dir", "{dir}kcf"}, 0, "b.kcf (800 bytes)", "kcf"},
    {"NameClashOfOutputsApart",
     [](const TempDir& d) {
       std::filesystem::create_directories(d / "a");
       std::filesystem::create_directories(d / "b");
       WriteAll(d / "a/x.kcf", samples::Palette24());
       WriteAll(d / "b/x.kcf", samples::Palette24());
       return true;
     },
     {"open", "{dir}a/x.kcf", "{dir}p24.kcf", "{dir}b/x.kcf", "--out-dir", "{dir}out"}, 2,
     "would both be written to", ""},
    {"OutputIsTheInputSpelledOtherwise", Always,
     {"save", "{dir}pic.png", "--out", "{dir}./pic.png", "--force"}, 2, "would replace the input", ""},
    {"TraceOntoAnotherPicture",
     [](const TempDir& d) {
       WriteAll(d / "keep.png", ReadAll(d / "pic.png"));
       return true;
     },
     {"--trace", "{dir}keep.png", "probe", "{dir}p24.kcf"}, 3, "holds an image", ""},
    {"TraceOntoTheModule",
     [](const TempDir& d) {
       WriteAll(d / "mod", ReadAll(plughost_test::HostPath(ZENTROW_MODULE_PATH)));
       return true;
     },
     {"--module", "{dir}mod", "--trace", "{dir}mod", "about"}, 2, "would overwrite the module", ""},
    {"ModuleCutShort",
     [](const TempDir& d) {
       std::vector<uint8_t> module = ReadAll(plughost_test::HostPath(ZENTROW_MODULE_PATH));
       module.resize(20000);
       WriteAll(d / "cut", module);
       return true;
     },
     {"about", "--module", "{dir}cut"}, 3, "is cut short", ""},
    {"ModuleIsADirectory",
     [](const TempDir& d) { return std::filesystem::create_directory(d / "m"); },
     {"probe", "{dir}p24.kcf", "--module", "{dir}m"}, 3, "m is a directory", ""},
    {"PaletteOfAnotherFormKept",
     [](const TempDir& d) {
       WriteAll(d / "body.kcf", samples::Palette12());
       return true;
     },
     {"save", "{dir}pic.png", "--out", "{dir}body.kcf"}, 3, "(12-bit, 10 groups of 16 colours)", ""},
    {"IntoKeepsTheFormAndEveryOtherByte",
     [](const TempDir& d) {
       WriteAll(d / "body.kcf", samples::Palette12());
       return true;
     },
     {"save", "{dir}pic.png", "--into", "{dir}body.kcf"}, 0, "352 bytes", "body.kcf",
     [](const TempDir& d, const SafetyCase&) {
       std::vector<uint8_t> black = samples::Palette12();
       for (size_t k = 0; k < 160; ++k) {
         black[32 + 2 * k] = 0;
         black[33 + 2 * k] &= 0xF0;  // unused bits, kept
       }
       EXPECT_EQ(ReadAll(d / "body.kcf"), black);
     }},
    {"IntoAPaletteSomeoneIsSavingInto",
     [](const TempDir& d) {
       WriteAll(d / "body.kcf", samples::Palette12());
       WriteAll(d / "body.kcf.lock", {});
       return true;
     },
     {"save", "{dir}pic.png", "--into", "{dir}body.kcf", "--group", "2"}, 3,
     "body.kcf is being rewritten by another plughost: its lock", ""},
    {"IntoTheImageItself", Always, {"save", "{dir}pic.png", "--into", "{dir}pic.png"}, 2,
     "would replace the input", ""},
    {"EveryGroupIntoAFolder",
     [](const TempDir& d) {
       WriteAll(d / "body.kcf", samples::Palette12());
       return true;
     },
     {"open", "{dir}body.kcf", "--group", "all", "--out-dir", "{dir}g"}, 0, "body.kcf group 9", "g",
     [](const TempDir& d, const SafetyCase&) {
       const std::vector<uint8_t> file = samples::Palette12();
       for (size_t g = 0; g < 10; ++g) {
         std::vector<uint8_t> group(file.begin() + std::ptrdiff_t(32 + 32 * g), file.begin() + std::ptrdiff_t(64 + 32 * g));
         group.resize(352, 0);  // Colours12 reads 160 entries
         std::vector<uint8_t> rgb = Colours12(group, 0);
         std::fill(rgb.begin() + 48, rgb.end(), 0);
         EXPECT_EQ(ImagePixels(d / ("g/body-" + std::to_string(g) + ".png")), rgb) << "group " << g;
       }
       EXPECT_EQ(std::distance(std::filesystem::directory_iterator(d / "g"), {}), 10);
     }},
#if defined(_WIN32)
    // Device names in any folder, with any extension.
    {"TargetDeviceName", Always, {"open", "{dir}p24.kcf", "--out", "{dir}NUL.png"}, 3,
     "NUL.png is not a regular file", ""},
    {"InputConsoleName", Always, {"open", "{dir}CON.kcf", "--out", "{dir}x.png"}, 3,
     "CON.kcf is not a regular file", ""},
    // Windows hands the program "*.kcf" as it was typed.
    {"WildcardsExpandedAsByAShell", Always, {"open", "{dir}*.kcf", "--out-dir", "{dir}g"}, 0, "p24.png", "g",
     [](const TempDir& d, const SafetyCase&) { EXPECT_EQ(ImagePixels(d / "g/p24.png").size(), 768u); }},
#else
    {"IntoALinkKeepsTheLink",
     [](const TempDir& d) {
       WriteAll(d / "body.kcf", samples::Palette12());
       return symlink("body.kcf", (d / "link.kcf").c_str()) == 0;
     },
     {"save", "{dir}pic.png", "--into", "{dir}link.kcf", "--group", "2"}, 0, "link.kcf group 2", "body.kcf",
     [](const TempDir& d, const SafetyCase&) {
       std::vector<uint8_t> expected = samples::Palette12();
       for (size_t k = 32; k < 48; ++k) {
         expected[32 + 2 * k] = 0;
         expected[33 + 2 * k] &= 0xF0;
       }
       EXPECT_EQ(ReadAll(d / "body.kcf"), expected);
     }},
    {"IntoATextThroughAPaletteLink",
     [](const TempDir& d) {
       const std::string text(400, 't');
       WriteAll(d / "notes.txt", std::vector<uint8_t>(text.begin(), text.end()));
       return symlink("notes.txt", (d / "n.kcf").c_str()) == 0;
     },
     {"save", "{dir}pic.png", "--into", "{dir}n.kcf", "--group", "1"}, 3, "n.kcf is not a KiSS palette", ""},
    {"IntoAPaletteOfTwoNames",
     [](const TempDir& d) {
       WriteAll(d / "body.kcf", samples::Palette12());
       return link((d / "body.kcf").c_str(), (d / "other.kcf").c_str()) == 0;
     },
     {"save", "{dir}pic.png", "--into", "{dir}body.kcf", "--group", "2"}, 0,
     "body.kcf had another name (a hard link), which keeps the old bytes", "body.kcf",
     [](const TempDir& d, const SafetyCase&) { EXPECT_NE(ReadAll(d / "body.kcf"), samples::Palette12()); }},
    {"InputFifo", [](const TempDir& d) { return Fifo(d / "f.kcf"); },
     {"open", "{dir}f.kcf", "--out", "{dir}x.png"}, 3, "f.kcf is not a regular file", ""},
    {"TargetFifo", [](const TempDir& d) { return Fifo(d / "f.png"); },
     {"open", "{dir}p24.kcf", "--out", "{dir}f.png"}, 3, "f.png is not a regular file", ""},
    {"TargetDeviceNode",
     [](const TempDir& d) {
       return PosixRoot(d) && mknod((d / "null.kcf").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
     },
     {"save", "{dir}pic.png", "--out", "{dir}null.kcf"}, 3, "null.kcf is not a regular file", ""},
    {"SymlinkFollowedAndKept",
     [](const TempDir& d) { return symlink("p24.kcf", (d / "link.kcf").c_str()) == 0; },
     {"save", "{dir}pic.png", "--out", "{dir}link.kcf"}, 0, "800 bytes", "p24.kcf"},
    {"ReadOnlyTarget",
     [](const TempDir& d) {
       WriteAll(d / "ro.kcf", samples::Palette12());
       return chmod((d / "ro.kcf").c_str(), 0444) == 0;
     },
     {"save", "{dir}pic.png", "--out", "{dir}ro.kcf"}, 3, "ro.kcf: permission denied", ""},
    {"TwoOutputsOneFileThroughADanglingLink",
     [](const TempDir& d) {
       std::filesystem::create_directory(d / "o");
       WriteAll(d / "a.png", ReadAll(d / "pic.png"));
       WriteAll(d / "b.png", ReadAll(d / "pic.png"));
       return symlink("b.kcf", (d / "o/a.kcf").c_str()) == 0;
     },
     {"save", "{dir}a.png", "{dir}b.png", "--out-dir", "{dir}o"}, 2,
     "a symbolic link to a missing file", ""},
    {"TwoOutputsOneFileThroughALink",
     [](const TempDir& d) {
       std::filesystem::create_directory(d / "o");
       WriteAll(d / "a.png", ReadAll(d / "pic.png"));
       WriteAll(d / "b.png", ReadAll(d / "pic.png"));
       WriteAll(d / "o/b.kcf", samples::Palette12());
       return symlink("b.kcf", (d / "o/a.kcf").c_str()) == 0;
     },
     {"save", "{dir}a.png", "{dir}b.png", "--out-dir", "{dir}o"}, 2, "would both be written", ""},
    {"OutputLinkedToTheInput",
     [](const TempDir& d) {
       std::filesystem::create_directory(d / "o");
       return symlink("../p24.kcf", (d / "o/p24.png").c_str()) == 0;
     },
     {"open", "{dir}p24.kcf", "--out-dir", "{dir}o", "--force"}, 2, "would replace the input", ""},
    {"TraceThroughALinkedFolderOntoTheOutput",
     [](const TempDir& d) {
       std::filesystem::create_directory(d / "o");
       return symlink("o", (d / "l").c_str()) == 0;
     },
     {"open", "{dir}p24.kcf", "--out", "{dir}o/x.png", "--trace", "{dir}l/x.png"}, 2,
     "would overwrite the output", ""},
    {"TraceThroughALinkedFolderIntoAFolderNotMadeYet",
     [](const TempDir& d) {
       std::filesystem::create_directory(d / "o");
       return symlink("o", (d / "l").c_str()) == 0;
     },
     {"open", "{dir}p24.kcf", "--out-dir", "{dir}l/new", "--trace", "{dir}o/new/p24.png"}, 2,
     "would overwrite the output", ""},
    {"DanglingLinkAsOut",
     [](const TempDir& d) { return symlink("gone.kcf", (d / "d.kcf").c_str()) == 0; },
     {"save", "{dir}pic.png", "--out", "{dir}d.kcf"}, 2, "a symbolic link to a missing file", ""},
    {"TraceFifo", [](const TempDir& d) { return Fifo(d / "t"); },
     {"--trace", "{dir}t", "probe", "{dir}p24.kcf"}, 3, "t is not a regular file", ""},
    {"TraceReadOnly",
     [](const TempDir& d) {
       WriteAll(d / "t", {'x'});
       return chmod((d / "t").c_str(), 0444) == 0;
     },
     {"--trace", "{dir}t", "probe", "{dir}p24.kcf"}, 3, "t: permission denied", ""},
    {"InfoOfAFifo", [](const TempDir& d) { return Fifo(d / "f.so"); },
     {"info", "{dir}f.so"}, 3, "f.so is not a regular file", ""},
#endif
};

INSTANTIATE_TEST_SUITE_P(Table, DataSafety, testing::ValuesIn(kSafetyCases),
                         [](const testing::TestParamInfo<SafetyCase>& p) { return p.param.name; });

#if !defined(_WIN32)
// The program started on `args` with its standard output on `out`; its
// standard error on `err`, or dropped.
pid_t StartPlughost(const std::vector<std::string>& args, int out, int err = -1) {
  std::vector<std::string> all = {plughost_test::HostPath(ZENTROW_PLUGHOST_PATH)};
  all.insert(all.end(), args.begin(), args.end());
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(err >= 0 ? err : null, 2);
    if (out >= 0) dup2(out, 1);
    if (out < 0) close(1);  // a standard output the caller closed
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

// A batch of saves into out/, and what a file there may hold: all of its
// palette or nothing.
struct InterruptedBatch {
  TempDir dir;
  std::vector<std::string> args = {"save"};
  int count;
  explicit InterruptedBatch(int images) : count(images) {
    const std::vector<uint8_t> png =
        plughost::EncodeImage(plughost::Image::Blank(16, 16, 3), plughost::ImageFormat::kPng);
    for (int i = 0; i < images; ++i) {
      WriteAll(dir / ("i" + std::to_string(i) + ".png"), png);
      args.push_back(dir / ("i" + std::to_string(i) + ".png"));
    }
    args.insert(args.end(), {"--out-dir", dir / "out"});
  }
  std::string Output(int i) const { return dir / ("out/i" + std::to_string(i) + ".kcf"); }
  // Every output there already, as an older run left it.
  void OldOutputs() const {
    std::filesystem::create_directories(dir / "out");
    for (int i = 0; i < count; ++i) WriteAll(Output(i), samples::Palette24());
  }
  // The batch is all or nothing: every output old, or every output new.
  void ExpectAllOldOrAllNew(const std::string& why) const {
    ExpectNoHalfFiles(why);
    int fresh = 0;
    for (int i = 0; i < count; ++i) fresh += ReadAll(Output(i)) == BlackPalette();
    EXPECT_TRUE(fresh == 0 || fresh == count) << why << ": " << fresh << " of " << count << " new";
  }
  void ExpectNoHalfFiles(const std::string& why) const {
    for (const std::string& name : dir.Names())
      EXPECT_EQ(name.find(".plughost-"), std::string::npos) << why;
    std::error_code none;
    for (const auto& e : std::filesystem::directory_iterator(dir / "out", none)) {
      EXPECT_EQ(e.path().filename().string().find(".plughost-"), std::string::npos) << why;
      if (e.path().extension() == ".kcf") {
        const std::vector<uint8_t> bytes = ReadAll(e.path().string());
        EXPECT_TRUE(bytes == BlackPalette() || bytes == samples::Palette24()) << why << ": half a file";
      }
    }
  }
};

// Interrupts at many points of a batch: every output is whole or absent, and
// no temporary file is left, whenever the signal lands.
TEST(DataSafety, AnInterruptLeavesNoTemporaryFileAtAnyPoint) {
  InterruptedBatch batch(200);
  const int null = open("/dev/null", O_WRONLY);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (int delay : {0, 1, 2, 4, 7, 11, 16, 23, 32, 45, 60, 80}) {
      const pid_t child = StartPlughost(batch.args, null);
      usleep(static_cast<useconds_t>(delay * 1000));
      kill(child, signal);
      int status = 0;
      waitpid(child, &status, 0);
      const std::string why = "signal " + std::to_string(signal) + " after " + std::to_string(delay) + " ms";
      batch.ExpectNoHalfFiles(why);
      // out/ was not there: it appears with every output, or not at all.
      std::error_code none;
      const auto entries = std::filesystem::directory_iterator(batch.dir / "out", none);
      EXPECT_TRUE(none || std::distance(entries, std::filesystem::directory_iterator()) == 200) << why;
      std::filesystem::remove_all(batch.dir / "out");
    }
  }
  close(null);
}

// An interrupt while the outputs are being put in place: the first output
// has changed, so every one of them is new once the command has ended.
TEST(DataSafety, AnInterruptWhileOutputsArePutInPlaceWaitsForTheWholeBatch) {
  InterruptedBatch batch(1000);
  batch.OldOutputs();
  const int null = open("/dev/null", O_WRONLY);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = StartPlughost(batch.args, null);
    int status = 0;
    while (ReadAll(batch.Output(0)) != BlackPalette() && waitpid(child, &status, WNOHANG) == 0) {
    }
    kill(child, signal);
    waitpid(child, &status, 0);
    batch.ExpectAllOldOrAllNew("signal " + std::to_string(signal) + " once the first output changed");
    EXPECT_EQ(ReadAll(batch.Output(999)), BlackPalette()) << "signal " << signal;
    // Every output in place: the command ends as one that did its work.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "signal " << signal << ": " << (WIFEXITED(status) ? "exit " : "ended by signal ")
        << (WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
    batch.OldOutputs();
  }
  close(null);
}

// A folder of many outputs is listed once rather than each output looked
// at: what is there is still judged, whatever case its name is in.
TEST(DataSafety, AListedFolderStillKeepsWhatIsNoPalette) {
  InterruptedBatch batch(12);
  std::filesystem::create_directories(batch.dir / "out");
  const std::vector<uint8_t> image = ReadAll(batch.dir / "i0.png");
  WriteAll(batch.Output(3), image);
  WriteAll(batch.dir / "out/I5.KCF", image);
  const Outcome run = Plughost(batch.dir, batch.args);
  EXPECT_EQ(run.status, 4) << run.out << run.err;
  EXPECT_NE(run.err.find("i3.kcf holds an image, not a palette"), std::string::npos) << run.err;
  EXPECT_EQ(ReadAll(batch.Output(3)), image);
  EXPECT_EQ(ReadAll(batch.dir / "out/I5.KCF"), image) << "another file, or the same one where case is ignored";
  EXPECT_EQ(ReadAll(batch.Output(4)), BlackPalette());
}

// Interrupts at many points of a batch over older outputs: all old or all new.
TEST(DataSafety, AnInterruptAtAnyPointLeavesAllOldOrAllNew) {
  InterruptedBatch batch(200);
  const int null = open("/dev/null", O_WRONLY);
  for (int delay : {0, 3, 9, 20, 40, 70}) {
    batch.OldOutputs();
    const pid_t child = StartPlughost(batch.args, null);
    usleep(static_cast<useconds_t>(delay * 1000));
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    batch.ExpectAllOldOrAllNew("SIGTERM after " + std::to_string(delay) + " ms");
  }
  // Killed while its new files are being written, it says what it leaves.
  batch.OldOutputs();
  const int err = open((batch.dir / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t child = StartPlughost(batch.args, null, err);
  close(err);
  int status = 0;
  const auto begun = [&batch] {
    std::error_code none;
    for (const auto& e : std::filesystem::directory_iterator(batch.dir / "out", none))
      if (e.path().filename().string().find(".plughost-") != std::string::npos) return true;
    return false;
  };
  while (!begun() && waitpid(child, &status, WNOHANG) == 0) {
  }
  kill(child, SIGTERM);
  waitpid(child, &status, 0);
  batch.ExpectAllOldOrAllNew("SIGTERM once a new file was begun");
  if (WIFSIGNALED(status)) {
    const std::vector<uint8_t> said = ReadAll(batch.dir / "err.txt");
    EXPECT_EQ(std::string(said.begin(), said.end()),
              "plughost: interrupted; nothing was written, every file is as it was\n");
  }
  close(null);
}

// Standard output that has lost its reader: the one output is not replaced.
TEST(DataSafety, AClosedPipeLeavesTheOneTargetAsItWas) {
  TempDir dir;
  WriteAll(dir / "body.kcf", samples::Palette12());
  WriteAll(dir / "x.png", plughost::EncodeImage(plughost::Image::Blank(3, 3, 3), plughost::ImageFormat::kPng));
  const std::vector<uint8_t> old = ReadAll(dir / "x.png");
  int pipe_[2];
  ASSERT_EQ(pipe(pipe_), 0);
  close(pipe_[0]);
  const pid_t child =
      StartPlughost({"open", dir / "body.kcf", "--group", "1", "--out", dir / "x.png"}, pipe_[1]);
  close(pipe_[1]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(ReadAll(dir / "x.png"), old);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"body.kcf", "x.png"}));
}

// Two saves into one palette at once, each into a group of its own: one
// waits for the other, and neither edit is lost.
TEST(DataSafety, TwoSavesIntoOnePaletteLoseNoEdit) {
  TempDir dir;
  plughost::Image red = plughost::Image::Blank(16, 16, 3), blue = red;
  for (size_t i = 0; i < red.pixels.size(); i += 3) red.pixels[i] = 0xF0, blue.pixels[i + 2] = 0xF0;
  WriteAll(dir / "red.png", plughost::EncodeImage(red, plughost::ImageFormat::kPng));
  WriteAll(dir / "blue.png", plughost::EncodeImage(blue, plughost::ImageFormat::kPng));
  const int null = open("/dev/null", O_WRONLY);
  for (int round = 0; round < 10; ++round) {
    WriteAll(dir / "t.kcf", samples::Palette12());
    const pid_t a = StartPlughost({"save", dir / "red.png", "--into", dir / "t.kcf", "--group", "1"}, null);
    const pid_t b = StartPlughost({"save", dir / "blue.png", "--into", dir / "t.kcf", "--group", "7"}, null);
    int statusA = 0, statusB = 0;
    waitpid(a, &statusA, 0);
    waitpid(b, &statusB, 0);
    EXPECT_EQ(WEXITSTATUS(statusA), 0) << "round " << round;
    EXPECT_EQ(WEXITSTATUS(statusB), 0) << "round " << round;
    const std::vector<uint8_t> t = ReadAll(dir / "t.kcf");
    ASSERT_EQ(t.size(), 352u);
    // 12-bit entries: red is byte 0's high four bits, blue its low four.
    EXPECT_EQ(t[32 + 2 * 16], 0xF0) << "group 1 red, round " << round;
    EXPECT_EQ(t[32 + 2 * 7 * 16], 0x0F) << "group 7 blue, round " << round;
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"blue.png", "red.png", "t.kcf"})) << "no lock left";
  }
  close(null);
}

// A reader that goes away: the batch stops with the host's status, saying
// so, and leaves no temporary file (no SIGPIPE ends it half way).
TEST(DataSafety, AClosedPipeStopsTheBatchCleanly) {
  InterruptedBatch batch(20);
  int pipe_[2];
  ASSERT_EQ(pipe(pipe_), 0);
  close(pipe_[0]);
  const pid_t child = StartPlughost(batch.args, pipe_[1]);
  close(pipe_[1]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 3);
  batch.ExpectNoHalfFiles("a closed pipe");
}
#endif

#if !defined(_WIN32)
// A standard output closed by the caller: the command stops before it puts
// anything in place, and no file it opens takes the number, so its lines
// never land in the trace.
TEST(DataSafety, AClosedStandardOutputLeavesEveryTargetAsItWas) {
  TempDir dir;
  WriteAll(dir / "p.kcf", samples::Palette12());
  const pid_t child = StartPlughost(
      {"--trace", dir / "t.json", "--verbose", "open", dir / "p.kcf", "--out", dir / "two.png"}, -1);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"p.kcf"}) << "no image, no trace, nothing left";
}

// A standard output on a full device: the lines of the outputs are
// written before any output is put in place, and when they cannot be,
// none is; a new folder does not appear.
TEST(DataSafety, AFullStandardOutputLeavesEveryTargetAsItWas) {
  TempDir dir;
  WriteAll(dir / "p.kcf", samples::Palette12());
  WriteAll(dir / "q.kcf", samples::Palette24());
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"open", dir / "p.kcf", "--out", dir / "one.png"},
        std::vector<std::string>{"open", dir / "p.kcf", dir / "q.kcf", "--out-dir", dir / "new"}}) {
    const pid_t child = StartPlughost(args, full);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 3) << args.back();
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"p.kcf", "q.kcf"})) << args.back();
  }
  close(full);
}
#endif

#if defined(_WIN32)
// Under wine, Z:\dev\full is the full device: a standard output that is no
// console and takes no line, which the program must find before its commit.
TEST(DataSafety, AFullStandardOutputLeavesEveryTargetAsItWas) {
  const std::string full = "Z:\\dev\\full";
  const HANDLE device = Inheritable(full);
  if (device == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no full device here";
  CloseHandle(device);
  TempDir dir;
  WriteAll(dir / "p.kcf", samples::Palette12());
  WriteAll(dir / "q.kcf", samples::Palette24());
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"open", dir / "p.kcf", "--out", dir / "one.png"},
        std::vector<std::string>{"open", dir / "p.kcf", dir / "q.kcf", "--out-dir", dir / "new"}}) {
    std::vector<std::string> all = {plughost_test::HostPath(ZENTROW_PLUGHOST_PATH)};
    all.insert(all.end(), args.begin(), args.end());
    EXPECT_EQ(Spawn(all, full, dir / "err.txt"), 3) << ReadText(dir / "err.txt");
    EXPECT_NE(ReadText(dir / "err.txt").find("cannot write to standard output"), std::string::npos);
    std::remove((dir / "err.txt").c_str());
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"p.kcf", "q.kcf"})) << args.back();
  }
}
#endif

#if !defined(_WIN32)
// What the program writes to a terminal, standard output and error alike.
std::string OnATerminal(const std::vector<std::string>& args) {
  std::vector<std::string> all = {plughost_test::HostPath(ZENTROW_PLUGHOST_PATH)};
  all.insert(all.end(), args.begin(), args.end());
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string said;
  char buffer[4096];
  for (ssize_t n; child > 0 && (n = read(terminal, buffer, sizeof buffer)) > 0;) said.append(buffer, size_t(n));
  int status = 0;
  waitpid(child, &status, 0);
  close(terminal);
  return said;
}

// On a terminal a batch draws its bar and sums its notes up in one line;
// a single file gets its line; --quiet says nothing on success.
TEST(Terminal, NotesOfABatchAreSummedUpAndQuietIsQuiet) {
  TempDir dir;
  for (const char* name : {"a.kcf", "b.kcf", "c.kcf"}) WriteAll(dir / name, samples::Headerless());
  const std::string batch = OnATerminal({"open", dir / "a.kcf", dir / "b.kcf", dir / "c.kcf", "--out-dir", dir / "o"});
  EXPECT_EQ(batch.find("note:"), std::string::npos) << batch;
  EXPECT_NE(batch.find("3 notes on these files not shown; give -v to see each"), std::string::npos) << batch;
  const std::string one = OnATerminal({"open", dir / "a.kcf", "--out", dir / "one.png"});
  EXPECT_NE(one.find("a.kcf -> "), std::string::npos) << one;
  EXPECT_EQ(OnATerminal({"--quiet", "open", dir / "a.kcf", dir / "b.kcf", "--out-dir", dir / "q"}), "");
  EXPECT_TRUE(std::filesystem::exists(dir / "q/b.png"));
}

TEST(DataSafety, AReplacedFileKeepsItsMode) {
  TempDir dir;
  WriteAll(dir / "pic.png",
           plughost::EncodeImage(plughost::Image::Blank(16, 16, 3), plughost::ImageFormat::kPng));
  WriteAll(dir / "old.kcf", samples::Palette12());
  ASSERT_EQ(chmod((dir / "old.kcf").c_str(), 0640), 0);
  // old.kcf is 12-bit: replacing a palette of another form takes --force.
  ASSERT_EQ(Plughost(dir, {"save", "{dir}pic.png", "--out", "{dir}old.kcf", "--force"}).status, 0);
  struct stat s;
  ASSERT_EQ(stat((dir / "old.kcf").c_str(), &s), 0);
  EXPECT_EQ(s.st_mode & 0777, 0640u);
}
#endif

}  // namespace

namespace {

const uint8_t kWritten24[12] = {'K', 'i', 'S', 'S', 16, 24, 0, 0, 0, 1, 1, 0};

// Every real palette of 256 24-bit colours in one group goes out to a GIMP
// and a JASC palette and comes back as the same 800 bytes, in batches.
// How many palettes of the shared corpus are of that form.
constexpr size_t kRoundTrips = 15;

TEST(PalettesForOtherEditors, RealPalettesComeBackByteForByte) {
  TempDir dir;
  std::vector<std::string> palettes;
  const std::filesystem::path corpus = plughost_test::HostPath(ZENTROW_KCF_CORPUS);
  // CI always places the corpus; without it this test would prove nothing.
  ASSERT_TRUE(std::filesystem::is_directory(corpus))
      << "the real palettes are missing: " << ZENTROW_KCF_CORPUS << " is not a folder";
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::vector<uint8_t> bytes = ReadAll(entry.path().string());
    if (bytes.size() == 800 && std::equal(bytes.begin(), bytes.begin() + 12, kWritten24))
      palettes.push_back(entry.path().string());
  }
  ASSERT_EQ(palettes.size(), kRoundTrips) << "256-colour 24-bit palettes in " << ZENTROW_KCF_CORPUS;
  for (const char* format : {"gpl", "pal"}) {
    std::vector<std::string> open = {"open"}, save = {"save"};
    open.insert(open.end(), palettes.begin(), palettes.end());
    for (const std::string& p : palettes) {
      save.push_back(dir / (std::string(format) + "/" + plughost::StemOf(p) + "." + format));
    }
    open.insert(open.end(), {"--out-dir", dir / format, "--format", format});
    save.insert(save.end(), {"--out-dir", dir / "back"});
    const Outcome opened = Plughost(dir, open), saved = Plughost(dir, save);
    ASSERT_EQ(opened.status, 0) << opened.err;
    ASSERT_EQ(saved.status, 0) << saved.err;
    for (const std::string& p : palettes) {
      EXPECT_EQ(ReadAll(dir / ("back/" + plughost::StemOf(p) + ".kcf")), ReadAll(p)) << p << format;
    }
  }
  std::printf("%zu real palettes came back byte for byte through .gpl and .pal\n",
              palettes.size());
}

}  // namespace
