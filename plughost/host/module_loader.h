// Loading a module: its file checked through the files gate first, then
// dlopen natively or LoadLibrary in the Windows build, and its property list
// read from the file without running any of its code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interface/host_interface.h"
#include "plughost/host/property_list.h"

namespace plughost {

class LoadedModule {
 public:
  // Loads the library and finds its entry point by the name its property
  // list gives. A DLL must carry a property list, as real hosts insist; a
  // native library without one is called at "ENTRYPOINT".
  static LoadedModule Load(const std::string& path, std::string* error);
  // A module linked into the program (WebAssembly loads no libraries):
  // entered at `entry`, its property list decoded from the `size` bytes at
  // `list`, which it carries as data.
  static LoadedModule Linked(EntryPoint entry, const uint8_t* list, size_t size);
  LoadedModule() = default;
  LoadedModule(LoadedModule&& other) noexcept;
  LoadedModule& operator=(LoadedModule&& other) noexcept;
  ~LoadedModule();

  EntryPoint entry() const { return entry_; }
  explicit operator bool() const { return entry_ != nullptr; }
  void* library() const { return library_; }
  // Decoded when the module carries one; hasPropertyList() says whether.
  const PropertyList& propertyList() const { return propertyList_; }
  bool hasPropertyList() const { return hasPropertyList_; }

 private:
  void* library_ = nullptr;
  EntryPoint entry_ = nullptr;
  PropertyList propertyList_;
  bool hasPropertyList_ = false;
};

// The property list bytes of a module file, without running its code: the
// "PIPL" resource of a DLL (loaded as data), the ELF section of a native
// library. False with a message when there are none.
bool ReadModulePropertyList(const std::string& path, std::vector<uint8_t>* bytes,
                            std::string* error);
// Reads and decodes; false with a message when either fails.
bool LoadModulePropertyList(const std::string& path, PropertyList* list, std::string* error);

// Reads a module file through the files gate and checks that every part its
// loader would map lies inside it; false with one sentence when not.
bool CheckModuleFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// The module file next to the running program, as in a build tree; else,
// when there is none, in `installedFolder` (relative to the program's
// folder, ending in a separator), where an installed tree keeps it.
std::string ModuleBesideProgram(const std::string& installedFolder);
// The same for plughost, whose installed module is in ../lib/zentrow/.
std::string DefaultModulePath();

}  // namespace plughost
