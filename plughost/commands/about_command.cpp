// plughost about: the module's About box (selector 0).
#include <CLI/CLI.hpp>

#include "plughost/commands/command_line_caller.h"
#include "plughost/commands/terminal.h"
#include "plughost/usecases/jobs.h"

namespace plughost {

namespace {

// The About box is a call with no parameter block and no suites.
const HostOptionUse kAboutUses = {true, true, nullptr, false};

}  // namespace

int RunAbout(const Options& options, Streams io) {
  CommandLineCaller session(options, io);
  const Report report = ShowAbout(session);
  if (!report.ran && report.status == kExitUsage)
    io.err << "plughost about: " << Printable(report.clash) << "\n";
  if (!report.ran) return report.status;
  const bool traced = session.CloseTrace();
  return traced && session.OutputStillWritable() ? report.status : kExitHost;
}

CommandRow AboutCommand() {
  return {"about", "Show the module's About box (selector 0)", kAboutUses,
          [](CLI::App&) -> CommandRun { return RunAbout; }};
}

}  // namespace plughost
