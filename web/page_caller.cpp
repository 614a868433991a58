#include "web/page_caller.h"

#include "module/entry_point.h"
#include "resources/resource_bytes.h"

namespace web {

// WebAssembly loads no libraries: the module is linked into the page's
// program, and carries its property list as data.
const plughost::LoadedModule& PageCaller::module() const {
  static const plughost::LoadedModule linked =
      plughost::LoadedModule::Linked(ENTRYPOINT, kPropertyList, kPropertyListSize);
  return linked;
}

std::unique_ptr<plughost::Host> PageCaller::NewHost(const std::string&, const std::string&) {
  return std::make_unique<plughost::Host>(module().entry());
}

}  // namespace web
