// The use-case layer's caller inside the page: the module linked into the
// WebAssembly program, a plain host for each run, and what the layer says
// kept for the page to show: notes, the first refusal, the done lines.
// Like the command line and GIMP it translates and tells; every rule about
// files and palettes is the use-case layer's.
#pragma once

#include <string>
#include <vector>

#include "plughost/usecases/caller.h"

namespace web {

class PageCaller : public plughost::Caller {
 public:
  const plughost::LoadedModule& module() const override;
  std::unique_ptr<plughost::Host> NewHost(const std::string& operation,
                                          const std::string& file) override;
  void Note(const std::string& text) override { notes_.push_back(text); }
  void Refused(const std::string& sentence) override;
  void Done(const std::string& line, const std::string& target) override;
  void Tail(const plughost::Host& host) override;

  const std::vector<std::string>& notes() const { return notes_; }
  const std::string& refusal() const { return refusal_; }
  const std::vector<std::string>& done() const { return done_; }

 private:
  std::vector<std::string> notes_;
  std::string refusal_;
  std::vector<std::string> done_;
};

}  // namespace web
