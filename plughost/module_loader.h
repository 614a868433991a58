// Loading a module and the host's side of file access: dlopen natively,
// LoadLibrary in the Windows build; file references the module can hand to
// its platform's _lread/_lwrite/_llseek.
#pragma once

#include <cstdint>
#include <string>

#include "host/host_interface.h"

namespace plughost {

class LoadedModule {
 public:
  // Loads the library and finds its entry point: by the name its property
  // list gives where the host can read one, else "ENTRYPOINT".
  static LoadedModule Load(const std::string& path, std::string* error);
  LoadedModule() = default;
  LoadedModule(LoadedModule&& other) noexcept;
  LoadedModule& operator=(LoadedModule&& other) noexcept;
  ~LoadedModule();

  EntryPoint entry() const { return entry_; }
  explicit operator bool() const { return entry_ != nullptr; }
  void* library() const { return library_; }

 private:
  void* library_ = nullptr;
  EntryPoint entry_ = nullptr;
};

// The module file next to the running program, as a default.
std::string DefaultModulePath();

// File references for the module. -1 on failure.
int32_t OpenForReading(const std::string& path);
int32_t CreateForWriting(const std::string& path);
void CloseFile(int32_t fileRef);

}  // namespace plughost
