// The use-case layer's caller inside the page: the module linked into the
// WebAssembly program, a plain host for each run, and what the layer says
// kept for the page to show: notes, the first refusal, the done lines.
// Like the command line and GIMP it translates and tells; every rule about
// files and palettes is the use-case layer's.
#pragma once

#include <memory>
#include <string>

#include "plughost/usecases/caller.h"

namespace web {

class PageCaller : public plughost::KeepingCaller {
 public:
  const plughost::LoadedModule& module() const override;
  std::string name() const override { return "the page"; }
  std::unique_ptr<plughost::Host> NewHost(const std::string& operation,
                                          const std::string& file) override;
};

}  // namespace web
