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

// The first sentence is the reason; what follows it is its consequence.
void PageCaller::Refused(const std::string& sentence) {
  if (refusal_.empty()) refusal_ = sentence;
}

void PageCaller::Done(const std::string& line, const std::string&) { done_.push_back(line); }

void PageCaller::Tail(const plughost::Host& host) {
  for (const std::string& v : host.counts().violations)
    notes_.push_back("the module broke the host interface: " + v);
}

}  // namespace web
