#include "plughost/usecases/jobs.h"

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

}  // namespace

Report OpenPalettes(Caller& caller, OpenRequest request) {
  const RequestFault fault = CheckRequest(&request);
  if (fault != RequestFault::kNone) return Wrong(fault);
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

Report ProbeFiles(Caller& caller, const std::vector<std::string>& files) {
  if (files.empty()) return Wrong(RequestFault::kNoInputs);
  return RunJob(caller, {files, {}, "", "", "", {}}, files,
                [](Caller& c, const std::string& file, const std::string&) {
                  return ProbeFile(c, file);
                });
}

}  // namespace plughost
