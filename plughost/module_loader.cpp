#include "plughost/module_loader.h"

#include <utility>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace plughost {

#if defined(_WIN32)

LoadedModule LoadedModule::Load(const std::string& path, std::string* error) {
  LoadedModule module;
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) {
    *error = "cannot load module " + path + " (error " + std::to_string(GetLastError()) + ")";
    return module;
  }
  module.library_ = library;
  FARPROC entry = GetProcAddress(library, "ENTRYPOINT");
  if (entry == nullptr) {
    *error = "module " + path + " has no entry point ENTRYPOINT";
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

int32_t OpenForReading(const std::string& path) {
  HFILE file = _lopen(path.c_str(), OF_READ | OF_SHARE_DENY_NONE);
  return file == HFILE_ERROR ? -1 : static_cast<int32_t>(file);
}

int32_t CreateForWriting(const std::string& path) {
  HFILE file = _lcreat(path.c_str(), 0);
  return file == HFILE_ERROR ? -1 : static_cast<int32_t>(file);
}

void CloseFile(int32_t fileRef) {
  if (fileRef >= 0) _lclose(static_cast<HFILE>(fileRef));
}

#else

LoadedModule LoadedModule::Load(const std::string& path, std::string* error) {
  LoadedModule module;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    *error = "cannot load module " + path + ": " + dlerror();
    return module;
  }
  module.library_ = library;
  void* entry = dlsym(library, "ENTRYPOINT");
  if (entry == nullptr) {
    *error = "module " + path + " has no entry point ENTRYPOINT";
    return module;
  }
  module.entry_ = reinterpret_cast<EntryPoint>(entry);
  return module;
}

LoadedModule::~LoadedModule() {
  if (library_ != nullptr) dlclose(library_);
}

std::string DefaultModulePath() {
  char path[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string text(path, n > 0 ? static_cast<size_t>(n) : 0);
  const size_t slash = text.find_last_of('/');
  return (slash == std::string::npos ? std::string() : text.substr(0, slash + 1)) +
         "libzentrow.so";
}

int32_t OpenForReading(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }

int32_t CreateForWriting(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

void CloseFile(int32_t fileRef) {
  if (fileRef >= 0) close(fileRef);
}

#endif

LoadedModule::LoadedModule(LoadedModule&& other) noexcept
    : library_(std::exchange(other.library_, nullptr)), entry_(std::exchange(other.entry_, nullptr)) {}

LoadedModule& LoadedModule::operator=(LoadedModule&& other) noexcept {
  std::swap(library_, other.library_);
  std::swap(entry_, other.entry_);
  return *this;
}

}  // namespace plughost
