// plughost save: images in, palettes out, one file or a batch; or one
// image's colours put back into an existing palette in its own form, or a
// set's images each into the palette of its name in a folder. The save use
// cases do each file; this adapter reads the options and says what
// happened.
#include <CLI/CLI.hpp>
#include <memory>

#include "plughost/commands/batch.h"
#include "plughost/commands/command_line_options.h"
#include "plughost/commands/commands.h"
#include "plughost/commands/terminal.h"
#include "plughost/usecases/put_back.h"
#include "plughost/usecases/save_palette.h"

namespace plughost {

namespace {

const HostOptionUse kSaveUses = {
    true, true,
    "Hand the module a boolean under KEY among the scripting parameters it reads as it saves "
    "(it reads barF)",
    true};

int Wrong(Streams io, const std::string& wrong) {
  io.err << "plughost save: " << Printable(wrong) << "\n";
  return kExitUsage;
}

// Every image put back into the palette of its name in a folder.
int RunPutBack(const Options& options, const SaveRequest& request, Streams io) {
  const PutBackPlan plan = PlanPutBack(request);
  if (plan.fault != RequestFault::kNone) return Wrong(io, PutBackFaultText(plan));
  return RunCommandBatch(options, io, "save",
                         {plan.inputs, plan.outputs, "", "", "", plan.palettes}, plan.palettes,
                         [&](Caller& caller, const std::string& palette, const std::string& label) {
                           return PutBackPlanned(caller, request, plan, palette, label);
                         });
}

}  // namespace

int RunSave(const Options& options, const SaveRequest& request, Streams io) {
  const std::string wrong = RequestFaultText(CheckRequest(request), false, request.out);
  if (!wrong.empty()) return Wrong(io, wrong);
  if (!request.intoDir.empty()) return RunPutBack(options, request, io);
  std::vector<std::string> outputs;
  for (const std::string& image : request.images) outputs.push_back(OutputFor(request, image));
  std::vector<std::string> locked;
  if (!request.into.empty()) locked.push_back(request.into);
  return RunCommandBatch(options, io, "save", {request.images, outputs, request.outDir, "", "", locked},
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
