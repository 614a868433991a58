#include "plughost/host/module_loader.h"

#include <utility>

#include "plughost/host/elf_sections.h"
#include "plughost/files/system_headers.h"

namespace plughost {

#if defined(_WIN32)

namespace {

// The first "PIPL" resource of a loaded module, whatever its id.
BOOL CALLBACK FirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  *reinterpret_cast<LPSTR*>(found) = name;
  return FALSE;
}

bool PropertyListOf(HMODULE library, std::vector<uint8_t>* bytes) {
  LPSTR name = nullptr;
  EnumResourceNamesA(library, "PIPL", FirstName, reinterpret_cast<LONG_PTR>(&name));
  HRSRC found = name != nullptr ? FindResourceA(library, name, "PIPL") : nullptr;
  HGLOBAL loaded = found != nullptr ? LoadResource(library, found) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return false;
  const auto* start = static_cast<const uint8_t*>(data);
  bytes->assign(start, start + SizeofResource(library, found));
  return true;
}

}  // namespace

bool ReadModulePropertyList(const std::string& path, std::vector<uint8_t>* bytes,
                            std::string* error) {
  HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (library == nullptr) {
    *error = "cannot read module " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  const bool found = PropertyListOf(library, bytes);
  FreeLibrary(library);
  if (!found) *error = "module " + path + " has no PIPL resource";
  return found;
}

LoadedModule LoadedModule::Load(const std::string& path, std::string* error) {
  LoadedModule module;
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) {
    *error = "cannot load module " + path + " (error " + std::to_string(GetLastError()) + ")";
    return module;
  }
  module.library_ = library;
  std::vector<uint8_t> bytes;
  if (!PropertyListOf(library, &bytes)) {
    *error = "module " + path + " has no PIPL resource: no host would load it";
    return module;
  }
  const PropertyListError decoded =
      DecodePropertyList(bytes.data(), bytes.size(), &module.propertyList_);
  if (decoded != PropertyListError::kNone) {
    *error = "module " + path + ": property list: " + PropertyListErrorText(decoded);
    return module;
  }
  module.hasPropertyList_ = true;
  const std::string& name = EntryPointName(module.propertyList_);
  FARPROC entry = GetProcAddress(library, name.c_str());
  if (entry == nullptr) {
    *error = "module " + path + " does not export " + name + ", the entry its property list names";
    return module;
  }
  module.entry_ = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(entry));
  return module;
}

LoadedModule::~LoadedModule() {
  if (library_ != nullptr) FreeLibrary(static_cast<HMODULE>(library_));
}

std::string DefaultModulePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path);
  const size_t slash = text.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : text.substr(0, slash + 1)) + "Zentrow.8bi";
}

#else

bool ReadModulePropertyList(const std::string& path, std::vector<uint8_t>* bytes,
                            std::string* error) {
  const PropertyListError found = ReadElfPropertyList(path.c_str(), bytes);
  if (found != PropertyListError::kNone) {
    *error = "module " + path + ": property list: " + PropertyListErrorText(found);
    return false;
  }
  return true;
}

LoadedModule LoadedModule::Load(const std::string& path, std::string* error) {
  LoadedModule module;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    dlerror();
    *error = "cannot load the module " + path + ": it is not a library this system can load";
    return module;
  }
  module.library_ = library;
  std::vector<uint8_t> bytes;
  std::string ignored;
  std::string name = "ENTRYPOINT";
  if (ReadModulePropertyList(path, &bytes, &ignored) &&
      DecodePropertyList(bytes.data(), bytes.size(), &module.propertyList_) ==
          PropertyListError::kNone) {
    module.hasPropertyList_ = true;
    name = module.propertyList_.entryPointX86;  // the native library names "wx86"
  }
  void* entry = dlsym(library, name.c_str());
  if (entry == nullptr) {
    *error = "module " + path + " has no entry point " + name;
    return module;
  }
  module.entry_ = reinterpret_cast<EntryPoint>(entry);
  return module;
}

LoadedModule::~LoadedModule() {
  if (library_ != nullptr) dlclose(library_);
}

// Beside the program, as in a build tree; else where an installed tree
// keeps it, lib/zentrow/ next to the program's bin/.
std::string DefaultModulePath() {
  char path[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string text(path, n > 0 ? static_cast<size_t>(n) : 0);
  const size_t slash = text.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
  const std::string beside = folder + "libzentrow.so";
  const std::string installed = folder + "../lib/zentrow/libzentrow.so";
  return access(beside.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0 ? installed
                                                                                  : beside;
}

#endif

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

bool LoadModulePropertyList(const std::string& path, PropertyList* list, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadModulePropertyList(path, &bytes, error)) return false;
  const PropertyListError decoded = DecodePropertyList(bytes.data(), bytes.size(), list);
  if (decoded == PropertyListError::kNone) return true;
  *error = "module " + path + ": property list: " + PropertyListErrorText(decoded);
  return false;
}

}  // namespace plughost
