// The options of plughost's command line, added to the CLI::App of the
// program or of a command: the host options, those the command uses, and
// the options of open and save. CLI11 checks each value as it is parsed
// (by the validators of host_options.h for the host emulation switches)
// and puts it where the command reads it.
#pragma once

#include "plughost/commands/commands.h"

namespace CLI {
class App;
}  // namespace CLI

namespace plughost {

struct Report;

void AddHostOptions(CLI::App& app, Options& options, const HostOptionUse& use);
// The options for testing a module are left out of `app`'s --help, and
// of its commands' added after this: --help-host lists them.
void HideTestingOptions(CLI::App& app);
// What --help-host prints for a command (`usage`: "plughost open").
std::string TestingHelp(const std::string& usage, const HostOptionUse& use);

// --out, --out-dir, --format, --swatch, --group and --force, each given once at most.
void AddOpenOptions(CLI::App& open, OpenRequest& request);
// --out, --out-dir, --swatch, --into, --group and --force, each given once at most.
void AddSaveOptions(CLI::App& save, SaveRequest& request);

// Why a job's request does not hold together, by the options that made it
// and the files it names: `opening` for the open command, else save; `out`
// is --out's file.
std::string FaultText(const Report& report, bool opening, const std::string& out);

}  // namespace plughost
