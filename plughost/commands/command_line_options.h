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

// The host options a command takes: the ones it uses. --module is always one.
struct HostOptionUse {
  bool trace;         // --trace and --answer-boxes: the command runs the module's code
  bool verbose;       // --verbose: it reports each selector call
  const char* param;  // what --param does for the command; null: no --param
  bool emulation;     // the host emulation group: it opens or saves files
};

void AddHostOptions(CLI::App& app, Options& options, const HostOptionUse& use);

// --out, --out-dir, --format, --swatch, --group and --force, each given once at most.
void AddOpenOptions(CLI::App& open, OpenRequest& request);
// --out, --out-dir, --swatch, --into, --group and --force, each given once at most.
void AddSaveOptions(CLI::App& save, SaveRequest& request);

}  // namespace plughost
