// plughost save: images in, palettes out, one file or a batch; or one
// image's colours put back into an existing palette in its own form. The
// save use case does each file; this adapter reads the options and says
// what happened.
#include <CLI/CLI.hpp>
#include <memory>

#include "plughost/commands/batch.h"
#include "plughost/commands/command_line_options.h"
#include "plughost/commands/commands.h"
#include "plughost/commands/terminal.h"
#include "plughost/usecases/save_palette.h"

namespace plughost {

namespace {

const HostOptionUse kSaveUses = {
    true, true,
    "Hand the module a boolean under KEY among the scripting parameters it reads as it saves "
    "(it reads barF)",
    true};

}  // namespace

int RunSave(const Options& options, const SaveRequest& request, Streams io) {
  const std::string wrong = RequestFaultText(CheckRequest(request), false, request.out);
  if (!wrong.empty()) {
    io.err << "plughost save: " << Printable(wrong) << "\n";
    return kExitUsage;
  }
  std::vector<std::string> outputs;
  for (const std::string& image : request.images) outputs.push_back(OutputFor(request, image));
  return RunCommandBatch(options, io, "save",
                         {request.images, outputs, request.outDir, "", "", request.into},
                         request.images,
                         [&](Caller& caller, const std::string& file, const std::string& label) {
                           return SaveToFile(caller, request, file, label);
                         });
}

CommandRow SaveCommand() {
  return {"save",
          "Save images (" + FormatsSaveReads() + ") or " + PaletteTextsSaveReads() +
              " as KiSS palettes through the module",
          kSaveUses, [](CLI::App& command) -> CommandRun {
            auto request = std::make_shared<SaveRequest>();
            AddSaveOptions(command, *request);
            return [request](const Options& options, Streams io) {
              return RunSave(options, *request, io);
            };
          }};
}

}  // namespace plughost
