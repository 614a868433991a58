#include "plughost/commands/report.h"

#include <algorithm>
#include <set>

#include "plughost/commands/command_line_options.h"
#include "plughost/commands/command_line_caller.h"
#include "plughost/commands/terminal.h"

namespace plughost {

namespace {

// "2 of 5 files could not be converted", and apart from those the files the
// module did while breaking the host interface.
void SayHowManyFailed(CommandLineCaller& session, const BatchTally& tally, const char* failedWords) {
  if (failedWords == nullptr || tally.files < 2 || tally.stopped) return;
  const std::string of = " of " + WithThousands(tally.files) + " files";
  if (tally.failed > 0) session.Refused(WithThousands(tally.failed) + of + " " + failedWords);
  if (tally.broken > 0)
    session.Refused("the module broke the host interface on " + WithThousands(tally.broken) + of);
}

// What the batch's end leaves to say: files it could not clean up, an
// interrupt that came too late to stop it, and on a terminal the summary
// below the bar ("5,160 files -> 35,400 outputs in place").
void SayEnd(CommandLineCaller& session, const BatchTally& tally, const char* failedWords) {
  if (tally.leftBehind > 0)
    session.Refused(std::string(tally.leftBehind == 1 ? "a new file"
                                                      : std::to_string(tally.leftBehind) +
                                                            " new files") +
                    " could not be removed: " + tally.leftBehindNames);
  if (tally.interruptedWhilePlacing)
    session.Refused("interrupted while the outputs were put in place; every one is in place");
  if (failedWords == nullptr || !session.ShowSummary()) return;
  session.io().err << "plughost: " << WithThousands(tally.files) << " files -> "
                   << WithThousands(tally.placed) << (tally.placed == 1 ? " output" : " outputs")
                   << " in place\n";
}

// The last line of a batch that put some of its outputs in place and not
// others: how many of each, and which were not ("1 of 2 outputs in place:
// ox/a.png; not in place: ox/b.png (from b.kcf, refused)").
void SaySome(CommandLineCaller& session, const BatchTally& tally) {
  std::vector<const OutputOutcome*> in, out;
  for (const OutputOutcome& o : tally.outputs) (o.placed ? in : out).push_back(&o);
  std::set<std::string> refused;
  for (const FileOutcome& f : tally.ran)
    if (f.outcome == Outcome::kRefused) refused.insert(f.file);
  const auto names = [&](const std::vector<const OutputOutcome*>& list, bool why) {
    std::string text;
    const size_t shown = std::min<size_t>(list.size(), 5);
    for (size_t i = 0; i < shown; ++i) {
      text += (i == 0 ? "" : ", ") + list[i]->file;
      if (why && refused.count(list[i]->input) > 0 && list[i]->input != list[i]->file)
        text += " (" + list[i]->input + " refused)";
    }
    if (list.size() > shown) text += " and " + WithThousands(list.size() - shown) + " more";
    return text;
  };
  session.Refused(WithThousands(in.size()) + " of " + WithThousands(tally.outputs.size()) +
                  (tally.outputs.size() == 1 ? " output" : " outputs") + " in place: " +
                  names(in, false) + "; not in place: " + names(out, true));
}

// A request that does not hold together, or files that do not go together.
int SayWrong(Streams io, const JobWords& words, const Report& report) {
  const std::string wrong = !report.clash.empty()                   ? report.clash
                            : report.fault == RequestFault::kNoInputs ? std::string("no ") + words.inputs + " given"
                                                                      : FaultText(report, words.opening, words.out);
  io.err << "plughost " << words.command << ": " << Printable(wrong) << "\n";
  return report.status;
}

}  // namespace

int RunCommandJob(const Options& options, Streams io, const JobWords& words,
                  const std::function<Report(CommandLineCaller& session)>& job) {
  CommandLineCaller session(options, io);
  const Report report = job(session);
  if (report.status == kExitUsage && !report.ran) return SayWrong(io, words, report);
  if (!report.ran) return report.status;
  const BatchTally& tally = report.tally;
  if (tally.interrupted)
    session.Refused("interrupted after " + std::to_string(tally.run) + " of " +
                    std::to_string(tally.files) + " files");
  SayHowManyFailed(session, tally, words.failed);
  SayEnd(session, tally, words.failed);
  if (report.status == kExitSome) SaySome(session, tally);
  return report.status;
}

}  // namespace plughost
