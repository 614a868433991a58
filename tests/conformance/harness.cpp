#include "tests/conformance/harness.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "plughost/files/file_refs.h"
#include "plughost/host/module_loader.h"
#if defined(__EMSCRIPTEN__)
#include <emscripten.h>

#include "module/entry_point.h"
#endif

#include "plughost/system/system_headers.h"

namespace conformance {

namespace fs = std::filesystem;

#if defined(__EMSCRIPTEN__)

// WebAssembly loads no libraries: the module is linked into this program.
EntryPoint Module() { return ENTRYPOINT; }

// Emscripten's file system has no /dev/full: one as Linux has it, whose
// writes fail for want of space, for the scenarios of a full disk.
EM_JS(void, MakeFullDevice, (int noSpace), {
  var dev = FS.makedev(1, 7);
  FS.registerDevice(dev, {
    open : function(stream) { stream.seekable = false; },
    write : function() { throw new FS.ErrnoError(noSpace); }
  });
  FS.mkdev('/dev/full', 438, dev);
});

namespace {

const bool kFullDevice = (MakeFullDevice(ENOSPC), true);

}  // namespace

#else

EntryPoint Module() {
  static plughost::LoadedModule module = [] {
    std::string path = ZENTROW_MODULE_PATH;
#if defined(_WIN32)
    path = "Z:" + path;  // wine maps the Unix root to drive Z:
#endif
    std::string error;
    plughost::LoadedModule loaded = plughost::LoadedModule::Load(path, &error);
    if (!loaded) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    return loaded;
  }();
  return module.entry();
}

#endif

namespace {

std::string NewTempPath() {
  static std::atomic<int> counter{0};
  const fs::path dir = fs::temp_directory_path();
#if defined(_WIN32)
  const unsigned long pid = GetCurrentProcessId();
#else
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  return (dir / ("zentrow-" + std::to_string(pid) + "-" + std::to_string(counter++) + ".kcf"))
      .string();
}

}  // namespace

TempFile::TempFile(const std::vector<uint8_t>& bytes) : path_(NewTempPath()) {
  std::ofstream(path_, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ref_ = plughost::OpenForReading(path_);
  if (ref_ < 0) throw std::runtime_error("cannot open " + path_);
}

TempFile::TempFile() : path_(NewTempPath()) {
  ref_ = plughost::CreateForWriting(path_);
  if (ref_ < 0) throw std::runtime_error("cannot create " + path_);
}

TempFile::~TempFile() {
  plughost::CloseFile(ref_);
  std::error_code ignored;
  fs::remove(path_, ignored);
}

std::vector<uint8_t> TempFile::Contents() const {
  std::ifstream in(path_, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

PipeFile::PipeFile(const std::vector<uint8_t>& bytes) {
#if defined(_WIN32)
  HANDLE reader = nullptr, writer = nullptr;
  if (!CreatePipe(&reader, &writer, nullptr, 65536)) throw std::runtime_error("cannot make a pipe");
  DWORD put = 0;
  const bool written = WriteFile(writer, bytes.data(), DWORD(bytes.size()), &put, nullptr) != 0;
  CloseHandle(writer);
  ref_ = static_cast<int32_t>(reinterpret_cast<intptr_t>(reader));
#else
  int ends[2];
  if (pipe(ends) != 0) throw std::runtime_error("cannot make a pipe");
  const bool written = write(ends[1], bytes.data(), bytes.size()) == ssize_t(bytes.size());
  close(ends[1]);
  ref_ = ends[0];
#endif
  if (!written) throw std::runtime_error("cannot fill a pipe");
}

PipeFile::~PipeFile() { plughost::CloseFile(ref_); }

std::vector<uint8_t> Header(uint8_t mark, uint8_t bits, int16_t colorsPerGroup, int16_t groups) {
  std::vector<uint8_t> h(32, 0);
  h[0] = 'K', h[1] = 'i', h[2] = 'S', h[3] = 'S';
  h[4] = mark;
  h[5] = bits;
  h[8] = static_cast<uint8_t>(uint16_t(colorsPerGroup) & 0xFF);
  h[9] = static_cast<uint8_t>(uint16_t(colorsPerGroup) >> 8);
  h[10] = static_cast<uint8_t>(uint16_t(groups) & 0xFF);
  h[11] = static_cast<uint8_t>(uint16_t(groups) >> 8);
  return h;
}

std::vector<uint8_t> Palette24(int colors, int16_t colorsPerGroup, int16_t groups) {
  std::vector<uint8_t> file = Header(16, 24, colorsPerGroup, groups);
  for (int k = 0; k < colors; ++k) {
    file.push_back(static_cast<uint8_t>(k));
    file.push_back(static_cast<uint8_t>(255 - k));
    file.push_back(static_cast<uint8_t>(k * 7));
  }
  return file;
}

std::vector<uint8_t> Palette12(int16_t colorsPerGroup, int16_t groups, int entries) {
  std::vector<uint8_t> file = Header(16, 12, colorsPerGroup, groups);
  for (int k = 0; k < entries; ++k) {
    file.push_back(static_cast<uint8_t>(k & 0xFF));
    file.push_back(static_cast<uint8_t>((k * 3) & 0x0F));
  }
  return file;
}

#if defined(_WIN32)

namespace {

std::string WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], bytes, nullptr, nullptr);
  out.resize(static_cast<size_t>(bytes > 0 ? bytes - 1 : 0));
  return out;
}

std::vector<Box>* watched = nullptr;
HHOOK hook = nullptr;

// Which of the system's icons a box shows: compare the handle its icon
// control holds with the shared system icons.
std::string IconOf(HWND box) {
  HICON warning = LoadIcon(nullptr, IDI_EXCLAMATION);
  HICON information = LoadIcon(nullptr, IDI_ASTERISK);
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    auto icon = reinterpret_cast<HICON>(SendMessage(child, STM_GETICON, 0, 0));
    if (icon == nullptr) continue;
    if (icon == warning) return "warning";
    if (icon == information) return "information";
  }
  return "none";
}

LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && watched != nullptr) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char cls[64] = {};
    GetClassNameA(box, cls, sizeof cls);
    if (std::string(cls) == "#32770") {
      Box seen;
      seen.caption = WindowText(box);
      seen.text = WindowText(GetDlgItem(box, 0xFFFF));
      seen.icon = IconOf(box);
      seen.owner = reinterpret_cast<intptr_t>(GetWindow(box, GW_OWNER));
      watched->push_back(seen);
      PostMessage(box, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

struct BoxWatcher::Impl {
  std::vector<Box> boxes;
};

BoxWatcher::BoxWatcher() : impl_(new Impl) {
  watched = &impl_->boxes;
  hook = SetWindowsHookExA(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId());
}

BoxWatcher::~BoxWatcher() {
  UnhookWindowsHookEx(hook);
  watched = nullptr;
  delete impl_;
}

std::vector<Box> BoxWatcher::Boxes() { return impl_->boxes; }

intptr_t MakeOwnerWindow() {
  HWND window = CreateWindowExA(0, "STATIC", "Zentrow test owner", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return reinterpret_cast<intptr_t>(window);
}

void DestroyOwnerWindow(intptr_t window) { DestroyWindow(reinterpret_cast<HWND>(window)); }

std::string DefaultCaption() { return "Error"; }

#else

// The POSIX layer shows a box on stderr:
//   +-- message box (warning icon, default caption, owner 0)
//   | text line
//   +-- [OK]
struct BoxWatcher::Impl {
  std::string path;
  int savedStderr = -1;
  bool finished = false;
  std::vector<Box> boxes;
};

BoxWatcher::BoxWatcher() : impl_(new Impl) {
  impl_->path = NewTempPath();
  std::fflush(stderr);
  impl_->savedStderr = dup(2);
  FILE* capture = std::fopen(impl_->path.c_str(), "w");
  dup2(fileno(capture), 2);
  std::fclose(capture);
}

namespace {

std::vector<Box> ParseBoxes(const std::string& text) {
  std::vector<Box> boxes;
  std::vector<std::string> lines;
  bool inBox = false;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    const std::string head = "+-- message box (";
    if (line.rfind(head, 0) == 0) {
      Box box;
      const std::string inside = line.substr(head.size(), line.size() - head.size() - 1);
      box.icon = inside.substr(0, inside.find(" icon"));
      const size_t caption = inside.find(", ") + 2;
      const size_t owner = inside.rfind(", owner ");
      const std::string captionText = inside.substr(caption, owner - caption);
      box.caption = captionText == "default caption"
                        ? "(default)"
                        : captionText.substr(9, captionText.size() - 10);  // caption "..."
      box.owner = static_cast<intptr_t>(std::strtoull(inside.c_str() + owner + 8, nullptr, 0));
      boxes.push_back(box);
      lines.clear();
      inBox = true;
    } else if (inBox && line.rfind("| ", 0) == 0) {
      lines.push_back(line.substr(2));
    } else if (inBox && line == "+-- [OK]") {
      for (size_t i = 0; i < lines.size(); ++i) boxes.back().text += (i ? "\n" : "") + lines[i];
      inBox = false;
    }
  }
  return boxes;
}

}  // namespace

std::vector<Box> BoxWatcher::Boxes() {
  if (!impl_->finished) {
    std::fflush(stderr);
    dup2(impl_->savedStderr, 2);
    close(impl_->savedStderr);
    impl_->finished = true;
    std::ifstream in(impl_->path, std::ios::binary);
    impl_->boxes = ParseBoxes(std::string(std::istreambuf_iterator<char>(in), {}));
    std::remove(impl_->path.c_str());
  }
  return impl_->boxes;
}

BoxWatcher::~BoxWatcher() {
  Boxes();
  delete impl_;
}

intptr_t MakeOwnerWindow() { return 0x5150; }
void DestroyOwnerWindow(intptr_t) {}
std::string DefaultCaption() { return "(default)"; }

#endif

}  // namespace conformance
