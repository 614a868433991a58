#include "plughost/host/module_loader.h"

#include <utility>

#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/host/elf_sections.h"
#include "plughost/host/module_file.h"
#include "plughost/system/system.h"

namespace plughost {

namespace {

// The most of a module file read to check it before loading.
constexpr uint64_t kMaxModuleBytes = uint64_t{256} << 20;

// The module file's bytes, through the files gate: a regular file only.
bool ReadModuleFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  InputFile file;
  if (file.Open(path, error) && file.ReadAll(bytes, error, kMaxModuleBytes)) return true;
  *error = "module " + *error;
  return false;
}

// The property list of a module whose bytes are at hand: a DLL's "PIPL"
// resource, or the native library's ELF section. Read from the bytes on
// every build, so the Linux build can inspect the shipped DLL too.
bool PropertyListBytes(const std::string& path, const std::vector<uint8_t>& file,
                       std::vector<uint8_t>* bytes, std::string* error) {
  size_t offset = 0, length = 0;
  if (IsWindowsLibrary(file)) {
    if (!FindPeResource(file, "PIPL", &offset, &length)) {
      *error = "module " + path + " has no PIPL resource";
      return false;
    }
    bytes->assign(file.begin() + std::ptrdiff_t(offset),
                  file.begin() + std::ptrdiff_t(offset + length));
    return true;
  }
  const PropertyListError found =
      FindElfSection(file.data(), file.size(), ".zentrow_pipl", &offset, &length);
  if (found != PropertyListError::kNone) {
    *error = "module " + path + ": property list: " + PropertyListErrorText(found);
    return false;
  }
  bytes->assign(file.begin() + std::ptrdiff_t(offset),
                file.begin() + std::ptrdiff_t(offset + length));
  return true;
}

bool DecodeModuleList(const std::string& path, const std::vector<uint8_t>& file,
                      PropertyList* list, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!PropertyListBytes(path, file, &bytes, error)) return false;
  const PropertyListError decoded = DecodePropertyList(bytes.data(), bytes.size(), list);
  if (decoded == PropertyListError::kNone) return true;
  *error = "module " + path + ": property list: " + PropertyListErrorText(decoded);
  return false;
}

}  // namespace

bool CheckModuleFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  if (!ReadModuleFile(path, bytes, error)) return false;
  const std::string reason = UnloadableReason(*bytes);
  if (reason.empty()) return true;
  *error = "module " + path + " " + reason;
  return false;
}

// A DLL must carry a property list, as real hosts insist, and is entered at
// the name it gives for this width; a native library without one is called
// at "ENTRYPOINT", and one with one at its "wx86" name.
LoadedModule LoadedModule::Load(const std::string& path, std::string* error) {
  LoadedModule module;
  std::vector<uint8_t> file;
  if (!CheckModuleFile(path, &file, error)) return module;
  module.library_ = sys::LoadLibraryAt(path);
  if (module.library_ == nullptr) {
    *error = "cannot load the module " + path + ": it is not a library this system can load";
    return module;
  }
  const bool dll = IsWindowsLibrary(file);
  std::string listError;
  module.hasPropertyList_ = DecodeModuleList(path, file, &module.propertyList_, &listError);
  if (dll && !module.hasPropertyList_) {
    *error = listError + (listError.find("PIPL") != std::string::npos ? ": no host would load it" : "");
    return module;
  }
  const std::string name = !module.hasPropertyList_ ? "ENTRYPOINT"
                           : dll                    ? EntryPointName(module.propertyList_)
                                                    : module.propertyList_.entryPointX86;
  module.entry_ = reinterpret_cast<EntryPoint>(sys::FindSymbol(module.library_, name));
  if (module.entry_ == nullptr)
    *error = "module " + path + " has no entry point " + name +
             (dll ? ", the entry its property list names" : "");
  return module;
}

LoadedModule LoadedModule::Linked(EntryPoint entry, const uint8_t* list, size_t size) {
  LoadedModule module;
  module.entry_ = entry;
  module.hasPropertyList_ =
      DecodePropertyList(list, size, &module.propertyList_) == PropertyListError::kNone;
  return module;
}

LoadedModule::~LoadedModule() { sys::UnloadLibrary(library_); }

std::string ModuleBesideProgram(const std::string& installedFolder) {
  const std::string folder = sys::ProgramFolder();
  const std::string beside = folder + sys::ModuleFileName();
  const std::string installed = folder + installedFolder + sys::ModuleFileName();
  return StatusOf(beside).type == FileType::kMissing &&
                 StatusOf(installed).type != FileType::kMissing
             ? installed
             : beside;
}

// An installed tree keeps it in lib/zentrow/ next to the program's bin/.
std::string DefaultModulePath() { return ModuleBesideProgram("../lib/zentrow/"); }

LoadedModule::LoadedModule(LoadedModule&& other) noexcept
    : library_(std::exchange(other.library_, nullptr)),
      entry_(std::exchange(other.entry_, nullptr)),
      propertyList_(std::move(other.propertyList_)),
      hasPropertyList_(std::exchange(other.hasPropertyList_, false)) {}

LoadedModule& LoadedModule::operator=(LoadedModule&& other) noexcept {
  std::swap(library_, other.library_);
  std::swap(entry_, other.entry_);
  std::swap(propertyList_, other.propertyList_);
  std::swap(hasPropertyList_, other.hasPropertyList_);
  return *this;
}

bool ReadModulePropertyList(const std::string& path, std::vector<uint8_t>* bytes,
                            std::string* error) {
  std::vector<uint8_t> file;
  return ReadModuleFile(path, &file, error) && PropertyListBytes(path, file, bytes, error);
}

bool LoadModulePropertyList(const std::string& path, PropertyList* list, std::string* error) {
  std::vector<uint8_t> file;
  return ReadModuleFile(path, &file, error) && DecodeModuleList(path, file, list, error);
}

}  // namespace plughost
