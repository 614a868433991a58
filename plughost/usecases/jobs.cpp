#include "plughost/usecases/jobs.h"

#include "kiss/palette_bytes.h"

#include "plughost/usecases/draw_dolls.h"
#include "plughost/usecases/open_palette.h"
#include "plughost/usecases/probe_palette.h"
#include "plughost/usecases/put_back.h"
#include "plughost/usecases/save_palette.h"

namespace plughost {

namespace {

Report Wrong(RequestFault fault) {
  Report report;
  report.status = kExitUsage;
  report.fault = fault;
  return report;
}

// The job's files checked together with the caller's own, then the caller
// readied, then each of `runs` run and every output put in place together.
Report RunJob(Caller& caller, BatchFiles files, const std::vector<std::string>& runs,
              const BatchRun& run) {
  Report report;
  files.trace = caller.traceFile();
  files.module = caller.moduleFile();
  Batch batch(caller);
  report.status = batch.Plan(files, &report.clash);
  if (report.status == kExitSuccess) report.status = caller.Begin();
  if (report.status != kExitSuccess) return report;
  report.tally = batch.Run(runs, run);
  report.status = report.tally.status;
  report.ran = true;
  return report;
}

Report PutBack(Caller& caller, const SaveRequest& request) {
  const PutBackPlan plan = PlanPutBack(request);
  if (plan.fault != RequestFault::kNone) {
    Report report = Wrong(plan.fault);
    report.image = plan.image;
    report.other = plan.other;
    report.palette = plan.palette;
    report.group = plan.group;
    return report;
  }
  return RunJob(caller, {plan.inputs, plan.outputs, "", "", "", plan.palettes}, plan.palettes,
                [&](Caller& c, const std::string& palette, const std::string& label) {
                  return PutBackPlanned(c, request, plan, palette, label);
                });
}

// Cels and sets drawn, each into a PNG.
Report Draw(Caller& caller, const OpenRequest& request) {
  const DrawPlan plan = PlanDrawing(request);
  return RunJob(caller, {plan.inputs, plan.outputs, request.outDir, "", "", {}}, request.inputs,
                [&](Caller& c, const std::string& file, const std::string&) {
                  return DrawPlanned(c, request, plan, file);
                });
}

}  // namespace

Report OpenPalettes(Caller& caller, OpenRequest request) {
  RequestFault fault = CheckRequest(&request);
  if (fault == RequestFault::kNone) fault = CheckDrawing(request);
  if (fault != RequestFault::kNone) return Wrong(fault);
  if (AnyDrawn(request.inputs)) return Draw(caller, request);
  const OpenPlan plan = PlanOpen(request);
  return RunJob(caller, {plan.inputs, plan.outputs, request.outDir, "", "", {}}, request.inputs,
                [&](Caller& c, const std::string& file, const std::string& label) {
                  return OpenPlanned(c, request, plan, file, label);
                });
}

SavePlan PlanSave(const SaveRequest& request) {
  SavePlan plan;
  plan.inputs = request.images;
  for (const std::string& image : request.images) plan.outputs.push_back(OutputFor(request, image));
  if (!request.into.empty()) plan.locked.push_back(request.into);
  return plan;
}

Report SavePalettes(Caller& caller, const SaveRequest& request) {
  const RequestFault fault = CheckRequest(request);
  if (fault != RequestFault::kNone) return Wrong(fault);
  if (!request.intoDir.empty()) return PutBack(caller, request);
  const SavePlan plan = PlanSave(request);
  return RunJob(caller, {plan.inputs, plan.outputs, request.outDir, "", "", plan.locked},
                request.images, [&](Caller& c, const std::string& file, const std::string& label) {
                  return SaveToFile(c, request, file, label);
                });
}

Report ShowAbout(Caller& caller) {
  Report report;
  Batch batch(caller);
  report.status = batch.Plan({{}, {}, "", caller.traceFile(), caller.moduleFile(), {}}, &report.clash);
  if (report.status == kExitSuccess) report.status = caller.Begin();
  if (report.status != kExitSuccess) return report;
  report.ran = true;
  std::unique_ptr<Host> host = caller.NewHost("about", "");
  const int16_t before = host->result();
  const int16_t after = host->CallAbout(0);
  if (after != before) {
    caller.Refused("the About selector changed the result to " + ResultText(after));
    report.status = kExitModule;
    return report;
  }
  caller.Tail(*host);
  report.status = Verdict(caller, *host, kExitSuccess, "");
  return report;
}

namespace {

// The caller, but for what it is told: only a refusal reaches it. An
// editor's own changes are said only when they cannot be made.
class RefusalsOnly : public Caller {
 public:
  explicit RefusalsOnly(Caller& caller) : caller_(caller) {}
  const LoadedModule& module() const override { return caller_.module(); }
  std::unique_ptr<Host> NewHost(const std::string& operation, const std::string& file) override {
    return caller_.NewHost(operation, file);
  }
  void Note(const std::string&) override {}
  void Refused(const std::string& sentence) override { caller_.Refused(sentence); }
  std::string Advise(const Advice& advice) const override { return caller_.Advise(advice); }

 private:
  Caller& caller_;
};

Report Ended(int status) {
  Report report;
  report.status = status;
  report.ran = true;
  return report;
}

}  // namespace

Report SaveEdited(Caller& caller, const EditedSaveRequest& request) {
  const size_t shown = request.shown >= 0 && size_t(request.shown) < request.layers.size() ? size_t(request.shown) : 0;
  if (request.layers.empty()) return Wrong(RequestFault::kNoInputs);
  const int group = request.layers.size() > 1 ? int(shown) : kNoGroup;
  const std::string label = "Saving " + request.palette;
  const auto output = [&](const std::string& path) {
    return group == kNoGroup ? path : GroupOutput(path, group);
  };
  const SaveImage& image = request.layers[shown].image;
  if (request.as == EditedAs::kNew24Bit) {
    Report report = Ended(kExitSuccess);
    report.written = output(StemOf(request.palette) + "-24bit." + kPaletteExtension);
    report.status = SaveNewPalette(caller, request.palette, image, report.written, false, label);
    return report;
  }
  Report report = Ended(ExportPalette(caller, request.palette, image, request.layers));
  report.written = request.palette;
  if (request.as != EditedAs::kWritten || report.status != kExitSuccess) return report;
  OpenRequest open;
  open.inputs = {request.palette};
  open.format = request.format;
  open.swatch = request.swatch;
  report.written = output(StemOf(request.palette) + "." + FormatById(request.format).extensions.front());
  report.status = OpenToFile(caller, open, request.palette, group, report.written, label);
  return report;
}

Report BringColoursIn(Caller& caller, const BringInRequest& request) {
  if (!request.layers.empty()) {
    RefusalsOnly edits(caller);
    const int exported = ExportPalette(edits, request.palette, request.layers.front().image, request.layers);
    if (exported != kExitSuccess) return Ended(exported);
  }
  SaveRequest save;
  save.images = {request.source};
  save.into = request.palette;
  save.group = request.group;
  return SavePalettes(caller, save);
}

Report ProbeFiles(Caller& caller, const std::vector<std::string>& files) {
  if (files.empty()) return Wrong(RequestFault::kNoInputs);
  return RunJob(caller, {files, {}, "", "", "", {}}, files,
                [](Caller& c, const std::string& file, const std::string&) {
                  return ProbeFile(c, file);
                });
}

}  // namespace plughost
