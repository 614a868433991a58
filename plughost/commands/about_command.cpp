// plughost about: the module's About box (selector 0).
#include <CLI/CLI.hpp>

#include "plughost/commands/session.h"

namespace plughost {

namespace {

// The About box is a call with no parameter block and no suites.
const HostOptionUse kAboutUses = {true, true, nullptr, false};

}  // namespace

int RunAbout(const Options& options, Streams io) {
  Session session(options, io);
  Batch none(session);  // checks the trace and the module
  const int started = session.Start("about", none, {{}, {}, "", "", "", {}});
  if (started != kExitSuccess) return started;
  std::unique_ptr<Host> host = session.NewHost("about", "");
  const int16_t before = host->result();
  const int16_t after = host->CallAbout(0);
  if (after != before) {
    session.Refused("the About selector changed the result to " + ResultText(after));
    return kExitModule;
  }
  session.Tail(*host);
  const int status = Verdict(session, *host, kExitSuccess, "");
  const bool traced = session.CloseTrace();
  return traced && session.OutputStillWritable() ? status : kExitHost;
}

CommandRow AboutCommand() {
  return {"about", "Show the module's About box (selector 0)", kAboutUses,
          [](CLI::App&) -> CommandRun { return RunAbout; }};
}

}  // namespace plughost
